// A console on string streams with a seeded generator: the game in-process, as tests drive it.
#pragma once

#include "console/console.h"
#include "random/game_random.h"

#include <sstream>
#include <string>

struct GameSession {
    explicit GameSession(const std::string& input = "", std::uint32_t seed = 0) : in(input)
    {
        in.tie(&out);  // as the real console: output is flushed before every read
        random.seed(seed);
    }

    // Everything written so far, taken away.
    std::string takeOutput()
    {
        std::string text = out.str();
        out.str("");
        return text;
    }

    std::istringstream in;
    std::ostringstream out;
    Console console{in, out, TextEncoding::Utf8, std::nullopt};
    GameRandom random;
};

// How a game text shows in a failed check.
inline void PrintTo(GameText text, std::ostream* out) { *out << text.utf8(); }

// How many times `needle` occurs in `text`.
int countOf(const std::string& text, const std::string& needle);

// Whether `text` ends with `tail`.
bool endsWith(const std::string& text, const std::string& tail);

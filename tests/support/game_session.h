// A console on memory with a seeded generator: the game in-process, as tests drive it.
#pragma once

#include "console/console.h"
#include "random/game_random.h"

#include <ostream>
#include <string>
#include <utility>

struct GameSession {
    explicit GameSession(std::string answers = "", std::uint32_t seed = 0) : input(std::move(answers))
    {
        random.seed(seed);
    }
    GameSession(const GameSession&) = delete;
    GameSession& operator=(const GameSession&) = delete;

    // Everything written so far, flushed or not, taken away.
    std::string takeOutput()
    {
        flush(out);
        return std::exchange(output, std::string());
    }

    std::string input;
    std::string output;
    ConsoleReader in = memoryReader(input);
    ConsoleWriter out = memoryWriter(output);
    Console console{in, out, TextEncoding::Utf8, std::nullopt};
    GameRandom random;
};

// How a game text shows in a failed check.
inline void PrintTo(GameText text, std::ostream* out) { *out << text.utf8(); }

// How many times `needle` occurs in `text`.
int countOf(const std::string& text, const std::string& needle);

// Whether `text` ends with `tail`.
bool endsWith(const std::string& text, const std::string& tail);

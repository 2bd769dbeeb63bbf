// One of the game's own texts: a string literal, kept in UTF-8 and written in the console's
// encoding. A player's typed bytes are a std::string instead and are written as they are, so the
// type of a part, not a convention, says whether it is converted.
#pragma once

#include <cstddef>
#include <string_view>

class GameText {
public:
    // Only a char array, which in this game means a string literal, becomes a game text: a pointer
    // or a string made at run time does not. Implicit, so tables of texts read as plain literals.
    template <std::size_t N>
    // cppcheck-suppress noExplicitConstructor
    constexpr GameText(const char (&literal)[N]) : utf8_(literal, N - 1)
    {
    }

    constexpr std::string_view utf8() const { return utf8_; }

    friend constexpr bool operator==(GameText, GameText) = default;

private:
    std::string_view utf8_;
};

// The game's one source of chance: a linear congruential generator giving 0..32767.
// A single instance is made and seeded at program entry and passed to whatever draws, so one
// seed always replays the same game.
#pragma once

#include <cstdint>

class GameRandom {
public:
    // Before seeding the state is 1, as the game has always started.
    GameRandom() = default;

    void seed(std::uint32_t s) { state_ = s; }

    // Advances the state and returns bits 16..30 of it: a value from 0 to 32767.
    int next()
    {
        state_ = state_ * 214013u + 2531011u;  // unsigned, so it wraps modulo 2^32
        return static_cast<int>((state_ >> 16) & 0x7FFFu);
    }

    // One draw taken modulo n (n > 0): a value from 0 to n - 1.
    int below(int n) { return next() % n; }

private:
    std::uint32_t state_ = 1;
};

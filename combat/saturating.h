// Arithmetic on the fighters' 32-bit numbers. The rules put no bounds on hp, mp or guard, and only
// a game of many millions of turns could reach the limits of 32 bits; should one get there, the
// value stops at the limit instead of overflowing.
#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>

// `value`, held within the range of int.
constexpr int saturated(std::int64_t value)
{
    return static_cast<int>(
        std::clamp<std::int64_t>(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

// field += delta, stopping at the limits of int.
constexpr void addSaturated(int& field, std::int64_t delta)
{
    field = saturated(static_cast<std::int64_t>(field) + delta);
}

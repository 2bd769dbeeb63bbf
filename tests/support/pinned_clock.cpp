// Preloaded into the real game by the end-to-end tests: the calendar clock reads the second given
// in QZ_PINNED_TIME, so the game's seed is known. Not part of the game itself.
#include <cstdlib>
#include <ctime>

extern "C" std::time_t time(std::time_t* result)
{
    const char* pinned = std::getenv("QZ_PINNED_TIME");
    const std::time_t now = pinned != nullptr ? static_cast<std::time_t>(std::strtoll(pinned, nullptr, 10)) : 0;
    if (result != nullptr) {
        *result = now;
    }
    return now;
}

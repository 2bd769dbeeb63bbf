// One whole game per input: the first four bytes are the seed (little-endian) and the encoding,
// the rest is what the player types. The seed's top bit chooses GBK output instead of UTF-8, and
// the game is seeded with the other 31. The game runs on memory with no keyboard, so
// every pause returns at once, and it returns its exit status instead of ending the process, so
// the fuzzer keeps going.
#include "app/title_menu.h"
#include "console/console.h"
#include "console/text_encoding.h"
#include "random/game_random.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace {

constexpr std::size_t kSeedBytes = 4;
constexpr std::uint32_t kGbkBit = 0x80000000U;

std::uint32_t seedOf(const std::uint8_t* data, std::size_t size)
{
    std::uint32_t seed = 0;
    for (std::size_t i = 0; i < kSeedBytes && i < size; ++i) {
        seed |= static_cast<std::uint32_t>(data[i]) << (8 * i);
    }
    return seed;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::size_t skipped = size < kSeedBytes ? size : kSeedBytes;
    std::string text;
    ConsoleReader in = memoryReader(std::string_view(reinterpret_cast<const char*>(data) + skipped, size - skipped));
    ConsoleWriter out = memoryWriter(text);
    const std::uint32_t seed = seedOf(data, size);
    const TextEncoding encoding = (seed & kGbkBit) != 0 ? TextEncoding::Gbk : TextEncoding::Utf8;
    Console console{in, out, encoding, std::nullopt};
    GameRandom random;
    random.seed(seed & ~kGbkBit);

    const int status = exitStatus(runTitleMenu(random, console));
    flush(out);

    // Whatever the input, the game ends with one of its two statuses, and 1 only after the defeat story.
    const std::string defeatTail = encodeLiteral("倒下了.....\n从此以后的QZ村，被黑暗笼罩……\n", encoding);
    const bool defeated = text.size() >= defeatTail.size() &&
                          text.compare(text.size() - defeatTail.size(), defeatTail.size(), defeatTail) == 0;
    if ((status != 0 && status != 1) || (status == 1) != defeated) {
        __builtin_trap();
    }
    return 0;
}

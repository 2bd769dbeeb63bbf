#include "tests/support/terminal_bytes.h"

#include "console/terminal_keys.h"

#include <cstdio>
#include <deque>
#include <optional>
#include <utility>

std::string describe(const KeyPress& key)
{
    char codes[16];
    std::snprintf(codes, sizeof codes, key.codeCount == 2 ? "%02x %02x" : "%02x", key.codes[0], key.codes[1]);
    return codes;
}

std::string keysOf(const std::vector<Burst>& bursts, TextEncoding encoding)
{
    std::deque<std::pair<unsigned char, int>> arrivals;
    for (const Burst& burst : bursts) {
        for (std::size_t i = 0; i < burst.bytes.size(); ++i) {
            arrivals.emplace_back(static_cast<unsigned char>(burst.bytes[i]), i == 0 ? burst.gapMs : 0);
        }
    }
    const ByteSource source = [&arrivals](int timeoutMs) -> std::optional<unsigned char> {
        if (arrivals.empty()) {
            return std::nullopt;
        }
        auto& [byte, gap] = arrivals.front();
        if (timeoutMs >= 0 && gap > timeoutMs) {
            gap -= timeoutMs;
            return std::nullopt;
        }
        const unsigned char next = byte;
        arrivals.pop_front();
        return next;
    };
    TerminalKeys keys;
    std::string text;
    for (KeyPress key = readTerminalKey(keys, source, encoding); key.codeCount > 0;
         key = readTerminalKey(keys, source, encoding)) {
        text += (text.empty() ? "" : ", ") + describe(key);
    }
    return text;
}

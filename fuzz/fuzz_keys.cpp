// The key decoder on arbitrary input. The first byte chooses: bit 0 the encoding (GBK when set),
// bit 1 what the rest is, a terminal's byte stream or Windows console key events of four bytes
// each (key down in bit 0 of the first, the virtual-key code in the next two, the character in the
// last). In a byte stream, the other bits of the first byte place gaps between bytes: where a key
// is cut short, as when a terminal's bytes come slowly. Every key must take at least one byte,
// only the end of the input may end the keys, and every key's codes must be well formed.
#include "console/key_decoding.h"
#include "console/terminal_keys.h"

#include <cstddef>
#include <cstdint>
#include <optional>

namespace {

bool isValidKey(const KeyPress& key)
{
    if (key.codeCount == 1) {
        return key.codes[1] == 0;
    }
    return key.codeCount == 2 && (key.codes[0] == 0xE0 || key.codes[0] == 0x00);
}

// The fuzzer's bytes as a terminal would send them.
struct ByteStream {
    const std::uint8_t* data;
    std::size_t size;
    std::uint8_t gaps;
    std::size_t next = 0;

    std::optional<unsigned char> take(int timeoutMs)
    {
        // A gap before a byte whose position, mixed with the gap bits, is a multiple of eight.
        const bool gap = timeoutMs >= 0 && (((next * 0x9E3779B1U) >> 8) ^ gaps) % 8 == 0;
        if (next == size || gap) {
            return std::nullopt;
        }
        return data[next++];
    }
};

void decodeByteStream(ByteStream& stream, TextEncoding encoding)
{
    const ByteSource source = [&stream](int timeoutMs) { return stream.take(timeoutMs); };
    TerminalKeys keys;
    for (std::size_t keysRead = 0;; ++keysRead) {
        const std::size_t before = stream.next;
        const bool hadUnread = keys.unread.has_value();
        const KeyPress key = readTerminalKey(keys, source, encoding);
        if (key.codeCount == 0) {
            // Only the end of the input ends the keys: every byte taken, none held back.
            if (stream.next != stream.size || hadUnread || keys.unread || keysRead > stream.size) {
                __builtin_trap();
            }
            return;
        }
        const bool tookAByte = hadUnread || stream.next > before;
        if (!isValidKey(key) || !tookAByte) {
            __builtin_trap();
        }
    }
}

void decodeConsoleEvents(const std::uint8_t* data, std::size_t size)
{
    for (std::size_t at = 0; at + 4 <= size; at += 4) {
        const bool keyDown = (data[at] & 1) != 0;
        const auto virtualKey = static_cast<unsigned short>(data[at + 1] | data[at + 2] << 8);
        const unsigned char character = data[at + 3];
        const std::optional<KeyPress> key = keyFromConsoleEvent(keyDown, virtualKey, character);
        // Releases never end a pause; a key with a character always does, with that character.
        const bool released = !keyDown && key;
        const bool characterLost =
            keyDown && character != 0 && (!key || key->codeCount != 1 || key->codes[0] != character);
        if (released || characterLost || (key && !isValidKey(*key))) {
            __builtin_trap();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) {
        return 0;
    }
    const std::uint8_t mode = data[0];
    const TextEncoding encoding = (mode & 1) != 0 ? TextEncoding::Gbk : TextEncoding::Utf8;
    if ((mode & 2) != 0) {
        decodeConsoleEvents(data + 1, size - 1);
    } else {
        ByteStream stream{data + 1, size - 1, static_cast<std::uint8_t>(mode >> 2)};
        decodeByteStream(stream, encoding);
    }
    return 0;
}

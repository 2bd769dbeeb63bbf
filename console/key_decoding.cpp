// Escape sequences of xterm, the Linux console and their kin, Windows console key events, and the
// length of typed characters.
#include "console/key_decoding.h"

#include <array>
#include <charconv>
#include <optional>

namespace {

constexpr char kEscape = '\x1b';
constexpr std::size_t kLongestSequence = 16;  // anything longer is noise; stop reading it
constexpr unsigned char kGrayKey = 0xE0;      // first code of the cursor and editing keys
constexpr unsigned char kFunctionKey = 0x00;  // first code of F1..F10

struct KeyCodes {
    unsigned char first;
    unsigned char second;
};

// Sequences ending in a letter: ESC [ ... A, or ESC O A.
std::optional<KeyCodes> letterKey(char final)
{
    switch (final) {
    case 'A': return KeyCodes{kGrayKey, 0x48};      // up
    case 'B': return KeyCodes{kGrayKey, 0x50};      // down
    case 'C': return KeyCodes{kGrayKey, 0x4D};      // right
    case 'D': return KeyCodes{kGrayKey, 0x4B};      // left
    case 'H': return KeyCodes{kGrayKey, 0x47};      // home
    case 'F': return KeyCodes{kGrayKey, 0x4F};      // end
    case 'P': return KeyCodes{kFunctionKey, 0x3B};  // F1..F4 as ESC O P..S
    case 'Q': return KeyCodes{kFunctionKey, 0x3C};
    case 'R': return KeyCodes{kFunctionKey, 0x3D};
    case 'S': return KeyCodes{kFunctionKey, 0x3E};
    default: return std::nullopt;
    }
}

// Sequences ending in '~': ESC [ number ~.
std::optional<KeyCodes> numberedKey(int number)
{
    switch (number) {
    case 1:
    case 7: return KeyCodes{kGrayKey, 0x47};  // home
    case 2: return KeyCodes{kGrayKey, 0x52};  // insert
    case 3: return KeyCodes{kGrayKey, 0x53};  // delete
    case 4:
    case 8: return KeyCodes{kGrayKey, 0x4F};   // end
    case 5: return KeyCodes{kGrayKey, 0x49};   // page up
    case 6: return KeyCodes{kGrayKey, 0x51};   // page down
    case 23: return KeyCodes{kGrayKey, 0x85};  // F11
    case 24: return KeyCodes{kGrayKey, 0x86};  // F12
    default: break;
    }
    if (number >= 11 && number <= 15) {  // F1..F5
        return KeyCodes{kFunctionKey, static_cast<unsigned char>(0x3B + number - 11)};
    }
    if (number >= 17 && number <= 21) {  // F6..F10
        return KeyCodes{kFunctionKey, static_cast<unsigned char>(0x40 + number - 17)};
    }
    return std::nullopt;
}

// Windows virtual-key codes of the keys without a character.
std::optional<KeyCodes> virtualKey(unsigned short code)
{
    switch (code) {
    case 0x21: return KeyCodes{kGrayKey, 0x49};  // page up (VK_PRIOR)
    case 0x22: return KeyCodes{kGrayKey, 0x51};  // page down (VK_NEXT)
    case 0x23: return KeyCodes{kGrayKey, 0x4F};  // end
    case 0x24: return KeyCodes{kGrayKey, 0x47};  // home
    case 0x25: return KeyCodes{kGrayKey, 0x4B};  // left
    case 0x26: return KeyCodes{kGrayKey, 0x48};  // up
    case 0x27: return KeyCodes{kGrayKey, 0x4D};  // right
    case 0x28: return KeyCodes{kGrayKey, 0x50};  // down
    case 0x2D: return KeyCodes{kGrayKey, 0x52};  // insert
    case 0x2E: return KeyCodes{kGrayKey, 0x53};  // delete
    case 0x7A: return KeyCodes{kGrayKey, 0x85};  // F11
    case 0x7B: return KeyCodes{kGrayKey, 0x86};  // F12
    default: break;
    }
    if (code >= 0x70 && code <= 0x79) {  // F1..F10
        return KeyCodes{kFunctionKey, static_cast<unsigned char>(0x3B + code - 0x70)};
    }
    return std::nullopt;
}

std::optional<KeyCodes> decode(std::string_view bytes)
{
    if (bytes.size() < 3) {
        return std::nullopt;
    }
    const char introducer = bytes[1];
    const char final = bytes.back();
    if (introducer == 'O') {
        return letterKey(final);
    }
    if (introducer != '[') {
        return std::nullopt;
    }
    if (bytes.size() == 4 && bytes[2] == '[' && final >= 'A' && final <= 'E') {  // Linux console F1..F5
        return KeyCodes{kFunctionKey, static_cast<unsigned char>(0x3B + final - 'A')};
    }
    if (final != '~') {
        return letterKey(final);  // modifiers such as ESC [ 1 ; 5 A do not change the key
    }
    int number = 0;
    std::from_chars(bytes.data() + 2, bytes.data() + bytes.size(), number);
    return numberedKey(number);
}

}  // namespace

bool isWholeEscapeSequence(std::string_view bytes)
{
    if (bytes.size() < 2) {
        return false;
    }
    if (bytes.size() >= kLongestSequence) {
        return true;
    }
    const char introducer = bytes[1];
    if (introducer == 'O') {
        return bytes.size() == 3;
    }
    if (introducer != '[') {
        return true;  // Alt held with a key: ESC and that key's byte
    }
    if (bytes.size() == 2) {
        return false;
    }
    if (bytes.size() == 3 && bytes[2] == '[') {
        return false;  // the Linux console's ESC [ [ A for F1 has one more byte
    }
    const auto final = static_cast<unsigned char>(bytes.back());
    return final >= 0x40 && final <= 0x7E;
}

KeyPress keyFromEscapeSequence(std::string_view bytes)
{
    if (bytes.size() >= 3 && (bytes[1] == '[' || bytes[1] == 'O')) {
        // An unknown sequence is still a special key: a key without a character of its own.
        const KeyCodes codes = decode(bytes).value_or(KeyCodes{kGrayKey, 0});
        return KeyPress{2, {codes.first, codes.second}};
    }
    const auto code = static_cast<unsigned char>(bytes.size() >= 2 ? bytes[1] : kEscape);
    return KeyPress{1, {code, 0}};
}

std::optional<KeyPress> keyFromConsoleEvent(bool keyDown, unsigned short virtualKeyCode, unsigned char character)
{
    if (!keyDown) {
        return std::nullopt;
    }
    if (character != 0) {
        return KeyPress{1, {character, 0}};
    }
    const std::optional<KeyCodes> codes = virtualKey(virtualKeyCode);
    if (!codes) {
        return std::nullopt;  // a modifier or lock key alone, or another key without a code
    }
    return KeyPress{2, {codes->first, codes->second}};
}

int characterLength(unsigned char lead, TextEncoding encoding)
{
    if (lead < 0x80) {
        return 1;
    }
    if (encoding == TextEncoding::Gbk) {
        return lead >= 0x81 && lead <= 0xFE ? 2 : 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        return 2;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        return 4;
    }
    return 1;
}

// Escape sequences of xterm, rxvt, the Linux console and their kin, and Windows console key events.
#include "console/key_decoding.h"

#include <charconv>
#include <optional>

namespace {

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

std::optional<KeyCodes> decode(char introducer, std::string_view parameters, char final)
{
    if (introducer == 'O') {
        return letterKey(final);
    }
    if (parameters == "[") {  // the Linux console's F1..F5: ESC [ [ A..E
        if (final < 'A' || final > 'E') {
            return std::nullopt;
        }
        return KeyCodes{kFunctionKey, static_cast<unsigned char>(0x3B + final - 'A')};
    }
    if (final != '~') {
        return letterKey(final);
    }
    int number = 0;
    std::from_chars(parameters.data(), parameters.data() + parameters.size(), number);
    return numberedKey(number);
}

}  // namespace

KeyPress sequenceKey(char introducer, std::string_view parameters, char final)
{
    const KeyCodes unnamed{kUnnamedSpecialKey.codes[0], kUnnamedSpecialKey.codes[1]};
    const KeyCodes codes = decode(introducer, parameters, final).value_or(unnamed);
    return KeyPress{2, {codes.first, codes.second}};
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

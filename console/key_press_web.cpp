// The pause's keystroke in the browser: the page hands over the next key typed, as the bytes a
// terminal would send for it (xterm.js makes the same escape sequences), and waiting for it
// suspends the game (Asyncify). Shift, Ctrl, Alt and Caps Lock alone send nothing, so they never
// end a pause. Nothing is echoed.
#include "console/key_decoding.h"
#include "console/key_press.h"

#include <emscripten.h>

#include <string_view>

namespace {

// clang-format off
// Copies the next key's bytes, at most `capacity`, and returns how many there are.
EM_ASYNC_JS(int, waitForKeyBytes, (char* destination, int capacity), {
    const bytes = (await Module.qzReadKey()).subarray(0, capacity);
    HEAPU8.set(bytes, destination);
    return bytes.length;
});
// clang-format on

}  // namespace

KeyPress readKeyPress(TextEncoding)
{
    char bytes[16];
    const int length = waitForKeyBytes(bytes, static_cast<int>(sizeof bytes));
    if (length <= 0) {
        return KeyPress{};
    }
    if (bytes[0] == '\x1b') {
        return keyFromEscapeSequence(std::string_view(bytes, static_cast<std::size_t>(length)));
    }
    // A typed Chinese character arrives whole; like a terminal's, it is one key.
    return KeyPress{1, {static_cast<unsigned char>(bytes[0]), 0}};
}

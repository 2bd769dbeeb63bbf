// The pause's keystroke in the browser: the page hands over the next key typed, as the bytes a
// terminal would send for it (web/keyboard.js makes xterm's escape sequences), and waiting for it
// suspends the game (Asyncify). Shift, Ctrl, Alt and Caps Lock alone send nothing, so they never
// end a pause. Nothing is echoed. The bytes are decoded by the terminal's own rules.
#include "console/key_press.h"
#include "console/terminal_keys.h"
#include "console/web/page_hooks.h"

#include <cstddef>
#include <optional>

KeyPress readKeyPress(TextEncoding encoding)
{
    unsigned char bytes[64];
    const int length = page::waitForKey(bytes, static_cast<int>(sizeof bytes));
    if (length <= 0) {
        return KeyPress{};
    }
    // The page has already cut the input into keys: this one's bytes are all there is, and none
    // of them is kept for the next pause.
    std::size_t next = 0;
    const auto source = [&](int) -> std::optional<unsigned char> {
        if (next < static_cast<std::size_t>(length)) {
            return bytes[next++];
        }
        return std::nullopt;
    };
    TerminalKeys keys;
    return readTerminalKey(keys, source, encoding);
}

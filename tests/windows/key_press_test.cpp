// The pause on the Windows console itself: which key events end it, and that it takes each key's
// events whole. Needs a console (see tests/support/real_console.h).
#include "console/console.h"
#include "tests/support/real_console.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

// Each row's events are followed by the key 'z'. The pauses must end as often as the row says and
// take exactly the row's events: one more pause then takes 'z' and leaves nothing behind.
TEST_F(RealConsole, PauseEndsOnKeysThatYieldACharacterOrACode)
{
    const std::vector<INPUT_RECORD> shiftCtrlCaps = [] {
        std::vector<INPUT_RECORD> keys;
        for (const int key : {VK_SHIFT, VK_CONTROL, VK_CAPITAL}) {
            const auto pressed = press(static_cast<WORD>(key));
            keys.insert(keys.end(), pressed.begin(), pressed.end());
        }
        return keys;
    }();
    const struct {
        const char* what;
        std::vector<INPUT_RECORD> events;
        int pausesEnded;
    } rows[] = {
        {"a key-up alone", {keyEvent(false, 'A', L'a')}, 0},
        {"Shift, Ctrl and Caps Lock alone", shiftCtrlCaps, 0},
        {"a letter", press('A', L'a'), 1},
        {"an arrow key ends two pauses", press(VK_DOWN), 2},
        {"a Chinese character (勇), one event in code page 936", press(VK_PACKET, L'\u52c7'), 1},
        {"a character beyond 16 bits (𠀀), two halves",
         {keyEvent(true, VK_PACKET, 0xD840), keyEvent(true, VK_PACKET, 0xDC00)},
         1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        std::vector<INPUT_RECORD> events = row.events;
        events.push_back(keyEvent(true, 'Z', L'z'));
        writeEvents(events);
        std::string output;
        ConsoleReader in = memoryReader("");
        ConsoleWriter out = memoryWriter(output);
        Console console{in, out, TextEncoding::Gbk, std::nullopt};
        for (int pause = 0; pause < row.pausesEnded; ++pause) {
            waitForKey(console);
        }
        EXPECT_FALSE(console.heldKey.has_value());
        waitForKey(console);  // must end on 'z', not on a rest of the row's key
        EXPECT_EQ(keysLeft(), L"");
    }
}

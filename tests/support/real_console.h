// The Windows console itself, for the tests that need it: key events written into its input
// (CONIN$) and read back, and a fixture that needs a console and starts each test with its input
// empty. Under wine, such tests run on a pseudo-terminal, which wine turns into a console.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

// The console's input, opened once; INVALID_HANDLE_VALUE without a console.
HANDLE consoleInputHandle();

// One key event, as the console reports a key going down or up.
INPUT_RECORD keyEvent(bool down, WORD virtualKey, WCHAR character = 0);

// A key pressed and released.
std::vector<INPUT_RECORD> press(WORD virtualKey, WCHAR character = 0);

// Puts the events into the console's input, as if typed; fails the test when it cannot.
void writeEvents(const std::vector<INPUT_RECORD>& events);

// The characters of the key-downs still waiting in the console's input, taken away: what the
// pauses left.
std::wstring keysLeft();

class RealConsole : public testing::Test {
protected:
    void SetUp() override;
};

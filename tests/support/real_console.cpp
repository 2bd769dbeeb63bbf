#include "tests/support/real_console.h"

HANDLE consoleInputHandle()
{
    static const HANDLE input = CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                            nullptr, OPEN_EXISTING, 0, nullptr);
    return input;
}

INPUT_RECORD keyEvent(bool down, WORD virtualKey, WCHAR character)
{
    INPUT_RECORD record{};
    record.EventType = KEY_EVENT;
    record.Event.KeyEvent.bKeyDown = down ? TRUE : FALSE;
    record.Event.KeyEvent.wRepeatCount = 1;
    record.Event.KeyEvent.wVirtualKeyCode = virtualKey;
    record.Event.KeyEvent.uChar.UnicodeChar = character;
    return record;
}

std::vector<INPUT_RECORD> press(WORD virtualKey, WCHAR character)
{
    return {keyEvent(true, virtualKey, character), keyEvent(false, virtualKey, character)};
}

void writeEvents(const std::vector<INPUT_RECORD>& events)
{
    DWORD written = 0;
    ASSERT_TRUE(WriteConsoleInputW(consoleInputHandle(), events.data(), static_cast<DWORD>(events.size()), &written));
    ASSERT_EQ(written, events.size());
}

std::wstring keysLeft()
{
    std::wstring keys;
    DWORD count = 0;
    while (GetNumberOfConsoleInputEvents(consoleInputHandle(), &count) && count > 0) {
        INPUT_RECORD record{};
        DWORD got = 0;
        ReadConsoleInputW(consoleInputHandle(), &record, 1, &got);
        if (record.EventType == KEY_EVENT && record.Event.KeyEvent.bKeyDown &&
            record.Event.KeyEvent.uChar.UnicodeChar) {
            keys += record.Event.KeyEvent.uChar.UnicodeChar;
        }
    }
    return keys;
}

void RealConsole::SetUp()
{
    ASSERT_NE(consoleInputHandle(), INVALID_HANDLE_VALUE) << "no console: run this on a terminal";
    FlushConsoleInputBuffer(consoleInputHandle());
}

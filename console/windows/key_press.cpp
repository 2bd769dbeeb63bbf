// The pause's keystroke on Windows: one key event read from the console itself (CONIN$), never
// from standard input, so typed-ahead answers stay where they are even when standard input is that
// same console. The console's input mode is cleared for the read (no line editing, no echo, no
// Ctrl-C processing: Ctrl-C is one more key here) and given back on every way out of it, a Ctrl-Break
// or a closed window included. Events are read in UTF-16: the narrow read splits a character of a
// double-byte code page such as 936 into two events, which would end two pauses.
#include "console/key_press.h"
#include "console/key_decoding.h"
#include "console/windows/gbk_code_page.h"

#include <windows.h>

namespace {

// Shared with the control handler, which runs on a thread of its own: set before it is installed.
HANDLE gConsole = INVALID_HANDLE_VALUE;
DWORD gOriginalMode = 0;

BOOL WINAPI onControlEvent(DWORD /*event*/)
{
    SetConsoleMode(gConsole, gOriginalMode);
    return FALSE;  // the next handler, and in the end the system's, goes on as it would have
}

// The cleared mode for one key press: set up by the constructor, undone by the destructor.
class RawMode {
public:
    explicit RawMode(HANDLE console)
    {
        gConsole = console;
        SetConsoleCtrlHandler(onControlEvent, TRUE);
        SetConsoleMode(console, 0);
    }

    ~RawMode()
    {
        SetConsoleMode(gConsole, gOriginalMode);
        SetConsoleCtrlHandler(onControlEvent, FALSE);
    }

    RawMode(const RawMode&) = delete;
    RawMode& operator=(const RawMode&) = delete;
};

// The first byte of `character` in code page 936, the code page the game reads in; 0 for none.
unsigned char firstGbkByte(WCHAR character)
{
    if (character == 0) {
        return 0;
    }
    char bytes[4] = {};
    const int length = WideCharToMultiByte(kGbkCodePage, 0, &character, 1, bytes, sizeof bytes, nullptr, nullptr);
    return length > 0 ? static_cast<unsigned char>(bytes[0]) : '?';
}

// Skips events until one ends the pause: mouse, focus and resize events, key releases, and keys
// without a character or a special code (Shift, Ctrl, Alt, Caps Lock alone).
KeyPress readOneKey(HANDLE console)
{
    for (;;) {
        INPUT_RECORD record{};
        DWORD got = 0;
        if (!ReadConsoleInputW(console, &record, 1, &got)) {
            return KeyPress{};
        }
        if (got != 1 || record.EventType != KEY_EVENT) {
            continue;
        }
        const KEY_EVENT_RECORD& event = record.Event.KeyEvent;
        if (IS_LOW_SURROGATE(event.uChar.UnicodeChar)) {
            continue;  // the second half of a character beyond 16 bits, which its first half stood for
        }
        const std::optional<KeyPress> key =
            keyFromConsoleEvent(event.bKeyDown != FALSE, event.wVirtualKeyCode, firstGbkByte(event.uChar.UnicodeChar));
        if (key) {
            return *key;
        }
    }
}

}  // namespace

KeyPress readKeyPress(TextEncoding /*encoding*/)
{
    const HANDLE console = CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                       nullptr, OPEN_EXISTING, 0, nullptr);
    if (console == INVALID_HANDLE_VALUE) {
        return KeyPress{};  // no console: no wait
    }
    KeyPress key;
    if (GetConsoleMode(console, &gOriginalMode)) {
        const RawMode raw(console);
        key = readOneKey(console);
    }
    CloseHandle(console);
    return key;
}

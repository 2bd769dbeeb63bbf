// On Windows the session puts a console that shows another code page on code page 936 (GBK), the
// one the game writes and reads names in, for the whole run. Both of the console's code pages go
// back to what they were on every way out: the end of main, and Ctrl-C, Ctrl-Break or a closed
// window, after which the system ends the process. Without a console there is nothing to change.
// A console made for the game alone (a double-click in Explorer) closes with it, so the session
// then waits for one key before the end, lest the last lines vanish unread. A failure's line goes
// straight to the standard error handle with WriteFile.
#include "console/console_session.h"
#include "console/key_press.h"
#include "console/standard_console.h"
#include "console/windows/gbk_code_page.h"

#include <windows.h>

#include <cstring>

namespace {

// The pages to put back, 0 for one left alone. Shared with the control handler, which runs on a
// thread of its own: set before it is installed.
UINT gOriginalInputPage = 0;
UINT gOriginalOutputPage = 0;

void restoreCodePages()
{
    if (gOriginalOutputPage != 0) {
        SetConsoleOutputCP(gOriginalOutputPage);
    }
    if (gOriginalInputPage != 0) {
        SetConsoleCP(gOriginalInputPage);
    }
}

BOOL WINAPI onControlEvent(DWORD /*event*/)
{
    restoreCodePages();
    return FALSE;  // the system's handler then ends the process as it would have
}

bool isConsole(DWORD standardHandle)
{
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(standardHandle), &mode) != 0;
}

// Whether the game's output shows in a console that no other process holds: the window goes
// when the game ends. Started from a command prompt, the prompt's shell holds it too.
bool consoleClosesWithGame()
{
    DWORD processes[2] = {};
    return isConsole(STD_OUTPUT_HANDLE) && GetConsoleProcessList(processes, 2) == 1;
}

}  // namespace

ConsoleSession::ConsoleSession()
{
    // Only a console that shows the game's output or takes its answers matters. One that is merely
    // there (both streams redirected) is left alone: the pause discards its key anyway.
    if (!isConsole(STD_OUTPUT_HANDLE) && !isConsole(STD_INPUT_HANDLE)) {
        return;
    }
    const UINT outputPage = GetConsoleOutputCP();
    const UINT inputPage = GetConsoleCP();
    if (outputPage != kGbkCodePage && SetConsoleOutputCP(kGbkCodePage)) {
        gOriginalOutputPage = outputPage;
    }
    if (inputPage != kGbkCodePage && SetConsoleCP(kGbkCodePage)) {
        gOriginalInputPage = inputPage;
    }
    if (gOriginalOutputPage != 0 || gOriginalInputPage != 0) {
        SetConsoleCtrlHandler(onControlEvent, TRUE);
    }
}

ConsoleSession::~ConsoleSession()
{
    flush(standardOutput());  // the last bytes still show in the game's code page
    if (consoleClosesWithGame()) {
        readKeyPress(TextEncoding::Gbk);  // silent: the transcript ends with the game's last line
    }
    restoreCodePages();
    SetConsoleCtrlHandler(onControlEvent, FALSE);
}

void reportFailure(const char* line)
{
    const HANDLE handle = GetStdHandle(STD_ERROR_HANDLE);
    DWORD written = 0;
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE) {
        WriteFile(handle, line, static_cast<DWORD>(std::strlen(line)), &written, nullptr);
    }
}

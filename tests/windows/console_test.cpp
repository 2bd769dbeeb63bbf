// The Windows console itself, under wine or on Windows: the pause reads key events written into
// the console's input (CONIN$), the real game puts the console's code pages back, and a console
// made for the game alone waits for a key before it closes. Needs a console: under wine, run it on
// a pseudo-terminal, which wine turns into one.
#include "console/console.h"
#include "console/console_session.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <initializer_list>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

HANDLE consoleInput()
{
    static const HANDLE input = CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                            nullptr, OPEN_EXISTING, 0, nullptr);
    return input;
}

INPUT_RECORD keyEvent(bool down, WORD virtualKey, WCHAR character = 0)
{
    INPUT_RECORD record{};
    record.EventType = KEY_EVENT;
    record.Event.KeyEvent.bKeyDown = down ? TRUE : FALSE;
    record.Event.KeyEvent.wRepeatCount = 1;
    record.Event.KeyEvent.wVirtualKeyCode = virtualKey;
    record.Event.KeyEvent.uChar.UnicodeChar = character;
    return record;
}

// A key pressed and released.
std::vector<INPUT_RECORD> press(WORD virtualKey, WCHAR character = 0)
{
    return {keyEvent(true, virtualKey, character), keyEvent(false, virtualKey, character)};
}

void writeEvents(const std::vector<INPUT_RECORD>& events)
{
    DWORD written = 0;
    ASSERT_TRUE(WriteConsoleInputW(consoleInput(), events.data(), static_cast<DWORD>(events.size()), &written));
    ASSERT_EQ(written, events.size());
}

// Key-downs still waiting in the console's input: what the pauses left.
std::wstring keysLeft()
{
    std::wstring keys;
    DWORD count = 0;
    while (GetNumberOfConsoleInputEvents(consoleInput(), &count) && count > 0) {
        INPUT_RECORD record{};
        DWORD got = 0;
        ReadConsoleInputW(consoleInput(), &record, 1, &got);
        if (record.EventType == KEY_EVENT && record.Event.KeyEvent.bKeyDown &&
            record.Event.KeyEvent.uChar.UnicodeChar) {
            keys += record.Event.KeyEvent.uChar.UnicodeChar;
        }
    }
    return keys;
}

class RealConsole : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(consoleInput(), INVALID_HANDLE_VALUE) << "no console: run this on a terminal";
        FlushConsoleInputBuffer(consoleInput());
    }
};

}  // namespace

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
        std::istringstream in;
        std::ostringstream out;
        Console console{in, out, TextEncoding::Gbk, std::nullopt};
        for (int pause = 0; pause < row.pausesEnded; ++pause) {
            waitForKey(console);
        }
        EXPECT_FALSE(console.heldKey.has_value());
        waitForKey(console);  // must end on 'z', not on a rest of the row's key
        EXPECT_EQ(keysLeft(), L"");
    }
}

namespace {

const char* const kGame = QZ_GAME_PATH;

struct CodePages {
    UINT input;
    UINT output;
    bool operator==(const CodePages&) const = default;
};

CodePages consoleCodePages() { return {GetConsoleCP(), GetConsoleOutputCP()}; }

// The real game on this console (its output goes there), reading its answers from a pipe.
struct GameOnConsole {
    PROCESS_INFORMATION process{};
    HANDLE answers = nullptr;

    explicit GameOnConsole(const std::string& typed)
    {
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        HANDLE readEnd = nullptr;
        CreatePipe(&readEnd, &answers, &inherit, 0);
        SetHandleInformation(answers, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = readEnd;
        startup.hStdOutput = CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                         &inherit, OPEN_EXISTING, 0, nullptr);
        startup.hStdError = startup.hStdOutput;
        std::string commandLine = std::string("\"") + kGame + "\"";
        CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
        CloseHandle(readEnd);
        CloseHandle(startup.hStdOutput);
        DWORD written = 0;
        WriteFile(answers, typed.data(), static_cast<DWORD>(typed.size()), &written, nullptr);
    }

    ~GameOnConsole()
    {
        CloseHandle(answers);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }

    DWORD exitCode(DWORD waitMs) const
    {
        DWORD code = STILL_ACTIVE;
        if (WaitForSingleObject(process.hProcess, waitMs) == WAIT_OBJECT_0) {
            GetExitCodeProcess(process.hProcess, &code);
        }
        return code;
    }
};

// Until the game has put the console on code page 936, or a while has passed.
bool waitForGbk()
{
    for (int tries = 0; tries < 600 && consoleCodePages() != CodePages{936, 936}; ++tries) {
        Sleep(50);
    }
    return consoleCodePages() == CodePages{936, 936};
}

// Set when this process has seen the Ctrl-C it sent, which comes on a thread of its own: removed
// before that, the handler would leave the event to the default one, which ends this process too.
HANDLE gControlSeen = CreateEventA(nullptr, TRUE, FALSE, nullptr);

BOOL WINAPI ignoreControlEvent(DWORD /*event*/)
{
    SetEvent(gControlSeen);
    return TRUE;
}

}  // namespace

TEST_F(RealConsole, GameGivesTheCodePagesBackAfterANormalEndAndAfterCtrlC)
{
    ASSERT_TRUE(SetConsoleCP(437) && SetConsoleOutputCP(850));
    {
        const GameOnConsole game("2\n");
        EXPECT_EQ(game.exitCode(60000), 0U);
        EXPECT_TRUE(consoleCodePages() == (CodePages{437, 850}));
    }
    SetConsoleCtrlHandler(ignoreControlEvent, TRUE);  // a handler of its own: not inherited
    {
        const GameOnConsole game("1\n");  // then it waits for a name that never comes
        ASSERT_TRUE(waitForGbk());
        ASSERT_TRUE(GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0));
        // Windows ends it with STATUS_CONTROL_C_EXIT, wine's default handler with 0; only Ctrl-C
        // ends it here, as its answers never end.
        EXPECT_NE(game.exitCode(60000), static_cast<DWORD>(STILL_ACTIVE));
        EXPECT_TRUE(consoleCodePages() == (CodePages{437, 850}));
    }
    EXPECT_EQ(WaitForSingleObject(gControlSeen, 60000), WAIT_OBJECT_0);
    SetConsoleCtrlHandler(ignoreControlEvent, FALSE);
}

// This process stands in for the game: on a terminal under wine, or started by a double-click,
// it is the only one attached to its console.
TEST_F(RealConsole, SessionWaitsForAKeyOnlyWhenTheConsoleClosesWithTheGame)
{
    DWORD processes[2] = {};
    ASSERT_EQ(GetConsoleProcessList(processes, 2), 1U) << "this test must own its console alone";
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    const HANDLE console = CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                       nullptr, OPEN_EXISTING, 0, nullptr);
    const HANDLE file = CreateFileA("NUL", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    const struct {
        const char* what;
        HANDLE output;
        bool shared;
        std::wstring left;
    } rows[] = {
        {"alone, output on the console", console, false, L"z"},
        {"alone, output redirected", file, false, L"yz"},
        {"shared with another process", console, true, L"yz"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        SetStdHandle(STD_OUTPUT_HANDLE, row.output);
        writeEvents(press('Y', L'y'));
        writeEvents({keyEvent(true, 'Z', L'z')});
        {
            std::optional<GameOnConsole> other;  // waits at the title while the session ends
            if (row.shared) {
                other.emplace("");
                ASSERT_TRUE(waitForGbk());  // attached to the console by then
            }
            const ConsoleSession session;
        }
        EXPECT_EQ(keysLeft(), row.left);
    }
    SetStdHandle(STD_OUTPUT_HANDLE, output);
    CloseHandle(file);
    CloseHandle(console);
}

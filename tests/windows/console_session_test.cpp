// The console session on the Windows console itself: the real game puts the console's code pages
// back, after a normal end and after Ctrl-C, and a console made for the game alone waits for a key
// before it closes. Needs a console (see tests/support/real_console.h).
#include "console/console_session.h"
#include "console/windows/gbk_code_page.h"
#include "tests/support/real_console.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <optional>
#include <string>

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
    for (int tries = 0; tries < 600 && consoleCodePages() != CodePages{kGbkCodePage, kGbkCodePage}; ++tries) {
        Sleep(50);
    }
    return consoleCodePages() == CodePages{kGbkCodePage, kGbkCodePage};
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

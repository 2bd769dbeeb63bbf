// On Windows the game reads and writes the standard handles themselves, with ReadFile and
// WriteFile. The C runtime's streams would turn each line feed written into CR LF, and read a
// Ctrl-Z byte as the end of the input; these pass every byte through unchanged, as on POSIX.
// A missing handle reads as the end of the input and takes every write, as a closed stream opened
// on /dev/null does on POSIX.
#include "console/standard_io.h"

#include <windows.h>

namespace {

// Whether a ReadFile that failed with `error` only met the end of the input: a pipe whose writer
// has gone, or a console read that Ctrl-C cut short (the process is ending anyway).
bool isEndOfInput(DWORD error)
{
    return error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF || error == ERROR_OPERATION_ABORTED;
}

bool isMissing(HANDLE handle) { return handle == nullptr || handle == INVALID_HANDLE_VALUE; }

}  // namespace

std::ptrdiff_t readStandardInput(char* into, std::size_t size)
{
    const HANDLE handle = GetStdHandle(STD_INPUT_HANDLE);
    if (isMissing(handle)) {
        return 0;
    }
    DWORD got = 0;
    if (!ReadFile(handle, into, static_cast<DWORD>(size), &got, nullptr)) {
        return isEndOfInput(GetLastError()) ? 0 : -1;
    }
    return static_cast<std::ptrdiff_t>(got);  // 0: the end of a file, or Ctrl-Z on a console
}

bool writeStandardOutput(const char* bytes, std::size_t size)
{
    const HANDLE handle = GetStdHandle(STD_OUTPUT_HANDLE);
    if (isMissing(handle)) {
        return true;
    }
    while (size > 0) {
        DWORD count = 0;
        if (WriteFile(handle, bytes, static_cast<DWORD>(size), &count, nullptr) == 0 || count == 0) {
            return false;  // a full disk, or a pipe whose reader has gone
        }
        bytes += count;
        size -= count;
    }
    return true;
}

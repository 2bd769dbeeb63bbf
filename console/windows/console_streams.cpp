// On Windows the game reads and writes the standard handles themselves, with ReadFile and
// WriteFile. The C runtime's streams would turn each line feed written into CR LF, and read a
// Ctrl-Z byte as the end of the input; these pass every byte through unchanged, as on POSIX.
// A read that fails sets the input stream's badbit, which the end of the input does not.
#include "console/console_streams.h"

#include <windows.h>

#include <ios>
#include <istream>
#include <ostream>
#include <streambuf>

namespace {

// Whether a ReadFile that failed with `error` only met the end of the input: a pipe whose writer
// has gone, or a console read that Ctrl-C cut short (the process is ending anyway).
bool isEndOfInput(DWORD error)
{
    return error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF || error == ERROR_OPERATION_ABORTED;
}

// A stream buffer over one standard handle: reads refill it with ReadFile, and a flush or a full
// buffer empties it with WriteFile. A missing handle reads as the end of the input and takes every
// write, as a closed stream opened on /dev/null does on POSIX. A read that fails otherwise sets
// badbit on `stream`; a write that fails (a full disk, a pipe whose reader has gone) fails the
// stream. Either way the game ends with status 2.
class HandleBuffer : public std::streambuf {
public:
    HandleBuffer(DWORD standardHandle, std::ios& stream) : standardHandle_(standardHandle), stream_(stream)
    {
        setp(buffer_, buffer_ + sizeof buffer_);
    }

protected:
    int_type underflow() override
    {
        const HANDLE handle = GetStdHandle(standardHandle_);
        DWORD got = 0;
        if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
            return traits_type::eof();
        }
        if (!ReadFile(handle, buffer_, sizeof buffer_, &got, nullptr)) {
            if (!isEndOfInput(GetLastError())) {
                stream_.setstate(std::ios::badbit);
            }
            return traits_type::eof();
        }
        if (got == 0) {
            return traits_type::eof();  // the end of a file, or Ctrl-Z on a console
        }
        setg(buffer_, buffer_, buffer_ + got);
        return traits_type::to_int_type(buffer_[0]);
    }

    int_type overflow(int_type c) override
    {
        if (sync() != 0) {
            return traits_type::eof();
        }
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }

    int sync() override
    {
        const HANDLE handle = GetStdHandle(standardHandle_);
        if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
            setp(buffer_, buffer_ + sizeof buffer_);
            return 0;
        }
        const char* next = pbase();
        bool written = true;
        while (written && next < pptr()) {
            DWORD count = 0;
            const auto size = static_cast<DWORD>(pptr() - next);
            written = WriteFile(handle, next, size, &count, nullptr) != 0 && count > 0;
            next += count;
        }
        setp(buffer_, buffer_ + sizeof buffer_);  // what could not be written is dropped
        return written ? 0 : -1;
    }

private:
    DWORD standardHandle_;
    std::ios& stream_;
    char buffer_[4096];
};

// A standard stream and the buffer over its handle, which reports to it.
struct StandardStream {
    explicit StandardStream(DWORD standardHandle) : buffer(standardHandle, stream) { stream.rdbuf(&buffer); }

    std::iostream stream{nullptr};
    HandleBuffer buffer;
};

}  // namespace

std::ostream& consoleOutput()
{
    static StandardStream output(STD_OUTPUT_HANDLE);
    return output.stream;
}

std::istream& consoleInput()
{
    static StandardStream input(STD_INPUT_HANDLE);
    input.stream.tie(&consoleOutput());
    return input.stream;
}

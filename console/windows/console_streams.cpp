// On Windows the game reads and writes the standard handles themselves, with ReadFile and
// WriteFile. The C runtime's streams would turn each line feed written into CR LF, and read a
// Ctrl-Z byte as the end of the input; these pass every byte through unchanged, as on POSIX.
#include "console/console_streams.h"

#include <windows.h>

#include <istream>
#include <ostream>
#include <streambuf>

namespace {

// A stream buffer over one standard handle: reads refill it with ReadFile, and a flush or a full
// buffer empties it with WriteFile. A missing handle reads as the end of the input and takes every
// write, as a closed stream opened on /dev/null does on POSIX; a write that fails (a full disk, a
// pipe whose reader has gone) fails the stream, and the game ends with status 2.
class HandleBuffer : public std::streambuf {
public:
    explicit HandleBuffer(DWORD standardHandle) : standardHandle_(standardHandle)
    {
        setp(buffer_, buffer_ + sizeof buffer_);
    }

protected:
    int_type underflow() override
    {
        DWORD got = 0;
        if (!ReadFile(GetStdHandle(standardHandle_), buffer_, sizeof buffer_, &got, nullptr) || got == 0) {
            return traits_type::eof();  // the end of a file, a closed pipe or no handle at all
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
    char buffer_[4096];
};

}  // namespace

std::ostream& consoleOutput()
{
    static HandleBuffer buffer(STD_OUTPUT_HANDLE);
    static std::ostream stream(&buffer);
    return stream;
}

std::istream& consoleInput()
{
    static HandleBuffer buffer(STD_INPUT_HANDLE);
    static std::istream stream(&buffer);
    stream.tie(&consoleOutput());
    return stream;
}

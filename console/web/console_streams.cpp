// In the browser the game's standard streams are the page's terminal. Output goes to the page in
// the same flushes as on a terminal; input arrives a whole line at a time, as a terminal in line
// mode delivers it, and waiting for it suspends the game (Asyncify) until the player presses
// Enter. The page echoes what is typed, so the game never writes an answer back itself.
#include "console/console_streams.h"

#include <emscripten.h>

#include <istream>
#include <ostream>
#include <streambuf>
#include <string>

namespace {

// clang-format off
EM_JS(void, writeToPage, (const char* bytes, int length), {
    Module.qzWrite(HEAPU8.slice(bytes, bytes + length));
});

// The length of the next line of answers, line feed included, kept by the page until it is
// taken; -1 when the input has ended (Ctrl-D on an empty line).
EM_ASYNC_JS(int, waitForLine, (), {
    return await Module.qzReadLine();
});

EM_JS(void, takeLine, (char* destination), {
    HEAPU8.set(Module.qzTakeLine(), destination);
});
// clang-format on

// The page's terminal as one stream buffer: a line read at a time, output sent on a flush or a
// full buffer.
class PageBuffer : public std::streambuf {
public:
    PageBuffer() { setp(output_, output_ + sizeof output_); }

protected:
    int_type underflow() override
    {
        const int length = waitForLine();
        if (length <= 0) {
            return traits_type::eof();
        }
        line_.resize(static_cast<std::size_t>(length));
        takeLine(line_.data());
        setg(line_.data(), line_.data(), line_.data() + length);
        return traits_type::to_int_type(line_[0]);
    }

    int_type overflow(int_type c) override
    {
        sync();
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }

    int sync() override
    {
        if (pptr() != pbase()) {
            writeToPage(pbase(), static_cast<int>(pptr() - pbase()));
            setp(output_, output_ + sizeof output_);
        }
        return 0;
    }

private:
    std::string line_;
    char output_[4096];
};

PageBuffer& pageBuffer()
{
    static PageBuffer buffer;
    return buffer;
}

}  // namespace

std::ostream& consoleOutput()
{
    static std::ostream stream(&pageBuffer());
    return stream;
}

std::istream& consoleInput()
{
    static std::istream stream(&pageBuffer());
    stream.tie(&consoleOutput());
    return stream;
}

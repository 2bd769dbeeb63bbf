// In the browser the game's standard streams are the page's terminal. Output goes to the page in
// the same flushes as on a terminal; input arrives a whole line at a time, as a terminal in line
// mode delivers it, and waiting for it suspends the game (Asyncify) until the player presses
// Enter. The page echoes what is typed, so the game never writes an answer back itself.
#include "console/console_streams.h"
#include "console/web/page_hooks.h"

#include <istream>
#include <ostream>
#include <streambuf>
#include <string>

namespace {

// The page's terminal as one stream buffer: a line read at a time, output sent on a flush or a
// full buffer.
class PageBuffer : public std::streambuf {
public:
    PageBuffer() { setp(output_, output_ + sizeof output_); }

protected:
    int_type underflow() override
    {
        const int length = page::waitForLine();
        if (length <= 0) {
            return traits_type::eof();
        }
        line_.resize(static_cast<std::size_t>(length));
        page::takeLine(line_.data());
        setg(line_.data(), line_.data(), line_.data() + length);
        return traits_type::to_int_type(line_[0]);
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
        if (pptr() != pbase()) {
            page::write(pbase(), static_cast<int>(pptr() - pbase()));
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

// The standard streams over the platform's standard input and output (standard_io.h): one stream
// buffer, with a read area refilled by each read and a write area emptied by each flush or when
// full. Every byte passes through unchanged. A read that fails sets the input stream's badbit,
// which the end of the input never does, so the game's status can tell the two apart; what could
// not be written is dropped and fails the output stream.
#include "console/console_streams.h"
#include "console/standard_io.h"

#include <ios>
#include <istream>
#include <ostream>
#include <streambuf>

namespace {

class StandardBuffer : public std::streambuf {
public:
    explicit StandardBuffer(std::ios& input) : input_(input) { setp(outputBytes_, outputBytes_ + sizeof outputBytes_); }

protected:
    int_type underflow() override
    {
        const std::ptrdiff_t got = readStandardInput(inputBytes_, sizeof inputBytes_);
        if (got <= 0) {
            if (got < 0) {
                input_.setstate(std::ios::badbit);
            }
            return traits_type::eof();
        }
        setg(inputBytes_, inputBytes_, inputBytes_ + got);
        return traits_type::to_int_type(inputBytes_[0]);
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
        const bool written = writeStandardOutput(pbase(), static_cast<std::size_t>(pptr() - pbase()));
        setp(outputBytes_, outputBytes_ + sizeof outputBytes_);
        return written ? 0 : -1;
    }

private:
    std::ios& input_;  // the stream a failed read marks bad
    char inputBytes_[4096]{};
    char outputBytes_[4096]{};
};

// Both streams over the one buffer; the input tied to the output, so that a prompt shows before
// its read.
struct StandardStreams {
    StandardStreams()
    {
        input.rdbuf(&buffer);
        input.tie(&output);
    }

    std::istream input{nullptr};
    StandardBuffer buffer{input};
    std::ostream output{&buffer};
};

StandardStreams& standardStreams()
{
    static StandardStreams streams;
    return streams;
}

}  // namespace

std::istream& consoleInput() { return standardStreams().input; }

std::ostream& consoleOutput() { return standardStreams().output; }

// In the browser the game's standard input and output are the page. Output goes to the page in
// the same flushes as on a terminal; input arrives a whole line at a time, as a terminal in line
// mode delivers it, and waiting for it suspends the game (Asyncify) until the player presses
// Enter. The page echoes what is typed, so the game never writes an answer back itself.
#include "console/standard_io.h"
#include "console/web/page_hooks.h"

#include <algorithm>
#include <string>

namespace {

// The line the page last gave, and how much of it the game has read.
struct PendingLine {
    std::string bytes;
    std::size_t taken = 0;
};

PendingLine& pendingLine()
{
    static PendingLine line;
    return line;
}

}  // namespace

std::ptrdiff_t readStandardInput(char* into, std::size_t size)
{
    PendingLine& line = pendingLine();
    if (line.taken == line.bytes.size()) {
        const int length = page::waitForLine();
        if (length <= 0) {
            return 0;  // the end of the input: the page has no read error to report
        }
        line.bytes.resize(static_cast<std::size_t>(length));
        page::takeLine(line.bytes.data());
        line.taken = 0;
    }
    const std::size_t count = std::min(size, line.bytes.size() - line.taken);
    std::copy_n(line.bytes.data() + line.taken, count, into);
    line.taken += count;
    return static_cast<std::ptrdiff_t>(count);
}

bool writeStandardOutput(const char* bytes, std::size_t size)
{
    if (size > 0) {
        page::write(bytes, static_cast<int>(size));
    }
    return true;  // the page takes everything
}

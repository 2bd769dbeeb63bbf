// The floor the game's speed is measured against: copies standard input to standard output
// through the same kind of stream the game writes with, flushing where the game flushes. Fed a
// transcript of the game, it costs what writing the game's output costs and nothing more.
//
// Usage: qz_floor [FLUSHES] <transcript >out
// FLUSHES lists the byte counts of the game's writes, one a line, as recorded from a run of it:
// the floor flushes after each such count. Without it, the floor flushes at every line feed.
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

namespace {

// The lengths of the pieces to write, each followed by a flush.
std::vector<std::size_t> piecesOf(const std::string& text, const char* flushesFile)
{
    std::vector<std::size_t> pieces;
    if (flushesFile != nullptr) {
        std::ifstream counts(flushesFile);
        for (std::size_t count = 0; counts >> count;) {
            pieces.push_back(count);
        }
        return pieces;
    }
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t feed = text.find('\n', start);
        const std::size_t end = feed == std::string::npos ? text.size() : feed + 1;
        pieces.push_back(end - start);
        start = end;
    }
    return pieces;
}

}  // namespace

int main(int argc, char** argv)
{
    std::ios::sync_with_stdio(false);  // as the game: cout keeps its own buffer
    const std::string text{std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>()};
    const std::vector<std::size_t> pieces = piecesOf(text, argc > 1 ? argv[1] : nullptr);
    std::size_t start = 0;
    for (const std::size_t length : pieces) {
        if (length > text.size() - start) {
            return 1;  // the counts do not belong to this transcript
        }
        std::cout.write(text.data() + start, static_cast<std::streamsize>(length));
        std::cout.flush();
        start += length;
    }
    return start == text.size() ? 0 : 1;
}

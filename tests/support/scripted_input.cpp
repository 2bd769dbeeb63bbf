#include "tests/support/scripted_input.h"

#include "console/standard_io.h"

#include <algorithm>
#include <deque>

namespace {

std::deque<std::string> gReads;

}  // namespace

void scriptStandardInput(std::vector<std::string> reads) { gReads.assign(reads.begin(), reads.end()); }

std::ptrdiff_t readStandardInput(char* into, std::size_t size)
{
    if (gReads.empty()) {
        return 0;
    }
    const std::string next = gReads.front();
    gReads.pop_front();
    if (next == kFailedRead) {
        return -1;
    }
    const std::size_t count = std::min(next.size(), size);  // the tests' reads are short
    std::copy_n(next.begin(), count, into);
    return static_cast<std::ptrdiff_t>(count);
}

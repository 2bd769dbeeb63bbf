// The one reader and the one writer of the game's standard streams.
#include "console/standard_console.h"

#include "console/standard_io.h"

namespace {

bool writeToStandardOutput(void* /*target*/, const char* bytes, std::size_t size)
{
    return writeStandardOutput(bytes, size);
}

}  // namespace

ConsoleReader& standardInput()
{
    static ConsoleReader reader;
    return reader;
}

ConsoleWriter& standardOutput()
{
    static ConsoleWriter writer{writeToStandardOutput};
    return writer;
}

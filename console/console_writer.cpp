// The buffered writer over its sink.
#include "console/console_writer.h"

#include <algorithm>

namespace {

bool sendToSink(ConsoleWriter& writer, const char* bytes, std::size_t size)
{
    if (!writer.failed && size > 0 && !writer.sink(writer.target, bytes, size)) {
        writer.failed = true;
    }
    return !writer.failed;
}

bool appendToMemory(void* target, const char* bytes, std::size_t size)
{
    static_cast<std::string*>(target)->append(bytes, size);
    return true;
}

}  // namespace

void writeBytes(ConsoleWriter& writer, std::string_view bytes)
{
    if (bytes.size() > writer.bytes.size() - writer.used) {
        flush(writer);
        if (bytes.size() > writer.bytes.size()) {
            sendToSink(writer, bytes.data(), bytes.size());
            return;
        }
    }
    if (!writer.failed) {
        std::copy(bytes.begin(), bytes.end(), writer.bytes.begin() + static_cast<std::ptrdiff_t>(writer.used));
        writer.used += bytes.size();
    }
}

bool flush(ConsoleWriter& writer)
{
    const std::size_t size = writer.used;
    writer.used = 0;
    return sendToSink(writer, writer.bytes.data(), size);
}

ConsoleWriter memoryWriter(std::string& memory) { return ConsoleWriter{appendToMemory, &memory}; }

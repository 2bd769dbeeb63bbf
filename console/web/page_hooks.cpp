// The page's hooks as the game reaches them: each one a call to the function of that name on the
// module object. The names are quoted so that the closure compiler keeps them as the page wrote
// them.
#include "console/web/page_hooks.h"

#include <emscripten.h>

namespace {

// clang-format off
EM_JS(void, qzWrite, (const char* bytes, int length), {
    Module["qzWrite"](HEAPU8.slice(bytes, bytes + length));
});

EM_ASYNC_JS(int, qzReadLine, (), {
    return await Module["qzReadLine"]();
});

EM_JS(void, qzTakeLine, (char* destination), {
    HEAPU8.set(Module["qzTakeLine"](), destination);
});

EM_ASYNC_JS(int, qzReadKey, (unsigned char* destination, int capacity), {
    const bytes = (await Module["qzReadKey"]()).subarray(0, capacity);
    HEAPU8.set(bytes, destination);
    return bytes.length;
});

EM_JS(void, qzEnded, (int code), {
    Module["qzEnded"](code);
});

EM_JS(double, qzClockSeconds, (), {
    return Module["qzClockSeconds"]();
});
// clang-format on

}  // namespace

namespace page {

void write(const char* bytes, int length) { qzWrite(bytes, length); }

int waitForLine() { return qzReadLine(); }

void takeLine(char* destination) { qzTakeLine(destination); }

int waitForKey(unsigned char* destination, int capacity) { return qzReadKey(destination, capacity); }

void ended(int code) { qzEnded(code); }

std::int64_t clockSeconds() { return static_cast<std::int64_t>(qzClockSeconds()); }

}  // namespace page

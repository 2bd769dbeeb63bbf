#include "tests/support/scripted_keys.h"

#include <deque>

namespace {

std::deque<KeyPress> gQueue;
int gReads = 0;

}  // namespace

void scriptKeyPresses(std::vector<KeyPress> presses)
{
    gQueue.assign(presses.begin(), presses.end());
    gReads = 0;
}

int keyboardReads() { return gReads; }

KeyPress readKeyPress(TextEncoding /*encoding*/)
{
    ++gReads;
    if (gQueue.empty()) {
        return KeyPress{};
    }
    const KeyPress next = gQueue.front();
    gQueue.pop_front();
    return next;
}

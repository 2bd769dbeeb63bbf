// One key press read straight from the console, and the platform function that reads it.
// Each platform has its own implementation file; tests link a scripted one in its place.
#pragma once

#include "console/text_encoding.h"

struct KeyPress {
    // 0: there is no console to read from; 1: a key that yields a character;
    // 2: a special key (arrow, function, Home, End...) that the console reports as two codes.
    int codeCount = 0;
    unsigned char codes[2] = {};
};

// Blocks until one key is pressed on the console itself, with no echo and no Enter needed, and
// returns it whole (no byte of it is left for later reads). Where the console is shared with other
// jobs (POSIX job control), a game in the background is stopped until it is brought to the
// foreground. Returns at once with codeCount 0 when the console cannot be opened or will not stop
// echoing (a read then would wait for a whole line), or when it is another job's and the game
// cannot be stopped to wait for it.
// `encoding` tells how many bytes a typed non-ASCII character has.
KeyPress readKeyPress(TextEncoding encoding);

// The keyboard the tests link: key presses queued by a test, handed out one per read.
#pragma once

#include "console/key_press.h"

#include <vector>

// Replaces the queue. Once it is empty, reads behave as if there were no console.
void scriptKeyPresses(std::vector<KeyPress> presses);

// How many reads reached the keyboard since the last scriptKeyPresses.
int keyboardReads();

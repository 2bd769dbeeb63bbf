// The standard streams the game talks through, as each platform provides them.
#pragma once

#include <iosfwd>

// The buffered standard input, tied to consoleOutput() so that pending output shows before a read.
// A read that fails sets its badbit, which the end of the input never does: the game's status
// tells the two apart.
std::istream& consoleInput();

// Standard output, written byte for byte: a line feed stays one line feed.
std::ostream& consoleOutput();

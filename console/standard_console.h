// The game's reader and writer over the platform's standard input and output (standard_io.h).
#pragma once

#include "console/console_reader.h"
#include "console/console_writer.h"

// The reader of standard input. After a read that failed, its `failed` is set: the end of the
// input never sets it, so the game's status can tell the two apart.
ConsoleReader& standardInput();

// The writer to standard output, byte for byte: a line feed stays one line feed. Once a write has
// failed, its `failed` is set and nothing more is written.
ConsoleWriter& standardOutput();

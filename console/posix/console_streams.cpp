// On POSIX the C++ standard streams already write byte for byte, and cin is tied to cout.
#include "console/console_streams.h"

#include <iostream>

std::istream& consoleInput() { return std::cin; }

std::ostream& consoleOutput() { return std::cout; }

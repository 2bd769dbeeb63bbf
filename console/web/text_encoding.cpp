// Encodings in the browser: the page's terminal reads UTF-8, the game's own encoding, so there is
// nothing to convert.
#include "console/text_encoding.h"

TextEncoding consoleTextEncoding() { return TextEncoding::Utf8; }

std::string utf8ToGbk(std::string_view utf8) { return std::string(utf8); }

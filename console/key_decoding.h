// Turning the bytes a terminal sends for one key press into a KeyPress. Pure, so the rules are
// tested without a terminal; the POSIX keyboard reader feeds it.
#pragma once

#include "console/key_press.h"

#include <string_view>

// Whether `bytes`, which begin with ESC, already hold a whole escape sequence (or an Alt+key
// pair). A lone ESC is not whole: only a pause in the input tells it is the Esc key itself.
bool isWholeEscapeSequence(std::string_view bytes);

// The key that `bytes` (a whole sequence, or a lone ESC) stand for. Arrow, editing and function
// keys give the two codes the Windows console reports for them; anything else, one code.
KeyPress keyFromEscapeSequence(std::string_view bytes);

// How many bytes the character that starts with `lead` has in `encoding` (1 for ASCII).
int characterLength(unsigned char lead, TextEncoding encoding);

// Turning what the console reports for one key press into a KeyPress: the bytes a terminal sends
// (the POSIX keyboard reader) or a Windows console key event (the Windows one). Pure, so the
// rules are tested without a console.
#pragma once

#include "console/key_press.h"

#include <optional>
#include <string_view>

// Whether `bytes`, which begin with ESC, already hold a whole escape sequence (or an Alt+key
// pair). A lone ESC is not whole: only a pause in the input tells it is the Esc key itself.
bool isWholeEscapeSequence(std::string_view bytes);

// The key that `bytes` (a whole sequence, or a lone ESC) stand for. Arrow, editing and function
// keys give the two codes the Windows console reports for them; anything else, one code.
KeyPress keyFromEscapeSequence(std::string_view bytes);

// How many bytes the character that starts with `lead` has in `encoding` (1 for ASCII).
int characterLength(unsigned char lead, TextEncoding encoding);

// The key a Windows console key event stands for, or nothing when the event does not end a pause.
// `character` is the event's byte in the console's code page, 0 when the key has none;
// `virtualKey` its virtual-key code. A key down with a character gives that one code; one without
// a character gives the same two codes as keyFromEscapeSequence for the arrow, editing and
// function keys. Key releases, and keys with neither (Shift, Ctrl, Alt, Caps Lock...), give nothing.
std::optional<KeyPress> keyFromConsoleEvent(bool keyDown, unsigned short virtualKey, unsigned char character);

// The codes a key press gives, whichever console reported it: a terminal's escape sequence (read
// by console/terminal_keys.cpp) or a Windows console key event (the Windows keyboard). Pure, so
// the rules are tested without a console.
#pragma once

#include "console/key_press.h"

#include <optional>
#include <string_view>

// A key without a character of its own that no table below names: still a special key.
inline constexpr KeyPress kUnnamedSpecialKey{2, {0xE0, 0x00}};

// The key the escape sequence ESC `introducer` `parameters` `final` stands for: '[' for xterm's
// and the Linux console's sequences (whose F1..F5 have the parameters "["), 'O' for the
// application mode's. Arrow, editing and function keys give the two codes the Windows console
// reports for them; modifiers such as ESC [ 1 ; 5 A do not change the key.
KeyPress sequenceKey(char introducer, std::string_view parameters, char final);

// The key a Windows console key event stands for, or nothing when the event does not end a pause.
// `character` is the event's byte in the console's code page, 0 when the key has none;
// `virtualKey` its virtual-key code. A key down with a character gives that one code; one without
// a character gives the same two codes as sequenceKey for the arrow, editing and function keys.
// Key releases, and keys with neither (Shift, Ctrl, Alt, Caps Lock...), give nothing.
std::optional<KeyPress> keyFromConsoleEvent(bool keyDown, unsigned short virtualKey, unsigned char character);

// Reading whole keys from the bytes a terminal sends. Pure apart from its byte source, so the
// rules, the gaps between bytes included, are tested without a terminal.
#pragma once

#include "console/key_press.h"
#include "console/text_encoding.h"

#include <functional>
#include <optional>

// Where a terminal's bytes come from: the next byte, waiting at most `timeoutMs` for it (-1: for
// as long as it takes). Empty when none came in time or the input failed.
using ByteSource = std::function<std::optional<unsigned char>(int timeoutMs)>;

// What the keyboard keeps from one key to the next: a byte that was read but could not belong to
// the key before it, so it begins the next one.
struct TerminalKeys {
    std::optional<unsigned char> unread;
};

// Reads one whole key and no byte more: a character of any length in `encoding`, an escape
// sequence of any length, Alt with a key (rxvt's ESC ESC [ A too), a mouse report or a bracketed
// paste. A key's bytes follow each other closely; a gap of more than 50 ms ends it, so a lone ESC
// is the Esc key. A byte that cannot continue the key is kept in `keys` for the next one.
// Arrow, editing and function keys give two codes (see sequenceKey), any other key one code: its
// first byte, or the byte after ESC. No codes at all: the first byte could not be read.
KeyPress readTerminalKey(TerminalKeys& keys, const ByteSource& source, TextEncoding encoding);

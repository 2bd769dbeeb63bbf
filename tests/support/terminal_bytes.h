// Keys read from a terminal's bytes as the keyboard reads them, with the gaps between the bytes:
// for the tests of the terminal's key reader and of the Windows key events that must agree with it.
#pragma once
#include "console/key_press.h"
#include "console/text_encoding.h"

#include <string>
#include <vector>

// Bytes that arrive `gapMs` after the ones before them.
struct Burst {
    std::string bytes;
    int gapMs = 0;
};

// A key's codes in hex: "e0 48" for a key with two codes.
std::string describe(const KeyPress& key);

// Every key the bytes make, described and separated by ", ". Time passes only while a read waits.
std::string keysOf(const std::vector<Burst>& bursts, TextEncoding encoding = TextEncoding::Utf8);

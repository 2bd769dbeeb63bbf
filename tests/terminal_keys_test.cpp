// Whole keys from a terminal's bytes: escape sequences, characters of every length, and the gaps
// between bytes that end a key.
#include "tests/support/terminal_bytes.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

TEST(TerminalKeys, EachKeyTakesAllItsBytesAndNoMore)
{
    struct Row {
        std::vector<Burst> bursts;
        const char* keys;
    };
    const Row rows[] = {
        {{{"\x1b[A"}}, "e0 48"},                                   // up
        {{{"\x1bOD"}}, "e0 4b"},                                   // left, application mode
        {{{"\x1b[1;5B"}}, "e0 50"},                                // Ctrl+down
        {{{"\x1b[6~"}}, "e0 51"},                                  // page down
        {{{"\x1b[7~\x1b[8~"}}, "e0 47, e0 4f"},                    // rxvt's home and end
        {{{"\x1bOP"}}, "00 3b"},                                   // F1
        {{{"\x1b[[E"}}, "00 3f"},                                  // F5 on the Linux console
        {{{"\x1b[21~\x1b[24~"}}, "00 44, e0 86"},                  // F10, F12
        {{{"\x1b[25~"}}, "e0 00"},                                 // unknown: still a key without a character
        {{{"\x1b"}}, "1b"},                                        // Esc itself
        {{{"\x1bx"}}, "78"},                                       // Alt+x
        {{{"\x1b\x1b[A"}}, "e0 48"},                               // Alt+up on rxvt
        {{{"\x1b\x1bx"}}, "1b, 78"},                               // Alt+Esc, then x
        {{{"\x1b[" + std::string(40, '1') + "~x"}}, "e0 00, 78"},  // no length limit
        {{{"\x1b[200~a\x1b[A\n\x1b[201~x"}}, "1b, 78"},            // a bracketed paste is one key
        {{{"\x1b[200~a\x1b\x1b[201~x"}}, "1b, 78"},                // its end right after a stray ESC
        {{{"\x1b[M !\"k"}}, "1b, 6b"},                             // mouse reports: X10, then SGR
        {{{"\x1b[<0;12;5M\x1b[<0;12;5m"}}, "1b, 1b"},
        {{{"\x1b[1\x03"}}, "e0 00, 03"},  // a control byte cannot continue a sequence
        {{{"\x1bOx"}}, "e0 00"},
        {{{"\x1b"}, {"[A", 30}}, "e0 48"},       // the rest of a key may lag a little
        {{{"\x1b"}, {"[A", 80}}, "1b, 5b, 41"},  // but not this much
        {{{"\x1b[1;5"}, {"x", 80}}, "e0 00, 78"},
        {{{"\x1b["}}, "5b"},  // Alt+[
        {{{"好\xc3\xa9\xf0\x9f\x98\x80"}}, "e5, c3, f0"},
        {{{"，x"}}, "ef, 78"},  // EF BC 8C, the last lead byte of three
        {{{"信x"}}, "e4, 78"},  // E4 BF A1: BF, the last continuation byte
        {{{"\xe4"
           "1\x80\xff"}},
         "e4, 31, 80, ff"},  // a lead byte the next one cannot continue
        {{{"\xe4\xbd"}, {"\xa0", 30}}, "e4"},
    };
    for (const Row& row : rows) {
        std::string bytes;
        for (const Burst& burst : row.bursts) {
            bytes += burst.bytes;
        }
        EXPECT_EQ(keysOf(row.bursts), row.keys) << "bytes: " << testing::PrintToString(bytes);
    }
}

TEST(TerminalKeys, GbkCharactersAreOneKeyFromTheirFirstLeadByteToTheirLast)
{
    const std::pair<std::string, const char*> rows[] = {
        {"\xd6\xd0", "d6"},
        {"\x81\x40\xfe\xfe", "81, fe"},
        {"\xfe\xa1"
         "a",
         "fe, 61"},
        {"\x81\x30\x81\x30", "81"},  // four bytes in GB18030
        {"\x94\x39\xfc\x36"
         "a",
         "94, 61"},  // 😀, with 9, the last digit
        {"\x81\n", "81, 0a"},
        {"\x81\x30 ", "81, 20"},
        {"\x80\xff", "80, ff"},
    };
    for (const auto& [bytes, keys] : rows) {
        EXPECT_EQ(keysOf({{bytes}}, TextEncoding::Gbk), keys) << testing::PrintToString(bytes);
    }
}

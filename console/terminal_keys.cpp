// A terminal's keys, one byte at a time: each byte either continues the key begun, ends it, or
// cannot belong to it and so begins the next key. Nothing but a short gap or a key's own last
// byte ends a key, so none of its bytes is left over for a later read.
#include "console/terminal_keys.h"

#include "console/key_decoding.h"

#include <string>
#include <string_view>
#include <utility>

namespace {

constexpr int kWaitForever = -1;
// The bytes of one key arrive together; a gap this long means the key is complete.
constexpr int kRestOfKeyMilliseconds = 50;
constexpr unsigned char kEscape = 0x1B;
// Parameters beyond these are read but not kept: no key needs more, and noise has no end.
constexpr std::size_t kKeptParameters = 16;
// A bracketed paste, which a program may have left switched on, is one key from its start to its end.
constexpr std::string_view kPasteStart = "200";
constexpr std::string_view kPasteEnd = "\x1b[201~";
// A mouse report, which a program may have left switched on, is one key too. In the X10 form,
// ESC [ M, it carries three more bytes of any value: button, column and row.
constexpr int kMouseReportBytes = 3;

enum class Stage { Start, Escape, EscapeEscape, Csi, LinuxFunction, Ss3, Mouse, Paste, Character };

enum class Step { More, Whole, WholeBeforeThisByte };

struct Decoder {
    TextEncoding encoding = TextEncoding::Utf8;
    Stage stage = Stage::Start;
    KeyPress key;                  // the key the bytes so far stand for, should no more come
    int count = 0;                 // bytes so far of a character, or of a mouse report's payload
    int length = 0;                // a character's bytes
    std::string parameters;        // a control sequence's parameters, the first kKeptParameters
    std::size_t pasteEndSeen = 0;  // how much of kPasteEnd the last bytes were
};

KeyPress oneCode(unsigned char code) { return KeyPress{1, {code, 0}}; }

bool isFinalByte(unsigned char byte) { return byte >= 0x40 && byte <= 0x7E; }

// Whether `byte` may follow `count` bytes of a character in `encoding`.
bool continuesCharacter(unsigned char byte, int count, TextEncoding encoding)
{
    if (encoding == TextEncoding::Utf8) {
        return byte >= 0x80 && byte <= 0xBF;
    }
    const bool digit = byte >= '0' && byte <= '9';
    switch (count) {
    case 1: return digit || (byte >= 0x40 && byte <= 0xFE && byte != 0x7F);
    case 2: return byte >= 0x81 && byte <= 0xFE;
    default: return digit;  // the last byte of a four-byte GB18030 character
    }
}

int characterLength(unsigned char lead, TextEncoding encoding)
{
    if (lead < 0x80) {
        return 1;
    }
    if (encoding == TextEncoding::Gbk) {
        return lead >= 0x81 && lead <= 0xFE ? 2 : 1;  // four when the second byte is a digit
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        return 2;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        return 3;
    }
    return lead >= 0xF0 && lead <= 0xF4 ? 4 : 1;
}

Step startCharacter(Decoder& decoder, unsigned char lead)
{
    decoder.stage = Stage::Character;
    decoder.key = oneCode(lead);
    decoder.count = 1;
    decoder.length = characterLength(lead, decoder.encoding);
    return decoder.length == 1 ? Step::Whole : Step::More;
}

Step continueCharacter(Decoder& decoder, unsigned char byte)
{
    if (!continuesCharacter(byte, decoder.count, decoder.encoding)) {
        return Step::WholeBeforeThisByte;
    }
    if (decoder.encoding == TextEncoding::Gbk && decoder.count == 1 && byte <= '9') {
        decoder.length = 4;
    }
    return ++decoder.count == decoder.length ? Step::Whole : Step::More;
}

// After ESC, or rxvt's ESC ESC for Alt with a special key.
Step afterEscape(Decoder& decoder, unsigned char byte)
{
    if (byte == '[' || byte == 'O') {
        decoder.stage = byte == '[' ? Stage::Csi : Stage::Ss3;
        decoder.key = oneCode(byte);  // Alt+[ or Alt+O, should the sequence go no further
        return Step::More;
    }
    if (decoder.stage == Stage::EscapeEscape) {
        return Step::WholeBeforeThisByte;  // Alt+Esc
    }
    if (byte == kEscape) {
        decoder.stage = Stage::EscapeEscape;
        return Step::More;
    }
    return startCharacter(decoder, byte);  // Alt with a key: that key's code
}

Step inControlSequence(Decoder& decoder, unsigned char byte)
{
    if (decoder.parameters.empty() && (byte == '[' || byte == 'M')) {
        decoder.stage = byte == '[' ? Stage::LinuxFunction : Stage::Mouse;
        decoder.key = byte == '[' ? kUnnamedSpecialKey : oneCode(kEscape);
        return Step::More;
    }
    if (byte >= 0x20 && byte <= 0x3F) {  // parameter and intermediate bytes
        if (decoder.parameters.size() < kKeptParameters) {
            decoder.parameters += static_cast<char>(byte);
        }
        decoder.key = kUnnamedSpecialKey;
        return Step::More;
    }
    if (!isFinalByte(byte)) {
        return Step::WholeBeforeThisByte;
    }
    if (byte == '~' && decoder.parameters == kPasteStart) {
        decoder.stage = Stage::Paste;
        decoder.key = oneCode(kEscape);
        return Step::More;
    }
    // A mouse report in the SGR or urxvt form ends in M or m, which no key's sequence does.
    const bool mouse = byte == 'M' || byte == 'm';
    decoder.key = mouse ? oneCode(kEscape) : sequenceKey('[', decoder.parameters, static_cast<char>(byte));
    return Step::Whole;
}

Step inPaste(Decoder& decoder, unsigned char byte)
{
    if (byte == static_cast<unsigned char>(kPasteEnd[decoder.pasteEndSeen])) {
        ++decoder.pasteEndSeen;
    } else {
        decoder.pasteEndSeen = byte == kEscape ? 1 : 0;  // ESC begins the end marker and is in it once
    }
    return decoder.pasteEndSeen == kPasteEnd.size() ? Step::Whole : Step::More;
}

// A sequence's last byte: its key when it is one, else the key so far, and the byte begins the next.
Step finalByte(Decoder& decoder, unsigned char byte, char introducer, std::string_view parameters)
{
    if (!isFinalByte(byte)) {
        return Step::WholeBeforeThisByte;
    }
    decoder.key = sequenceKey(introducer, parameters, static_cast<char>(byte));
    return Step::Whole;
}

Step feed(Decoder& decoder, unsigned char byte)
{
    switch (decoder.stage) {
    case Stage::Start:
        if (byte != kEscape) {
            return startCharacter(decoder, byte);
        }
        decoder.stage = Stage::Escape;
        decoder.key = oneCode(kEscape);
        return Step::More;
    case Stage::Escape:
    case Stage::EscapeEscape: return afterEscape(decoder, byte);
    case Stage::Csi: return inControlSequence(decoder, byte);
    case Stage::LinuxFunction: return finalByte(decoder, byte, '[', "[");
    case Stage::Ss3: return finalByte(decoder, byte, 'O', "");
    case Stage::Mouse: return ++decoder.count == kMouseReportBytes ? Step::Whole : Step::More;
    case Stage::Paste: return inPaste(decoder, byte);
    case Stage::Character: return continueCharacter(decoder, byte);
    }
    return Step::Whole;
}

}  // namespace

KeyPress readTerminalKey(TerminalKeys& keys, const ByteSource& source, TextEncoding encoding)
{
    std::optional<unsigned char> byte = std::exchange(keys.unread, std::nullopt);
    if (!byte) {
        byte = source(kWaitForever);
    }
    Decoder decoder;
    decoder.encoding = encoding;
    while (byte) {
        const Step step = feed(decoder, *byte);
        if (step == Step::WholeBeforeThisByte) {
            keys.unread = byte;
        }
        if (step != Step::More) {
            break;
        }
        byte = source(kRestOfKeyMilliseconds);
    }
    return decoder.key;
}

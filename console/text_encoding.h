// The encodings the game writes its own texts in, and the platform's conversion to them.
// The texts are kept in UTF-8; player-typed names are never converted.
#pragma once

#include <string>
#include <string_view>

enum class TextEncoding {
    Utf8,
    Gbk,  // code page 936 and its kin (GB2312, GB18030)
};

// The encoding this console expects: on Windows always code page 936. On POSIX, GBK when the
// locale's character set is GBK, GB2312, GB18030, CP936 or EUC-CN, and UTF-8 otherwise. The C
// library names the set of an installed locale; for one that is not installed, the locale's name
// (LC_ALL, else LC_CTYPE, else LANG) is read instead.
TextEncoding consoleTextEncoding();

// The UTF-8 literal `utf8` in `encoding`. Each text is converted once and then remembered.
std::string encodeLiteral(std::string_view utf8, TextEncoding encoding);

// The platform's conversion of UTF-8 text to GBK; the text unchanged if it cannot be converted.
std::string utf8ToGbk(std::string_view utf8);

// The encoding of a character set named as the C library names it (nl_langinfo(CODESET)): GBK
// for GBK, GB2312, GB18030, CP936 or EUC-CN, spelled in any case, with or without '-' and '_';
// UTF-8 otherwise.
TextEncoding encodingOfCharset(std::string_view charset);

// The encoding named by a POSIX locale string such as "zh_CN.GBK" or "en_US.UTF-8": that of its
// character set (after the '.', up to any '@'). A name without one, such as "zh_CN", gets the C
// library's default for it: GBK for zh_CN and zh_SG, UTF-8 for any other.
TextEncoding encodingOfLocale(std::string_view locale);

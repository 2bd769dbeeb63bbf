// Reading a locale's character set, the same on every platform.
#include "console/text_encoding.h"

#include <array>
#include <cctype>

TextEncoding encodingOfLocale(std::string_view locale)
{
    const auto dot = locale.find('.');
    if (dot == std::string_view::npos) {
        return TextEncoding::Utf8;
    }
    std::string_view charset = locale.substr(dot + 1);
    charset = charset.substr(0, charset.find('@'));

    std::string folded;
    for (const char c : charset) {
        if (c != '-' && c != '_') {
            folded += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
    }
    constexpr std::array<std::string_view, 5> kGbkNames = {"gbk", "gb2312", "gb18030", "cp936", "euccn"};
    for (const auto name : kGbkNames) {
        if (folded == name) {
            return TextEncoding::Gbk;
        }
    }
    return TextEncoding::Utf8;
}

// The encoding rules that are the same on every platform: reading a locale's character set, and
// remembering each converted text.
#include "console/text_encoding.h"

#include <array>
#include <cctype>
#include <map>

TextEncoding encodingOfCharset(std::string_view charset)
{
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

TextEncoding encodingOfLocale(std::string_view locale)
{
    const std::string_view name = locale.substr(0, locale.find('@'));
    const auto dot = name.find('.');
    if (dot == std::string_view::npos) {
        // No character set named: the C library's default for the place, GB2312 in these two.
        return name == "zh_CN" || name == "zh_SG" ? TextEncoding::Gbk : TextEncoding::Utf8;
    }
    return encodingOfCharset(name.substr(dot + 1));
}

std::string encodeLiteral(std::string_view utf8, TextEncoding encoding)
{
    if (encoding == TextEncoding::Utf8) {
        return std::string(utf8);
    }
    // The game has a few dozen texts, written again and again.
    static std::map<std::string, std::string, std::less<>> converted;
    auto found = converted.find(utf8);
    if (found == converted.end()) {
        found = converted.emplace(std::string(utf8), utf8ToGbk(utf8)).first;
    }
    return found->second;
}

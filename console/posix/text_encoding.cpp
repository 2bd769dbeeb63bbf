// Encodings on POSIX: the locale picks the encoding, iconv converts the game's texts.
#include "console/text_encoding.h"

#include <iconv.h>
#include <langinfo.h>

#include <clocale>
#include <cstdlib>
#include <string>

TextEncoding consoleTextEncoding()
{
    // An installed locale: the C library knows its character set. The game's own locale is put
    // back afterwards, so nothing else it does depends on the user's.
    const std::string ownLocale = std::setlocale(LC_CTYPE, nullptr);
    if (std::setlocale(LC_CTYPE, "") != nullptr) {
        const TextEncoding encoding = encodingOfCharset(nl_langinfo(CODESET));
        std::setlocale(LC_CTYPE, ownLocale.c_str());
        return encoding;
    }
    // One that is not installed: its name. The first of these that is set and not empty decides,
    // as for the C library itself.
    for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && *value != '\0') {
            return encodingOfLocale(value);
        }
    }
    return TextEncoding::Utf8;
}

std::string utf8ToGbk(std::string_view utf8)
{
    const iconv_t converter = iconv_open("GBK", "UTF-8");
    // NOLINTNEXTLINE(performance-no-int-to-ptr): (iconv_t)-1 is how iconv_open reports failure
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        return std::string(utf8);
    }
    std::string gbk(utf8.size(), '\0');         // GBK never needs more bytes than UTF-8
    char* in = const_cast<char*>(utf8.data());  // iconv's signature lacks const; it only reads
    std::size_t inLeft = utf8.size();
    char* out = gbk.data();
    std::size_t outLeft = gbk.size();
    const bool converted = iconv(converter, &in, &inLeft, &out, &outLeft) != static_cast<std::size_t>(-1);
    iconv_close(converter);
    if (!converted) {
        return std::string(utf8);
    }
    gbk.resize(gbk.size() - outLeft);
    return gbk;
}

// Encodings on Windows: the game writes code page 936 to every console, file and pipe, and
// converts its texts with the system's own tables.
#include "console/text_encoding.h"
#include "console/windows/gbk_code_page.h"

#include <windows.h>

TextEncoding consoleTextEncoding() { return TextEncoding::Gbk; }

std::string utf8ToGbk(std::string_view utf8)
{
    const int length = static_cast<int>(utf8.size());
    const int wideLength = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), length, nullptr, 0);
    if (wideLength <= 0) {
        return std::string(utf8);
    }
    std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), length, wide.data(), wideLength);
    const int gbkLength = WideCharToMultiByte(kGbkCodePage, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    if (gbkLength <= 0) {
        return std::string(utf8);
    }
    std::string gbk(static_cast<std::size_t>(gbkLength), '\0');
    WideCharToMultiByte(kGbkCodePage, 0, wide.data(), wideLength, gbk.data(), gbkLength, nullptr, nullptr);
    return gbk;
}

#include "TextCodes.h"

#include <windows.h>

namespace {

std::wstring Decode(UINT codePage, const std::string& text)
{
    if (text.empty())
        return std::wstring();
    int length = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0)
        return std::wstring();
    std::wstring wide(length, L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), &wide[0], length);
    return wide;
}

std::string Encode(UINT codePage, const std::wstring& text)
{
    if (text.empty())
        return std::string();
    int length = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                     nullptr);
    if (length <= 0)
        return std::string();
    std::string narrow(length, '\0');
    WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), &narrow[0], length, nullptr, nullptr);
    return narrow;
}

}  // namespace

std::string Utf8FromWide(const std::wstring& text) { return Encode(CP_UTF8, text); }
std::string Utf8FromAnsi(const std::string& text) { return Encode(CP_UTF8, Decode(CP_ACP, text)); }
std::wstring WideFromUtf8(const std::string& text) { return Decode(CP_UTF8, text); }
std::string AnsiFromUtf8(const std::string& text) { return Encode(CP_ACP, Decode(CP_UTF8, text)); }

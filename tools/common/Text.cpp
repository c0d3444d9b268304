#include "common/Text.h"

#include <windows.h>

#include <cstdio>

namespace {

std::string FromWide(UINT codePage, const std::wstring& text)
{
    if (text.empty())
        return std::string();
    int count = static_cast<int>(text.size());
    int length = WideCharToMultiByte(codePage, 0, text.data(), count, nullptr, 0, nullptr, nullptr);
    if (length <= 0)
        return std::string();
    std::string narrow(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(codePage, 0, text.data(), count, &narrow[0], length, nullptr, nullptr);
    return narrow;
}

std::wstring ToWide(UINT codePage, const std::string& text)
{
    if (text.empty())
        return std::wstring();
    int count = static_cast<int>(text.size());
    int length = MultiByteToWideChar(codePage, 0, text.data(), count, nullptr, 0);
    if (length <= 0)
        return std::wstring();
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), count, &wide[0], length);
    return wide;
}

}  // namespace

std::string ToAnsi(const std::wstring& text) { return FromWide(CP_ACP, text); }
std::wstring Widen(const std::string& text) { return ToWide(CP_ACP, text); }
std::string ToUtf8(const std::wstring& text) { return FromWide(CP_UTF8, text); }
std::wstring FromUtf8(const std::string& text) { return ToWide(CP_UTF8, text); }

std::string JsonString(const std::wstring& text)
{
    std::string json = "\"";
    for (wchar_t c : text) {
        if (c == L'"' || c == L'\\') {
            json += '\\';
            json += static_cast<char>(c);
        } else if (c < 0x20 || c > 0x7E) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
            json += escaped;
        } else {
            json += static_cast<char>(c);
        }
    }
    return json + "\"";
}

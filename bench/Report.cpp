#include "Report.h"

#include <cstdio>

std::string Narrow(const std::wstring& text)
{
    std::string narrow;
    for (wchar_t c : text)
        narrow += c < 0x80 ? static_cast<char>(c) : '?';
    return narrow;
}

std::string Hex(HRESULT code)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(code));
    return text;
}

void PrintHeading(const char* title)
{
    std::printf("\n== %s\n\n", title);
    std::fflush(stdout);
}

#include "PropertyName.h"

#include <initializer_list>

bool PropertyName(const char* check, wchar_t (&name)[kPropertyNameSize])
{
    std::size_t length = 0;
    for (const char* part : {kPropertyPrefix, check}) {
        for (const char* c = part; *c != '\0'; ++c) {
            if (length + 1 >= kPropertyNameSize) {
                name[0] = L'\0';
                return false;
            }
            // Check names are ASCII; the locale plays no part.
            char upper = *c >= 'a' && *c <= 'z' ? static_cast<char>(*c - 'a' + 'A') : *c;
            name[length++] = static_cast<wchar_t>(static_cast<unsigned char>(upper));
        }
    }
    name[length] = L'\0';
    return true;
}

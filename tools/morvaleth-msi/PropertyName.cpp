#include "PropertyName.h"

#include <initializer_list>

namespace {

bool Compose(const char* check, const char* suffix, wchar_t (&name)[kPropertyNameSize])
{
    std::size_t length = 0;
    for (const char* part : {kPropertyPrefix, check, suffix}) {
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

}  // namespace

bool PropertyName(const char* check, wchar_t (&name)[kPropertyNameSize]) { return Compose(check, "", name); }

bool WhyPropertyName(const char* check, wchar_t (&name)[kPropertyNameSize]) { return Compose(check, "_WHY", name); }

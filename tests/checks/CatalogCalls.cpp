#include "CatalogCalls.h"

#include <gtest/gtest.h>

int Flag(CheckIndex index)
{
    const CheckEntry& entry = kCheckCatalog[index];
    if (entry.flag == nullptr) {
        ADD_FAILURE() << entry.name << " is no flag";
        return -1;
    }
    return entry.flag(nullptr) ? 1 : 0;
}

std::string Text(CheckIndex index)
{
    const CheckEntry& entry = kCheckCatalog[index];
    if (entry.text == nullptr) {
        ADD_FAILURE() << entry.name << " is no text";
        return "<none>";
    }
    char text[kCheckTextSize];
    entry.text(text, nullptr);
    return text;
}

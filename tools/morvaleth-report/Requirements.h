#pragma once
#include <string>
#include <vector>

#include "Checks.h"

// One --require CHECK[=VALUE]: a flag check without a value, or with 1, must be true, with 0
// false; a text check must give exactly VALUE (which may be empty).
struct Requirement {
    const wchar_t* check = nullptr;  // the name as the interface spells it
    bool isText = false;
    bool flag = true;
    std::wstring text;
};

// False, with the reason in `error`, for an unknown check or a malformed requirement.
bool ParseRequirement(const std::string& argument, Requirement& requirement, std::string& error);

// "GetVersion, HasDotNetFramework2, ..." with each check's kind, for the list of valid names.
std::string CheckNameList();

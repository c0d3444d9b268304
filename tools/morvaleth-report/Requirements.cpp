#include "Requirements.h"

#include <windows.h>

#include "Output.h"

namespace {

const wchar_t* KnownCheck(const std::wstring& name)
{
    for (const wchar_t* check : CheckNames())
        if (_wcsicmp(check, name.c_str()) == 0)
            return check;
    return nullptr;
}

}  // namespace

bool ParseRequirement(const std::string& argument, Requirement& requirement, std::string& error)
{
    size_t equals = argument.find('=');
    std::string name = argument.substr(0, equals);
    bool hasValue = equals != std::string::npos;
    std::string value = hasValue ? argument.substr(equals + 1) : std::string();
    requirement = Requirement();
    if (name.empty()) {
        error = "--require \"" + argument + "\" names no check";
        return false;
    }
    requirement.check = KnownCheck(Widen(name));
    if (!requirement.check) {
        error = "--require \"" + argument + "\": there is no check named \"" + name + "\"";
        return false;
    }
    requirement.isText = IsTextCheck(requirement.check);
    if (requirement.isText) {
        if (!hasValue) {
            error = "--require \"" + argument + "\": " + name + " answers a text; write " + name + "=TEXT";
            return false;
        }
        requirement.text = Widen(value);
        return true;
    }
    if (hasValue && value != "0" && value != "1") {
        error = "--require \"" + argument + "\": " + name + " answers true or false; write " + name + " or " + name +
                "=0";
        return false;
    }
    requirement.flag = value != "0";
    return true;
}

std::string CheckNameList()
{
    std::string flags, texts;
    for (const wchar_t* check : CheckNames()) {
        std::string& list = IsTextCheck(check) ? texts : flags;
        list += (list.empty() ? "" : ", ") + ToAnsi(check);
    }
    return "flag checks (CHECK or CHECK=0): " + flags + "\ntext checks (CHECK=TEXT): " + texts + "\n";
}

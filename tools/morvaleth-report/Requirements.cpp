#include "Requirements.h"

#include <windows.h>

#include <cstdio>

#include "Output.h"

namespace {

const wchar_t* KnownCheck(const std::wstring& name)
{
    for (const wchar_t* check : CheckNames())
        if (_wcsicmp(check, name.c_str()) == 0)
            return check;
    return nullptr;
}

std::string Required(const Requirement& requirement)
{
    return requirement.isText ? JsonString(requirement.text) : (requirement.flag ? "true" : "false");
}

const Answer* AnswerOf(const wchar_t* check, const std::vector<Answer>& answers)
{
    for (const Answer& answer : answers)
        if (wcscmp(answer.check, check) == 0)
            return &answer;
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

std::vector<UnmetRequirement> UnmetRequirements(const std::vector<Requirement>& requirements,
                                                const std::vector<Answer>& answers)
{
    std::vector<UnmetRequirement> unmet;
    for (const Requirement& requirement : requirements) {
        const Answer* answer = AnswerOf(requirement.check, answers);
        std::string name = ToAnsi(requirement.check);
        std::string words;
        if (!answer || FAILED(answer->result)) {
            char code[16];
            std::snprintf(code, sizeof code, "0x%08lX", answer ? static_cast<unsigned long>(answer->result) : 0ul);
            words = name + " gave no answer (error " + code + "), required " + Required(requirement);
        } else if (requirement.isText && answer->text != requirement.text) {
            words = name + " is " + JsonString(answer->text) + ", required " + Required(requirement);
        } else if (!requirement.isText && answer->flag != requirement.flag) {
            words = name + " is " + (answer->flag ? "true" : "false") + ", required " + Required(requirement);
        } else {
            continue;
        }
        unmet.push_back({requirement, answer, words});
    }
    return unmet;
}

std::string UnmetJson(const std::vector<UnmetRequirement>& unmet)
{
    std::string json = "\"unmet\": [";
    for (size_t i = 0; i < unmet.size(); ++i) {
        const Answer* answer = unmet[i].answer;
        std::string given = !answer || FAILED(answer->result) ? "null"
                            : answer->isText                 ? JsonString(answer->text)
                                                             : (answer->flag ? "true" : "false");
        json += std::string(i ? ", " : "") + "{\"check\": " + JsonString(unmet[i].requirement.check) +
                ", \"required\": " + Required(unmet[i].requirement) + ", \"answer\": " + given + "}";
    }
    return json + "]";
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

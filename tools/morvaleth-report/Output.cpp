#include "Output.h"

#include <windows.h>

#include <algorithm>
#include <cwchar>

namespace {

std::string Shown(const Answer& answer)
{
    if (FAILED(answer.result)) {
        char code[32];
        std::snprintf(code, sizeof code, "error 0x%08lX", static_cast<unsigned long>(answer.result));
        return code;
    }
    return answer.isText ? ToAnsi(answer.text) : (answer.flag ? "true" : "false");
}

}  // namespace

void PrintTable(std::FILE* out, const std::vector<Answer>& answers)
{
    size_t width = 5;
    for (const Answer& answer : answers)
        width = std::max(width, std::wcslen(answer.check));
    std::fprintf(out, "%-*s  %s\n", static_cast<int>(width), "Check", "Answer");
    std::fprintf(out, "%s  %s\n", std::string(width, '-').c_str(), std::string(6, '-').c_str());
    for (const Answer& answer : answers)
        std::fprintf(out, "%-*s  %s\n", static_cast<int>(width), ToAnsi(answer.check).c_str(), Shown(answer).c_str());
}

void PrintJson(std::FILE* out, const std::vector<Answer>& answers, const std::string& member)
{
    std::fprintf(out, "{\n");
    for (size_t i = 0; i < answers.size(); ++i) {
        const Answer& answer = answers[i];
        std::string value = FAILED(answer.result) ? "null"
                            : answer.isText      ? JsonString(answer.text)
                                                 : (answer.flag ? "true" : "false");
        std::fprintf(out, "  %s: %s%s\n", JsonString(answer.check).c_str(), value.c_str(),
                     i + 1 < answers.size() || !member.empty() ? "," : "");
    }
    if (!member.empty())
        std::fprintf(out, "  %s\n", member.c_str());
    std::fprintf(out, "}\n");
}

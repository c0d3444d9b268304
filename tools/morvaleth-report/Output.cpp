#include "Output.h"

#include <windows.h>

std::string JsonText(const std::string& utf8) { return JsonString(FromUtf8(utf8)); }

std::string FormatJson(const std::vector<Answer>& answers, const std::string& member)
{
    std::string json = "{\n";
    for (size_t i = 0; i < answers.size(); ++i) {
        const Answer& answer = answers[i];
        std::string value = FAILED(answer.result) ? "null"
                            : answer.isText      ? JsonString(answer.text)
                                                 : (answer.flag ? "true" : "false");
        json += "  " + JsonString(answer.check) + ": " + value + (i + 1 < answers.size() || !member.empty() ? "," : "") +
                "\n";
    }
    if (!member.empty())
        json += "  " + member + "\n";
    return json + "}\n";
}

#include "Output.h"

#include <windows.h>

#include "TextCodes.h"

std::string ToAnsi(const std::wstring& text)
{
    if (text.empty())
        return std::string();
    int length = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string narrow(length, '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &narrow[0], length, nullptr, nullptr);
    return narrow;
}

std::string JsonString(const std::wstring& text)
{
    std::string json = "\"";
    for (wchar_t c : text) {
        char escaped[8];
        if (c == L'"' || c == L'\\') {
            json += '\\';
            json += static_cast<char>(c);
        } else if (c < 0x20 || c > 0x7E) {
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
            json += escaped;
        } else {
            json += static_cast<char>(c);
        }
    }
    return json + "\"";
}

std::string JsonText(const std::string& utf8) { return JsonString(WideFromUtf8(utf8)); }

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

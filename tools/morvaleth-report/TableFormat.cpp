#include "Formats.h"

#include <algorithm>

namespace {

// Bytes, not characters: the table was aligned that way before it had reasons.
std::string Padded(const std::string& text, size_t width)
{
    return text + std::string(width > text.size() ? width - text.size() : 0, ' ');
}

}  // namespace

std::string FormatTable(const Findings& findings, bool explain)
{
    size_t name = 5, answer = 6, state = 5;
    for (const CheckFinding& check : findings.checks) {
        name = std::max(name, check.name.size());
        answer = std::max(answer, ShownAnswer(check).size());
        state = std::max(state, std::string(StateName(check.state)).size());
    }
    std::string table;
    if (!explain) {
        table = Padded("Check", name) + "  Answer\n" + std::string(name, '-') + "  ------\n";
        for (const CheckFinding& check : findings.checks)
            table += Padded(check.name, name) + "  " + ShownAnswer(check) + "\n";
        return table;
    }
    table = Padded("Check", name) + "  " + Padded("Answer", answer) + "  " + Padded("State", state) + "  Why\n" +
            std::string(name, '-') + "  " + std::string(answer, '-') + "  " + std::string(state, '-') + "  ---\n";
    for (const CheckFinding& check : findings.checks)
        table += Padded(check.name, name) + "  " + Padded(ShownAnswer(check), answer) + "  " +
                 Padded(StateName(check.state), state) + "  " + check.reason + "\n";
    return table;
}

#include "Formats.h"

#include <algorithm>
#include <cctype>

namespace {

const char kCut[] = " ...";

std::string Upper(const char* text)
{
    std::string upper(text);
    std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return std::toupper(c); });
    return upper;
}

// Within the limit, never splitting a UTF-8 sequence, with " ..." where it was cut.
std::string Limited(std::string line)
{
    for (char& c : line)
        if (c == '\r' || c == '\n')
            c = ' ';
    if (line.size() <= kLineLimit)
        return line;
    size_t end = kLineLimit - (sizeof kCut - 1);
    while (end > 0 && (static_cast<unsigned char>(line[end]) & 0xC0) == 0x80)
        --end;
    return line.substr(0, end) + kCut;
}

// "GetSCEPath [access-denied]": the reason code says enough on one line.
std::string Named(const CheckFinding& check) { return check.name + " [" + check.reasonCode + "]"; }

bool HasRequirement(size_t check, const Findings& findings)
{
    for (const RequirementFinding& requirement : findings.requirements)
        if (requirement.check == check)
            return true;
    return false;
}

}  // namespace

// "FAIL HOST: 1 of 3 requirements met; unmet: ...; undetermined: ...; other undetermined checks: ..."
std::string FormatLine(const Findings& findings)
{
    const Summary& summary = findings.summary;
    std::string line = Upper(summary.verdict) + " " + findings.host.computerName + ": " + std::to_string(summary.met) +
                       " of " + std::to_string(summary.requirements) + " requirements met";
    std::string unmet, undetermined, others;
    for (const RequirementFinding& requirement : findings.requirements) {
        if (requirement.outcome == RequirementOutcome::Unmet)
            unmet += (unmet.empty() ? "" : ", ") + requirement.words;
        if (requirement.outcome == RequirementOutcome::Undetermined)
            undetermined += (undetermined.empty() ? "" : ", ") + Named(findings.checks[requirement.check]);
    }
    for (size_t i = 0; i < findings.checks.size(); ++i) {
        const CheckFinding& check = findings.checks[i];
        if (check.state == CheckState::Undetermined && !HasRequirement(i, findings))
            others += (others.empty() ? "" : ", ") + Named(check);
    }
    if (!unmet.empty())
        line += "; unmet: " + unmet;
    if (!undetermined.empty())
        line += "; undetermined: " + undetermined;
    if (!others.empty())
        line += "; other undetermined checks: " + others;
    return Limited(line) + "\n";
}

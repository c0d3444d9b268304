#include "Findings.h"

#include <cstdio>
#include <cstring>

#include "Output.h"
#include "common/Text.h"

namespace {

std::string HexCode(HRESULT result)
{
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(result));
    return code;
}

const CheckOutcome* OutcomeOf(const std::string& name, const std::vector<CheckOutcome>& outcomes)
{
    for (const CheckOutcome& outcome : outcomes)
        if (outcome.entry && name == outcome.entry->name)
            return &outcome;
    return nullptr;
}

void TakeOutcome(const CheckOutcome& outcome, CheckFinding& finding)
{
    finding.explained = true;
    finding.state = outcome.state;
    finding.reasonCode = outcome.reasonCode;
    finding.reason = ToUtf8(Widen(outcome.reason));
    finding.rule = outcome.rule;
    finding.help = outcome.help;
    finding.readings = outcome.readings;
    for (Reading& reading : finding.readings) {
        reading.path = ToUtf8(Widen(reading.path));
        reading.value = ToUtf8(Widen(reading.value));
        reading.data = ToUtf8(Widen(reading.data));
        reading.note = ToUtf8(Widen(reading.note));
    }
}

bool SameAnswer(const CheckFinding& finding, const CheckOutcome& outcome)
{
    return finding.isText ? finding.text == ToUtf8(Widen(outcome.text)) : finding.flag == outcome.flag;
}

std::string OutcomeAnswer(const CheckOutcome& outcome)
{
    return outcome.isText ? JsonText(ToUtf8(Widen(outcome.text))) : (outcome.flag ? "true" : "false");
}

std::string Quoted(const CheckFinding& check)
{
    return check.isText ? JsonText(check.text) : (check.flag ? "true" : "false");
}

}  // namespace

std::vector<CheckFinding> CombineFindings(const std::vector<Answer>& answers, const std::vector<CheckOutcome>& outcomes)
{
    std::vector<CheckFinding> findings;
    for (const Answer& answer : answers) {
        CheckFinding finding;
        finding.name = ToUtf8(answer.check);
        finding.isText = answer.isText;
        finding.result = answer.result;
        finding.flag = answer.flag;
        finding.text = ToUtf8(answer.text);
        const CheckOutcome* outcome = OutcomeOf(finding.name, outcomes);
        if (outcome)
            TakeOutcome(*outcome, finding);
        if (outcome && FAILED(answer.result)) {
            finding.state = CheckState::Undetermined;
            finding.reasonCode = "call-failed";
            finding.reason = "the component's call failed (" + HexCode(answer.result) + "); this report read " +
                             OutcomeAnswer(*outcome) + ": " + finding.reason;
        } else if (outcome && !SameAnswer(finding, *outcome)) {
            finding.state = CheckState::Undetermined;
            finding.reasonCode = "answers-differ";
            finding.reason = "the component answered " + Quoted(finding) + " but this report read " +
                             OutcomeAnswer(*outcome) +
                             ": another version of the DLL answered, or the machine changed in between (" +
                             finding.reason + ")";
        }
        findings.push_back(finding);
    }
    return findings;
}

std::vector<RequirementFinding> JudgeRequirements(const std::vector<Requirement>& requirements,
                                                  const std::vector<CheckFinding>& checks)
{
    std::vector<RequirementFinding> judged;
    for (const Requirement& requirement : requirements) {
        std::string name = ToUtf8(requirement.check);
        size_t index = 0;
        while (index < checks.size() && checks[index].name != name)
            ++index;
        if (index == checks.size())
            continue;  // parsing admits only known checks
        const CheckFinding& check = checks[index];
        RequirementFinding finding{requirement, index, RequirementOutcome::Met, std::string()};
        std::string required = ", required " + RequiredJson(requirement);
        if (FAILED(check.result)) {
            finding.outcome = RequirementOutcome::Unmet;
            finding.words = name + " gave no answer (error " + HexCode(check.result) + ")" + required;
        } else if (check.explained && check.state == CheckState::Undetermined) {
            finding.outcome = RequirementOutcome::Undetermined;
            finding.words = name + " is undetermined (answered " + Quoted(check) + ": " + check.reason + ")" + required;
        } else {
            bool met = requirement.isText ? check.text == ToUtf8(requirement.text) : check.flag == requirement.flag;
            finding.outcome = met ? RequirementOutcome::Met : RequirementOutcome::Unmet;
            finding.words = name + " is " + Quoted(check) + required;
        }
        judged.push_back(finding);
    }
    return judged;
}

Summary Summarise(const std::vector<CheckFinding>& checks, const std::vector<RequirementFinding>& requirements,
                  int exitStatus)
{
    Summary summary;
    summary.checks = static_cast<int>(checks.size());
    for (const CheckFinding& check : checks)
        ++(check.state == CheckState::Undetermined ? summary.undetermined : summary.determined);
    summary.requirements = static_cast<int>(requirements.size());
    for (const RequirementFinding& requirement : requirements) {
        switch (requirement.outcome) {
        case RequirementOutcome::Met: ++summary.met; break;
        case RequirementOutcome::Unmet: ++summary.unmet; break;
        case RequirementOutcome::Undetermined: ++summary.requirementsUndetermined; break;
        }
    }
    bool failedCall = false;
    for (const CheckFinding& check : checks)
        failedCall = failedCall || FAILED(check.result);
    summary.verdict = summary.unmet || failedCall             ? "fail"
                      : summary.requirementsUndetermined ? "undetermined"
                                                         : "pass";
    summary.exitStatus = exitStatus;
    return summary;
}

bool CountsUnmet(const RequirementFinding& requirement, bool undeterminedPasses)
{
    return requirement.outcome == RequirementOutcome::Unmet ||
           (requirement.outcome == RequirementOutcome::Undetermined && !undeterminedPasses);
}

std::string UnmetJson(const std::vector<RequirementFinding>& requirements, const std::vector<CheckFinding>& checks,
                      bool undeterminedPasses)
{
    std::string json = "\"unmet\": [";
    bool first = true;
    for (const RequirementFinding& requirement : requirements) {
        if (!CountsUnmet(requirement, undeterminedPasses))
            continue;
        const CheckFinding& check = checks[requirement.check];
        std::string given = FAILED(check.result) ? "null" : Quoted(check);
        json += std::string(first ? "" : ", ") + "{\"check\": " + JsonText(check.name) +
                ", \"required\": " + RequiredJson(requirement.requirement) + ", \"answer\": " + given + "}";
        first = false;
    }
    return json + "]";
}

std::string ShownAnswer(const CheckFinding& check)
{
    if (FAILED(check.result))
        return "error " + HexCode(check.result);
    return check.isText ? check.text : (check.flag ? "true" : "false");
}

const char* OutcomeName(RequirementOutcome outcome)
{
    switch (outcome) {
    case RequirementOutcome::Met: return "met";
    case RequirementOutcome::Unmet: return "unmet";
    case RequirementOutcome::Undetermined: return "undetermined";
    }
    return "unmet";
}

std::string RequiredJson(const Requirement& requirement)
{
    return requirement.isText ? JsonString(requirement.text) : (requirement.flag ? "true" : "false");
}

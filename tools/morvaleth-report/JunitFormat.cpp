#include "Formats.h"

#include "Markup.h"

namespace {

struct CaseVerdict {
    const RequirementFinding* failure = nullptr;  // the first unmet requirement on the check
    const RequirementFinding* error = nullptr;    // the first undetermined one
};

CaseVerdict VerdictOf(size_t check, const Findings& findings)
{
    CaseVerdict verdict;
    for (const RequirementFinding& requirement : findings.requirements) {
        if (requirement.check != check)
            continue;
        if (requirement.outcome == RequirementOutcome::Unmet && !verdict.failure)
            verdict.failure = &requirement;
        if (requirement.outcome == RequirementOutcome::Undetermined && !verdict.error)
            verdict.error = &requirement;
    }
    return verdict;
}

std::string Property(const char* name, const std::string& value)
{
    return "      <property name=\"" + std::string(name) + "\" value=\"" + Escaped(value) + "\"/>\n";
}

// JUnit's timestamp has no zone: the time stays UTC, without its "Z".
std::string Timestamp(const std::string& time)
{
    return !time.empty() && time.back() == 'Z' ? time.substr(0, time.size() - 1) : time;
}

std::string SystemOut(const CheckFinding& check)
{
    std::string text = "answer: " + ShownAnswer(check) + "\nstate: " + StateName(check.state) +
                       "\nreason: " + check.reason + " [" + check.reasonCode + "]\nrule: " + check.rule +
                       "\nhelp: " + check.help + "\n";
    for (const Reading& reading : check.readings)
        text += "reading: " + ReadingLine(reading) + "\n";
    return text;
}

}  // namespace

std::string FormatJunit(const Findings& findings)
{
    const std::string host = findings.host.computerName.empty() ? "localhost" : findings.host.computerName;
    int failures = 0, errors = 0;
    std::string cases;
    for (size_t i = 0; i < findings.checks.size(); ++i) {
        const CheckFinding& check = findings.checks[i];
        CaseVerdict verdict = VerdictOf(i, findings);
        cases += "    <testcase classname=\"" + Escaped(host) + "\" name=\"" + Escaped(check.name) + "\" time=\"0\">\n";
        // An unmet requirement is a failure even when another on the same check is undetermined.
        if (verdict.failure) {
            ++failures;
            cases += "      <failure type=\"unmet\" message=\"" + Escaped(verdict.failure->words) + "\">" +
                     Escaped(check.reason) + "</failure>\n";
        } else if (verdict.error) {
            ++errors;
            cases += "      <error type=\"undetermined\" message=\"" + Escaped(verdict.error->words) + "\">" +
                     Escaped(check.reason) + "</error>\n";
        }
        cases += "      <system-out>" + Escaped(SystemOut(check)) + "</system-out>\n    </testcase>\n";
    }
    std::string counts = "tests=\"" + std::to_string(findings.checks.size()) + "\" failures=\"" +
                         std::to_string(failures) + "\" errors=\"" + std::to_string(errors) + "\"";
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites name=\"morvaleth-report\" " + counts +
           " time=\"0\">\n  <testsuite name=\"Morvaleth prerequisites\" hostname=\"" + Escaped(host) +
           "\" timestamp=\"" + Timestamp(findings.time) + "\" " + counts + " skipped=\"0\" time=\"0\">\n" +
           "    <properties>\n" + Property("tool", "morvaleth-report " + findings.toolVersion) +
           Property("dll", findings.dll) +
           Property("activation", findings.throughManifest ? "manifest" : "registration") +
           Property("binding", findings.lateBound ? "late" : "early") +
           Property("verdict", findings.summary.verdict) +
           Property("exit_status", std::to_string(findings.summary.exitStatus)) + "    </properties>\n" + cases +
           "  </testsuite>\n</testsuites>\n";
}

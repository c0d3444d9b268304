#pragma once
#include <string>
#include <vector>

#include "Checks.h"
#include "HostRecord.h"
#include "Requirements.h"
#include "checks/CheckExplanation.h"

// One check as the report shows it: the component's answer, with the reasons this program read
// for it. Every text is UTF-8.
struct CheckFinding {
    std::string name;
    bool isText = false;
    HRESULT result = S_OK;  // the component's call; a failed one gave no answer
    bool flag = false;
    std::string text;
    bool explained = false;  // the fields below are known
    CheckState state = CheckState::Determined;
    std::string reasonCode, reason, rule, help;
    std::vector<Reading> readings;  // its texts converted to UTF-8
};

enum class RequirementOutcome { Met, Unmet, Undetermined };

struct RequirementFinding {
    Requirement requirement;
    size_t check = 0;  // index into Findings::checks
    RequirementOutcome outcome = RequirementOutcome::Met;
    std::string words;  // "HasDotNetFramework2 is false, required true"
};

struct Summary {
    int checks = 0, determined = 0, undetermined = 0;
    int requirements = 0, met = 0, unmet = 0, requirementsUndetermined = 0;
    const char* verdict = "pass";  // "fail" over "undetermined" over "pass"
    int exitStatus = 0;
};

struct Findings {
    std::string toolVersion;
    int toolBits = 0;
    HostRecord host;
    std::string dll;
    bool throughManifest = false;
    bool lateBound = false;
    std::string time;
    std::vector<CheckFinding> checks;
    std::vector<RequirementFinding> requirements;
    Summary summary;
};

// The component's answers, each with its outcome when `outcomes` has one of that name. An answer
// that differs from the outcome's keeps the component's and becomes undetermined, and so does a
// failed call.
std::vector<CheckFinding> CombineFindings(const std::vector<Answer>& answers,
                                          const std::vector<CheckOutcome>& outcomes);
// A requirement on an undetermined check is undetermined, whatever the answer; one on a check that
// gave no answer is unmet.
std::vector<RequirementFinding> JudgeRequirements(const std::vector<Requirement>& requirements,
                                                  const std::vector<CheckFinding>& checks);
// The counts and the verdict; `exitStatus` is the caller's.
Summary Summarise(const std::vector<CheckFinding>& checks, const std::vector<RequirementFinding>& requirements,
                  int exitStatus);

// The JSON member "unmet": [{"check": ..., "required": ..., "answer": ...}, ...] of --json: the
// requirements that count as unmet for the exit status (undetermined ones unless they pass).
std::string UnmetJson(const std::vector<RequirementFinding>& requirements, const std::vector<CheckFinding>& checks,
                      bool undeterminedPasses);
// Whether a requirement counts as unmet for the exit status.
bool CountsUnmet(const RequirementFinding& requirement, bool undeterminedPasses);

// "true", "false", the text, or "error 0x80004005".
std::string ShownAnswer(const CheckFinding& check);
const char* OutcomeName(RequirementOutcome outcome);  // "met", "unmet", "undetermined"
// The required value as JSON: true, false or a string.
std::string RequiredJson(const Requirement& requirement);

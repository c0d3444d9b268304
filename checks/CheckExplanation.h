#pragma once
#include <string>
#include <vector>

#include "checks/CheckCatalog.h"
#include "checks/CheckLog.h"

enum class CheckState { Determined, Undetermined };

// One check's answer with its reasons: what the report's formats and the custom action show.
struct CheckOutcome {
    const CheckEntry* entry = nullptr;
    bool isText = false;
    bool flag = false;           // the answer of a flag check
    std::string text;            // the answer of a text check, ANSI as composed
    CheckState state = CheckState::Determined;
    std::string reasonCode;      // stable, lower-case words joined by '-', e.g. "key-missing"
    std::string reason;          // one line in plain words
    std::string rule;            // the check's rule that decided
    std::string help;            // "docs/CHECKS.md#hasmdac28"
    std::vector<Reading> readings;
};

// Runs one check with a log: the same answer as the catalog gives without one, and its reasons.
// Never throws: an allocation failure gives an undetermined outcome with what it has.
CheckOutcome ExplainCheck(const CheckEntry& entry);
// All 26, in the interface's order.
std::vector<CheckOutcome> ExplainAll();
const char* StateName(CheckState state);  // "determined", "undetermined"

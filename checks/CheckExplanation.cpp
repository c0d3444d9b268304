#include "checks/CheckExplanation.h"

#include <cctype>
#include <cstring>
#include <new>

#include "checks/CheckReasons.h"

namespace {

const Reading* FirstRegistryReading(const std::vector<Reading>& readings)
{
    for (const Reading& reading : readings) {
        if (reading.partOfAnswer && !reading.root.empty())
            return &reading;
    }
    return nullptr;
}

const Reading* FirstValueReading(const std::vector<Reading>& readings)
{
    for (const Reading& reading : readings) {
        if (reading.partOfAnswer && reading.hasValue)
            return &reading;
    }
    return nullptr;
}

// The reading that carries the data a reason shows: the value read, else the last call with data.
const Reading* DataReading(const std::vector<Reading>& readings)
{
    if (const Reading* value = FirstValueReading(readings))
        return value;
    for (auto it = readings.rbegin(); it != readings.rend(); ++it) {
        if (it->partOfAnswer && it->hasData)
            return &*it;
    }
    return nullptr;
}

const Reading* FirstFailure(const std::vector<Reading>& readings)
{
    for (const Reading& reading : readings) {
        if (reading.partOfAnswer && reading.status != ERROR_SUCCESS && reading.status != ERROR_FILE_NOT_FOUND &&
            reading.status != ERROR_PATH_NOT_FOUND && reading.status != ERROR_MORE_DATA)
            return &reading;
    }
    for (const Reading& reading : readings) {
        if (reading.partOfAnswer && reading.status != ERROR_SUCCESS)
            return &reading;
    }
    return nullptr;
}

const Reading* CallReading(const std::vector<Reading>& readings, const char* api)
{
    for (const Reading& reading : readings) {
        if (reading.api == api)
            return &reading;
    }
    return nullptr;
}

std::string AnswerText(const CheckOutcome& outcome)
{
    if (outcome.isText)
        return outcome.text;
    return outcome.flag ? "true" : "false";
}

// One placeholder's words; "?" where nothing was read that could fill it.
std::string Fill(const std::string& name, const CheckOutcome& outcome, const CheckReasons& reasons)
{
    const std::vector<Reading>& readings = outcome.readings;
    if (name == "answer")
        return AnswerText(outcome);
    if (name == "subject")
        return reasons.subject;
    if (name == "need")
        return reasons.need;
    const Reading* reading = nullptr;
    if (name == "key") {
        reading = FirstRegistryReading(readings);
        return reading != nullptr ? reading->root + "\\" + reading->path : "?";
    }
    if (name == "value") {
        reading = FirstValueReading(readings);
        return reading != nullptr ? reading->value : "?";
    }
    if (name == "data") {
        reading = DataReading(readings);
        return reading != nullptr && reading->hasData ? reading->data : "?";
    }
    if (name == "type") {
        reading = FirstValueReading(readings);
        return reading != nullptr && reading->hasType ? RegistryTypeName(reading->type) : "?";
    }
    if (name == "status") {
        reading = FirstFailure(readings);
        return reading != nullptr ? reading->api + " " + StatusName(reading->status) : "?";
    }
    if (name == "version" || name == "kernel") {
        reading = CallReading(readings, name == "version" ? "GetVersionExA" : "RtlGetVersion");
        return reading != nullptr && reading->hasData ? reading->data : "?";
    }
    return "{" + name + "}";
}

std::string Compose(const char* pattern, const CheckOutcome& outcome, const CheckReasons& reasons)
{
    std::string line;
    for (const char* c = pattern; *c != '\0'; ++c) {
        const char* close = *c == '{' ? std::strchr(c, '}') : nullptr;
        if (close == nullptr) {
            line += *c;
            continue;
        }
        line += Fill(std::string(c + 1, close), outcome, reasons);
        c = close;
    }
    // One line: a value's data may hold line breaks.
    for (char& ch : line) {
        if (ch == '\r' || ch == '\n')
            ch = ' ';
    }
    return line;
}

std::string HelpAnchor(const char* name)
{
    std::string anchor = "docs/CHECKS.md#";
    for (const char* c = name; *c != '\0'; ++c)
        anchor += static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
    return anchor;
}

void Explain(CheckOutcome& outcome, const CheckLog& log)
{
    outcome.readings = log.Readings();
    outcome.rule = log.RuleCode();
    outcome.help = HelpAnchor(outcome.entry->name);
    const CheckReasons* reasons = FindReasons(outcome.entry->name);
    const ReasonRow* row = reasons != nullptr ? FindReasonRow(*reasons, outcome.rule.c_str()) : nullptr;
    if (row == nullptr) {
        // Every rule a probe names has a row (a test holds the table to it); this is the safe side.
        outcome.state = CheckState::Undetermined;
        outcome.reasonCode = "rule-unknown";
        outcome.reason = "the check named no rule this version knows (" + outcome.rule + ")";
        return;
    }
    outcome.state = row->state;
    outcome.reasonCode = row->reasonCode;
    outcome.reason = Compose(row->reason, outcome, *reasons);
    if (log.Incomplete())
        outcome.reason += " (some readings could not be kept: out of memory)";
}

}  // namespace

CheckOutcome ExplainCheck(const CheckEntry& entry)
{
    CheckOutcome outcome;
    outcome.entry = &entry;
    outcome.isText = entry.text != nullptr;
    CheckLog log;
    char text[kCheckTextSize] = {};
    if (outcome.isText)
        entry.text(text, &log);
    else
        outcome.flag = entry.flag(&log);
    try {
        if (outcome.isText)
            outcome.text = text;
        Explain(outcome, log);
    } catch (const std::bad_alloc&) {
        // The answer stands; what could not be said is said to be unknown.
        outcome.state = CheckState::Undetermined;
        outcome.reasonCode.clear();
        outcome.reason.clear();
        try {
            outcome.reasonCode = "out-of-memory";
        } catch (const std::bad_alloc&) {
        }
    }
    return outcome;
}

std::vector<CheckOutcome> ExplainAll()
{
    std::vector<CheckOutcome> outcomes;
    try {
        outcomes.reserve(kCheckCount);
        for (const CheckEntry& entry : kCheckCatalog)
            outcomes.push_back(ExplainCheck(entry));
    } catch (const std::bad_alloc&) {
        // Short of memory: the outcomes made so far.
    }
    return outcomes;
}

const char* StateName(CheckState state)
{
    return state == CheckState::Determined ? "determined" : "undetermined";
}

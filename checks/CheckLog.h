#pragma once
#include <windows.h>

#include <string>
#include <vector>

// What a check read, for the report and the custom action. The COM object passes no log, so its
// answers and speed stay as they are; a probe given a null log records nothing.

enum class ReadingView { None, Default, Bits32, Bits64 };

// One platform read, as the check made it: never more than the key path, value name and data
// that the check itself reads.
struct Reading {
    std::string api;         // the call: "RegOpenKeyExA", "RegQueryValueExA", "GetVersionExA", ...
    std::string root;        // "HKLM" for a registry read, empty for another call
    std::string path;        // the key path, or the call's argument (a folder), may be empty
    ReadingView view = ReadingView::None;
    bool hasValue = false;   // a value read: `value` names it
    std::string value;
    long status = 0;         // the Win32 status the call gave
    bool hasType = false;    // the read returned a registry type
    DWORD type = 0;
    bool hasData = false;    // the data as read, as text
    std::string data;
    bool partOfAnswer = true;  // false: shown for the reader, never changes the answer
    std::string note;        // optional, e.g. "differs from GetVersionExA"
};

// Collected by a probe that is given one; the probe also names the rule that turned the readings
// into its answer, one of the check's own rule codes (see the catalog).
class CheckLog {
public:
    void Add(const Reading& reading) { readings_.push_back(reading); }
    void Rule(const char* rule) { rule_ = rule ? rule : ""; }
    const std::vector<Reading>& Readings() const { return readings_; }
    const std::string& RuleCode() const { return rule_; }
    // A reading that could not be kept (out of memory): the answer stands, the evidence is short.
    void MarkIncomplete() { incomplete_ = true; }
    bool Incomplete() const { return incomplete_; }

private:
    std::vector<Reading> readings_;
    std::string rule_;
    bool incomplete_ = false;
};

// "ERROR_FILE_NOT_FOUND" and the system's own words for a Win32 status.
std::string StatusName(long status);
std::string StatusText(long status);
// "REG_DWORD", "REG_SZ", ...; "REG_0x%X" for a type without a name.
std::string RegistryTypeName(DWORD type);
const char* ViewName(ReadingView view);  // "default", "32", "64", or null for None
// One reading as one line of text: "RegQueryValueExA HKLM\path value "Install" (default view):
// ERROR_SUCCESS, REG_DWORD, "1"", ending "(not part of the answer)" for a signal shown beside it.
std::string DescribeReading(const Reading& reading);

// The installer's custom action: publishes the 26 answers as public properties, for launch
// conditions, each with its one-line reason in MORVALETH_<NAME>_WHY, and logs every answer with
// its state, reason and readings. It reads the machine and never writes to it.
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <cwchar>
#include <new>
#include <string>

#include "MsiHandle.h"
#include "PropertyName.h"
#include "checks/CheckCatalog.h"
#include "checks/CheckExplanation.h"
#include "common/Text.h"

extern "C" UINT __stdcall MorvalethChecks(MSIHANDLE session);

namespace {

const wchar_t kLogTemplate[] = L"Morvaleth: [1] = [2]; [3]; [4]";

const std::size_t kShownSize = kCheckTextSize + 2;  // a text and its quotes

struct Answer {
    wchar_t shown[kShownSize];       // a flag as 1 or 0, a text in quotes
    wchar_t value[kCheckTextSize];   // the property's value; empty leaves it unset
};

void Show(const CheckOutcome& outcome, Answer& answer)
{
    if (!outcome.isText) {
        std::wcscpy(answer.shown, outcome.flag ? L"1" : L"0");
        std::wcscpy(answer.value, outcome.flag ? L"1" : L"");
        return;
    }
    // An ANSI character never takes more than one UTF-16 unit, so the text always fits.
    if (MultiByteToWideChar(CP_ACP, 0, outcome.text.c_str(), -1, answer.value, kCheckTextSize) <= 0)
        answer.value[0] = L'\0';
    _snwprintf(answer.shown, kShownSize, L"\"%ls\"", answer.value);
    answer.shown[kShownSize - 1] = L'\0';
}

std::wstring Explanation(const CheckOutcome& outcome)
{
    std::string line = StateName(outcome.state);
    line += ", " + outcome.reasonCode + ": " + outcome.reason + "; readings:";
    const char* separator = " ";
    for (const Reading& reading : outcome.readings) {
        line += separator + DescribeReading(reading);
        separator = "; ";
    }
    return Widen(line);
}

// The installer formats a message's fields too: "[Name]" in an answer would be replaced by a
// property and "{...}" could vanish. Each of the four characters becomes its escape, "[\[]".
std::wstring Escape(const std::wstring& text)
{
    std::wstring escaped;
    escaped.reserve(text.size());
    for (wchar_t c : text) {
        if (c == L'[' || c == L']' || c == L'{' || c == L'}') {
            const wchar_t sequence[] = {L'[', L'\\', c, L']', L'\0'};
            escaped += sequence;
        } else {
            escaped += c;
        }
    }
    return escaped;
}

void Log(MSIHANDLE session, const char* check, const Answer& answer, const wchar_t* property,
         const std::wstring& explanation)
{
    std::wstring outcome = property;
    outcome += answer.value[0] == L'\0' ? std::wstring(L" left unset") : L"=" + std::wstring(answer.value);

    MsiHandle record(MsiCreateRecord(4));
    if (!record)
        return;
    MsiRecordSetStringW(record.Get(), 0, kLogTemplate);
    MsiRecordSetStringW(record.Get(), 1, Widen(check).c_str());
    MsiRecordSetStringW(record.Get(), 2, Escape(answer.shown).c_str());
    MsiRecordSetStringW(record.Get(), 3, Escape(outcome).c_str());
    MsiRecordSetStringW(record.Get(), 4, Escape(explanation).c_str());
    // A log that cannot be written does not change what the installation may do.
    MsiProcessMessage(session, INSTALLMESSAGE_INFO, record.Get());
}

// One check: its answer and reason published, its line logged. Out of memory, the answer is still
// published (from the catalog without a log) and the reason is left empty.
UINT Publish(MSIHANDLE session, const CheckEntry& entry)
{
    wchar_t property[kPropertyNameSize];
    wchar_t why[kPropertyNameSize];
    if (!PropertyName(entry.name, property) || !WhyPropertyName(entry.name, why))
        return ERROR_FUNCTION_FAILED;
    CheckOutcome outcome = ExplainCheck(entry);
    Answer answer;
    Show(outcome, answer);
    UINT status = MsiSetPropertyW(session, property, answer.value);
    if (status != ERROR_SUCCESS)
        return status;
    std::wstring reason, explanation;
    try {
        reason = Widen(outcome.reason);
        explanation = Explanation(outcome);
    } catch (const std::bad_alloc&) {
        reason.clear();
        explanation.clear();
    }
    status = MsiSetPropertyW(session, why, reason.c_str());
    if (status != ERROR_SUCCESS)
        return status;
    try {
        Log(session, entry.name, answer, property, explanation);
    } catch (const std::bad_alloc&) {
        // The log line is lost; the properties stand.
    }
    return ERROR_SUCCESS;
}

}  // namespace

// A flag is published as "1" when true; false, like an empty text, unsets the property, so a
// value given on the command line cannot stand in for the machine's answer. Every check also sets
// MORVALETH_<NAME>_WHY to its reason. The return is ERROR_SUCCESS whatever the checks answer; only
// a handle that is no installer session, or a property the session refuses, is an error.
extern "C" UINT __stdcall MorvalethChecks(MSIHANDLE session)
{
    try {
        MsiHandle database(MsiGetActiveDatabase(session));
        if (!database)
            return ERROR_INVALID_HANDLE;
        for (const CheckEntry& entry : kCheckCatalog) {
            UINT status = Publish(session, entry);
            if (status != ERROR_SUCCESS)
                return status;
        }
        return ERROR_SUCCESS;
    } catch (...) {
        // Nothing may cross into the installer.
        return ERROR_FUNCTION_FAILED;
    }
}

// The installer's custom action: publishes the 26 answers as public properties, for launch
// conditions, and logs every answer. It reads the machine and never writes to it.
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <cwchar>

#include "MsiHandle.h"
#include "PropertyName.h"
#include "checks/CheckCatalog.h"

extern "C" UINT __stdcall MorvalethChecks(MSIHANDLE session);

namespace {

const wchar_t kLogTemplate[] = L"Morvaleth: [1] = [2]; [3]";

const std::size_t kShownSize = kCheckTextSize + 2;  // a text and its quotes

struct Answer {
    wchar_t shown[kShownSize];       // a flag as 1 or 0, a text in quotes
    wchar_t value[kCheckTextSize];   // the property's value; empty leaves it unset
};

void Compute(const CheckEntry& entry, Answer& answer)
{
    if (entry.flag != nullptr) {
        bool value = entry.flag();
        std::wcscpy(answer.shown, value ? L"1" : L"0");
        std::wcscpy(answer.value, value ? L"1" : L"");
        return;
    }
    char text[kCheckTextSize] = {};
    entry.text(text);
    // An ANSI character never takes more than one UTF-16 unit, so the text always fits.
    if (MultiByteToWideChar(CP_ACP, 0, text, -1, answer.value, kCheckTextSize) <= 0)
        answer.value[0] = L'\0';
    _snwprintf(answer.shown, kShownSize, L"\"%ls\"", answer.value);
    answer.shown[kShownSize - 1] = L'\0';
}

// The installer formats a message's fields too: "[Name]" in an answer would be replaced by a
// property and "{...}" could vanish. Each of the four characters becomes its escape, "[\[]".
const std::size_t kEscapedSize = 4 * (kPropertyNameSize + kCheckTextSize + 16);
void Escape(const wchar_t* text, wchar_t (&escaped)[kEscapedSize])
{
    std::size_t length = 0;
    for (const wchar_t* c = text; *c != L'\0' && length + 5 < kEscapedSize; ++c) {
        if (*c == L'[' || *c == L']' || *c == L'{' || *c == L'}') {
            const wchar_t sequence[] = {L'[', L'\\', *c, L']'};
            for (wchar_t part : sequence)
                escaped[length++] = part;
        } else {
            escaped[length++] = *c;
        }
    }
    escaped[length] = L'\0';
}

void Log(MSIHANDLE session, const char* check, const Answer& answer, const wchar_t* property)
{
    wchar_t name[kPropertyNameSize] = {};
    for (std::size_t i = 0; check[i] != '\0' && i + 1 < kPropertyNameSize; ++i)
        name[i] = static_cast<wchar_t>(static_cast<unsigned char>(check[i]));
    wchar_t outcome[kPropertyNameSize + kCheckTextSize + 16];
    if (answer.value[0] == L'\0')
        _snwprintf(outcome, sizeof outcome / sizeof *outcome, L"%ls left unset", property);
    else
        _snwprintf(outcome, sizeof outcome / sizeof *outcome, L"%ls=%ls", property, answer.value);
    outcome[sizeof outcome / sizeof *outcome - 1] = L'\0';

    MsiHandle record(MsiCreateRecord(3));
    if (!record)
        return;
    MsiRecordSetStringW(record.Get(), 0, kLogTemplate);
    MsiRecordSetStringW(record.Get(), 1, name);
    wchar_t escaped[kEscapedSize];
    Escape(answer.shown, escaped);
    MsiRecordSetStringW(record.Get(), 2, escaped);
    Escape(outcome, escaped);
    MsiRecordSetStringW(record.Get(), 3, escaped);
    // A log that cannot be written does not change what the installation may do.
    MsiProcessMessage(session, INSTALLMESSAGE_INFO, record.Get());
}

}  // namespace

// A flag is published as "1" when true; false, like an empty text, unsets the property, so a
// value given on the command line cannot stand in for the machine's answer. The return is
// ERROR_SUCCESS whatever the checks answer; only a handle that is no installer session, or a
// property the session refuses, is an error.
extern "C" UINT __stdcall MorvalethChecks(MSIHANDLE session)
{
    MsiHandle database(MsiGetActiveDatabase(session));
    if (!database)
        return ERROR_INVALID_HANDLE;
    for (const CheckEntry& entry : kCheckCatalog) {
        wchar_t property[kPropertyNameSize];
        if (!PropertyName(entry.name, property))
            return ERROR_FUNCTION_FAILED;
        Answer answer;
        Compute(entry, answer);
        UINT status = MsiSetPropertyW(session, property, answer.value);
        if (status != ERROR_SUCCESS)
            return status;
        Log(session, entry.name, answer, property);
    }
    return ERROR_SUCCESS;
}

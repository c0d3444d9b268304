#include "Checks.h"

#include <cstring>

namespace {

typedef HRESULT (STDMETHODCALLTYPE IValidate::*FlagMethod)(VARIANT_BOOL*);
typedef HRESULT (STDMETHODCALLTYPE IValidate::*TextMethod)(BSTR*);

struct Row {
    const wchar_t* name;
    FlagMethod flag;
    TextMethod text;
};

#define CHECK_FLAG(method) {L## #method, &IValidate::method, nullptr}
#define CHECK_TEXT(method) {L## #method, nullptr, &IValidate::method}

const Row kRows[] = {
    CHECK_TEXT(GetVersion), CHECK_FLAG(HasDotNetFramework2), CHECK_FLAG(HasDotNetFramework3), CHECK_FLAG(HasMDAC28), CHECK_FLAG(HasIIS),
    CHECK_FLAG(HasBITS), CHECK_FLAG(IsValidServer), CHECK_FLAG(IsValidConsole), CHECK_TEXT(GetServicePack), CHECK_FLAG(HasMaxPhyMem),
    CHECK_FLAG(IsWindowsDriveNTFS), CHECK_FLAG(HasDiskSpace), CHECK_FLAG(NoSUS), CHECK_FLAG(HasMinPhyMem), CHECK_FLAG(IsRebootPending),
    CHECK_FLAG(IsAdmin), CHECK_FLAG(HasASPNET20), CHECK_FLAG(IsValidAgent), CHECK_FLAG(ConsoleHasMinPhyMem), CHECK_FLAG(ConsoleHasMaxPhyMem),
    CHECK_TEXT(GetSCEPath), CHECK_TEXT(GetSCEType), CHECK_TEXT(GetSCEVersion), CHECK_TEXT(GetMSMP_x64Version), CHECK_TEXT(GetAgent_x64Version),
    CHECK_TEXT(GetASC_x64Version),
};

std::wstring TakeText(BSTR text)
{
    std::wstring copy = text ? std::wstring(text, SysStringLen(text)) : std::wstring();
    SysFreeString(text);
    return copy;
}

}  // namespace

const std::vector<const wchar_t*>& CheckNames()
{
    static const std::vector<const wchar_t*> names = [] {
        std::vector<const wchar_t*> all;
        for (const Row& row : kRows)
            all.push_back(row.name);
        return all;
    }();
    return names;
}

bool IsTextCheck(const wchar_t* name)
{
    for (const Row& row : kRows)
        if (wcscmp(row.name, name) == 0)
            return row.text != nullptr;
    return false;
}

std::vector<Answer> CallEarlyBound(IValidate* object)
{
    std::vector<Answer> answers;
    for (const Row& row : kRows) {
        Answer answer = {row.name, row.text != nullptr, E_FAIL, false, std::wstring(), 0, false};
        if (row.text) {
            BSTR text = nullptr;
            answer.result = (object->*row.text)(&text);
            answer.textWasNull = text == nullptr;
            answer.text = TakeText(text);
        } else {
            answer.rawFlag = 0x7777;  // shows whether the call wrote anything at all
            answer.result = (object->*row.flag)(&answer.rawFlag);
            answer.flag = answer.rawFlag != 0;
        }
        answers.push_back(answer);
    }
    return answers;
}

std::vector<Answer> CallLateBound(IDispatch* object)
{
    std::vector<Answer> answers;
    for (const Row& row : kRows) {
        Answer answer = {row.name, row.text != nullptr, E_FAIL, false, std::wstring(), 0, false};
        LPOLESTR name = const_cast<LPOLESTR>(row.name);
        DISPID id = DISPID_UNKNOWN;
        answer.result = object->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id);
        if (SUCCEEDED(answer.result)) {
            DISPPARAMS none = {nullptr, nullptr, 0, 0};
            VARIANT result;
            VariantInit(&result);
            answer.result = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, &result,
                                           nullptr, nullptr);
            if (SUCCEEDED(answer.result)) {
                if (row.text && V_VT(&result) == VT_BSTR)
                    answer.text.assign(V_BSTR(&result), SysStringLen(V_BSTR(&result)));
                else if (!row.text && V_VT(&result) == VT_BOOL)
                    answer.flag = (answer.rawFlag = V_BOOL(&result)) != 0;
                else
                    answer.result = DISP_E_TYPEMISMATCH;
            }
            VariantClear(&result);
        }
        answers.push_back(answer);
    }
    return answers;
}

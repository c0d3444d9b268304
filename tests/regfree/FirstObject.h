#pragma once
#include <windows.h>

#include <string>

// What a client sees when it creates Morvaleth's class by ProgID and makes its first late-bound
// call, in whatever activation context is current: each step's result, the answer, the DLL.
struct FirstObject {
    HRESULT progId = E_FAIL;   // CLSIDFromProgID
    HRESULT create = E_FAIL;   // CoCreateInstance, IDispatch
    HRESULT names = E_FAIL;    // GetIDsOfNames("GetVersion")
    HRESULT invoke = E_FAIL;   // Invoke
    std::wstring lateText;     // GetVersion through Invoke
    std::wstring earlyText;    // GetVersion through IValidate
    std::wstring module;       // the file of the module that serves the object
};
FirstObject CreateFirstObject(const wchar_t* progId);

// One line "progid|hr|hr|hr|hr|late|early|module" (ANSI), and back.
std::string Describe(const wchar_t* progId, const FirstObject& first);
bool Parse(const std::string& line, std::string& progId, FirstObject& first);

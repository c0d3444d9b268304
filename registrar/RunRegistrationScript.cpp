#include "registrar/RunRegistrationScript.h"

#include <cwchar>

#include "win/LastError.h"
#include "registrar/ScriptParser.h"
#include "win/TaskMemory.h"

namespace {
const char kScriptType[] = "REGISTRY";

// The wide text in the ANSI code page, only if it comes back unchanged: the script and the
// registry writes are narrow, and a character the code page lacks would become a question mark.
bool ToAnsiExactly(const WCHAR* wide, char (&narrow)[MAX_PATH])
{
    if (WideCharToMultiByte(CP_ACP, 0, wide, -1, narrow, MAX_PATH, nullptr, nullptr) == 0)
        return false;
    WCHAR back[MAX_PATH];
    return MultiByteToWideChar(CP_ACP, 0, narrow, -1, back, MAX_PATH) != 0 && std::wcscmp(back, wide) == 0;
}

// The module's file, wide for loading it, and as the script will name it: its short form when
// there is one. A registration must name the file: when neither form survives the ANSI code page
// (a folder named outside it on a volume without 8.3 names) it fails before anything is written.
// Unregistration writes no value, so the lossy form serves it.
HRESULT GetModulePath(HINSTANCE instance, BOOL doRegister, WCHAR (&file)[MAX_PATH], char (&path)[MAX_PATH])
{
    DWORD length = GetModuleFileNameW(instance, file, MAX_PATH);
    if (length == 0)
        return LastErrorResult();
    if (length >= MAX_PATH)  // cut: registering it would name another file
        return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    WCHAR shortForm[MAX_PATH];
    length = GetShortPathNameW(file, shortForm, MAX_PATH);
    if (length != 0 && length < MAX_PATH && ToAnsiExactly(shortForm, path))
        return S_OK;
    if (ToAnsiExactly(file, path))
        return S_OK;
    if (doRegister)
        return HRESULT_FROM_WIN32(ERROR_NO_UNICODE_TRANSLATION);
    if (WideCharToMultiByte(CP_ACP, 0, file, -1, path, MAX_PATH, nullptr, nullptr) == 0)
        return LastErrorResult();
    return S_OK;
}

// Two single quotes stand for one inside a quoted script string.
HRESULT AddModuleVariable(ScriptVariables& variables, LPCSTR path)
{
    WCHAR wide[MAX_PATH];
    if (MultiByteToWideChar(CP_ACP, 0, path, -1, wide, MAX_PATH) == 0)
        return LastErrorResult();
    WCHAR doubled[2 * MAX_PATH];
    WCHAR* out = doubled;
    for (const WCHAR* c = wide; *c != L'\0'; ++c) {
        *out++ = *c;
        if (*c == L'\'')
            *out++ = L'\'';
    }
    *out = L'\0';
    return variables.Add(L"Module", doubled);
}

// The script resource of the file as NUL-terminated text in the task allocator.
HRESULT LoadScript(LPCWSTR path, UINT resourceId, TaskMemory<char>& text)
{
    HMODULE file = LoadLibraryExW(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (file == nullptr)
        return LastErrorResult();
    HRESULT result = S_OK;
    HRSRC resource = FindResourceA(file, MAKEINTRESOURCEA(LOWORD(resourceId)), kScriptType);
    HGLOBAL loaded = resource != nullptr ? LoadResource(file, resource) : nullptr;
    const char* bytes = loaded != nullptr ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    if (bytes == nullptr) {
        result = LastErrorResult();
    } else {
        DWORD size = SizeofResource(file, resource);
        if (!text.Allocate(static_cast<SIZE_T>(size) + 1)) {
            result = E_OUTOFMEMORY;
        } else {
            CopyMemory(text.Get(), bytes, size);
            text.Get()[size] = '\0';
        }
    }
    FreeLibrary(file);
    return result;
}
}

HRESULT RunRegistrationScript(HINSTANCE module, UINT resourceId, BOOL doRegister,
                              const ScriptVariablePair* extraVariables)
{
    // A null handle would name the process's program instead.
    if (module == nullptr)
        return E_UNEXPECTED;
    WCHAR file[MAX_PATH];
    char path[MAX_PATH];
    HRESULT result = GetModulePath(module, doRegister, file, path);
    if (FAILED(result))
        return result;

    ScriptVariables variables;
    if (FAILED(result = AddModuleVariable(variables, path)))
        return result;
    // A pair that fails to go in makes the expansion fail where the script names it.
    for (const ScriptVariablePair* pair = extraVariables; pair != nullptr && pair->name != nullptr;
         ++pair)
        variables.Add(pair->name, pair->value);

    TaskMemory<char> text;
    if (FAILED(result = LoadScript(file, resourceId, text)))
        return result;
    ScriptParser parser;
    return parser.Apply(text.Get(), variables, doRegister);
}

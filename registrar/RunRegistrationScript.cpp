#include "registrar/RunRegistrationScript.h"

#include "win/LastError.h"
#include "registrar/ScriptParser.h"
#include "win/TaskMemory.h"

namespace {
const char kScriptType[] = "REGISTRY";

// The module's file as the script will name it: its short form when there is one.
HRESULT GetModulePath(HINSTANCE instance, char (&path)[MAX_PATH])
{
    char full[MAX_PATH];
    DWORD length = GetModuleFileNameA(instance, full, MAX_PATH);
    if (length == 0)
        return LastErrorResult();
    if (length >= MAX_PATH)  // cut: registering it would name another file
        return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    length = GetShortPathNameA(full, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        lstrcpyA(path, full);
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
HRESULT LoadScript(LPCSTR path, UINT resourceId, TaskMemory<char>& text)
{
    HMODULE file = LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
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
    char path[MAX_PATH];
    HRESULT result = GetModulePath(module, path);
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
    if (FAILED(result = LoadScript(path, resourceId, text)))
        return result;
    ScriptParser parser;
    return parser.Apply(text.Get(), variables, doRegister);
}

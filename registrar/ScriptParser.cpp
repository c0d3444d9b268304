#include "registrar/ScriptParser.h"

#include <oleauto.h>

#include "registrar/ExpandScript.h"
#include "registrar/ScriptTables.h"
#include "registrar/TaskMemory.h"
#include "registry/RegistryKey.h"

namespace {
// Ends an undo walk at the token where the register pass failed; never leaves Apply.
const HRESULT kUndoLimitReached = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0x201);

bool IsBlank(char c) { return c == '\t' || c == '\n' || c == '\r' || c == ' '; }

bool IsOpeningBrace(LPCSTR token) { return token[0] == '{' && token[1] == '\0'; }

HRESULT CheckKeyName(LPCSTR name)
{
    // An empty name would stand for the parent itself, and a cut one for another key.
    if (name[0] == '\0' || lstrlenA(name) >= ScriptParser::kNameSize)
        return DISP_E_EXCEPTION;
    for (LPCSTR c = name; *c != '\0'; c = CharNextA(c))
        if (*c == '\\')
            return DISP_E_EXCEPTION;
    return S_OK;
}

HRESULT CheckValueName(LPCSTR name)
{
    return lstrlenA(name) >= ScriptParser::kNameSize ? DISP_E_EXCEPTION : S_OK;
}

BYTE HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return static_cast<BYTE>(c - '0');
    if (c >= 'A' && c <= 'F')
        return static_cast<BYTE>(c - 'A' + 10);
    if (c >= 'a' && c <= 'f')
        return static_cast<BYTE>(c - 'a' + 10);
    return 0;
}
}

// One brace level being walked.
struct ScriptParser::Block {
    Block(HKEY parentKey, BOOL walkOnlyAtStart)
        : parent(parentKey), startingWalkOnly(walkOnlyAtStart), walkOnly(walkOnlyAtStart)
    {
    }

    HKEY parent;
    BOOL startingWalkOnly;
    BOOL walkOnly;
    bool deleteKeys = true;  // cleared by "NoRemove" for the rest of the block
    RegistryKey current;     // the key most recently opened in this block
    char valueName[kNameSize] = {};
    char keyName[kNameSize] = {};
};

HRESULT ScriptParser::Apply(LPCSTR text, const ScriptVariables& variables, BOOL doRegister)
{
    LPSTR expanded = nullptr;
    HRESULT result = ExpandScript(text, variables, &expanded);
    if (FAILED(result))
        return result;
    TaskMemory<char> owner(expanded);

    cursor_ = expanded;
    depth_ = 0;
    undoLimit_ = nullptr;
    while (*cursor_ != '\0') {
        result = ReadToken(token_);
        if (FAILED(result))
            break;
        HKEY root = FindRootKey(token_);
        if (root == nullptr) {
            result = DISP_E_EXCEPTION;
            break;
        }
        result = ReadToken(token_);
        if (SUCCEEDED(result) && token_[0] != '{')
            result = DISP_E_EXCEPTION;
        if (FAILED(result))
            break;
        LPCSTR blockStart = cursor_;
        pathLength_ = 0;
        path_[0] = '\0';
        created_.Clear();  // earlier root blocks stay applied
        result = ApplyBlock(root, doRegister, FALSE);
        if (FAILED(result)) {
            if (doRegister) {
                // Undo the block up to where it failed; the text after that was never understood.
                undoLimit_ = tokenStart_;
                cursor_ = blockStart;
                ApplyBlock(root, FALSE, FALSE);
                undoLimit_ = nullptr;
                // What the unregister pass spares (marks, a walk out of step with the registry)
                // the block still made: it goes too.
                created_.RemoveAll(root);
            }
            break;
        }
        SkipBlanks();
    }
    cursor_ = nullptr;
    return result;
}

HRESULT ScriptParser::ApplyBlock(HKEY parent, BOOL doRegister, BOOL walkOnly)
{
    HRESULT result = DISP_E_EXCEPTION;
    if (++depth_ <= kMaxDepth) {
        Block block(parent, walkOnly);
        result = ReadToken(token_);
        while (SUCCEEDED(result) && token_[0] != '}')
            result = doRegister ? RegisterEntry(block) : UnregisterEntry(block);
    }
    --depth_;
    return result;
}

HRESULT ScriptParser::RegisterEntry(Block& block)
{
    HRESULT result = S_OK;
    bool deleteOnly = IsKeyword(token_, ScriptKeyword::Delete);
    if (deleteOnly || IsKeyword(token_, ScriptKeyword::ForceRemove)) {
        if (FAILED(result = ReadToken(token_)) || FAILED(result = CheckKeyName(token_)))
            return result;
        if (!IsProtectedKeyName(token_)) {
            RegistryKey lent;
            lent.Attach(block.parent);
            lent.DeleteTree(token_);
            lent.Detach();
        }
        if (deleteOnly) {
            if (FAILED(result = ReadToken(token_)) || FAILED(result = SkipValue(token_)))
                return result;
            return ApplySubBlock(block);
        }
    }
    if (IsKeyword(token_, ScriptKeyword::NoRemove)) {
        block.deleteKeys = false;
        if (FAILED(result = ReadToken(token_)))
            return result;
    }
    if (IsKeyword(token_, ScriptKeyword::Val)) {
        if (FAILED(result = ReadValueEntry(block)))
            return result;
        if (FAILED(result = WriteRecordedValue(block.parent, nullptr, block.valueName, token_)))
            return result;
        return ApplySubBlock(block);
    }

    if (FAILED(result = CheckKeyName(token_)))
        return result;
    if (block.current.Open(block.parent, token_, KEY_ALL_ACCESS) != ERROR_SUCCESS &&
        block.current.Open(block.parent, token_, KEY_READ) != ERROR_SUCCESS) {
        if (block.current.Create(block.parent, token_) != ERROR_SUCCESS)
            return DISP_E_EXCEPTION;
        if (FAILED(result = RecordCreated(token_))) {
            // Unrecorded, the key could outlive the undo: it goes now.
            block.current.Close();
            RegDeleteKeyA(block.parent, token_);
            return result;
        }
    }
    lstrcpyA(block.keyName, token_);
    if (FAILED(result = ReadToken(token_)))
        return result;
    if (token_[0] == '=' &&
        FAILED(result = WriteRecordedValue(block.current.Handle(), block.keyName, nullptr, token_)))
        return result;
    return ApplySubBlock(block);
}

HRESULT ScriptParser::ApplySubBlock(Block& block)
{
    if (!IsOpeningBrace(token_))
        return S_OK;
    // After "Delete" or "Val" with no key of this block open there is no key to go beneath.
    if (block.current.Handle() == nullptr)
        return DISP_E_EXCEPTION;
    int outer = pathLength_;
    pathLength_ = AppendName(outer, block.keyName);
    HRESULT result = ApplyBlock(block.current.Handle(), TRUE, FALSE);
    pathLength_ = outer;
    path_[outer] = '\0';
    if (FAILED(result))
        return result;
    return ReadToken(token_);
}

int ScriptParser::AppendName(int length, LPCSTR name)
{
    // Depth and name length are bounded, so the path always fits.
    if (length > 0)
        path_[length++] = '\\';
    lstrcpyA(path_ + length, name);
    return length + lstrlenA(name);
}

// After "Val": the value name into the block, then the token that must begin with "=".
HRESULT ScriptParser::ReadValueEntry(Block& block)
{
    HRESULT result = ReadToken(token_);
    if (FAILED(result) || FAILED(result = CheckValueName(token_)))
        return result;
    lstrcpyA(block.valueName, token_);
    if (FAILED(result = ReadToken(token_)))
        return result;
    return token_[0] == '=' ? S_OK : DISP_E_EXCEPTION;
}

// Writes a value and, when it is new, records it so that a failed block can take it back.
HRESULT ScriptParser::WriteRecordedValue(HKEY key, LPCSTR keyName, LPCSTR valueName, LPSTR token)
{
    bool existed = RegQueryValueExA(key, valueName, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    HRESULT result = WriteValue(key, valueName, token);
    if (FAILED(result) || existed)
        return result;
    int outer = pathLength_;
    if (keyName != nullptr)
        AppendName(outer, keyName);
    result = created_.AddValue(path_, valueName);
    path_[outer] = '\0';
    if (FAILED(result))
        RegDeleteValueA(key, valueName);  // unrecorded, it could outlive the undo
    return result;
}

HRESULT ScriptParser::RecordCreated(LPCSTR name)
{
    int outer = pathLength_;
    AppendName(outer, name);
    HRESULT result = created_.Add(path_);
    path_[outer] = '\0';
    return result;
}

HRESULT ScriptParser::UnregisterEntry(Block& block)
{
    HRESULT result = S_OK;
    // A key marked for forced removal or deletion is removed like an unmarked one.
    if (IsKeyword(token_, ScriptKeyword::Delete) || IsKeyword(token_, ScriptKeyword::ForceRemove)) {
        if (FAILED(result = ReadToken(token_)))
            return result;
    }
    if (IsKeyword(token_, ScriptKeyword::NoRemove)) {
        block.deleteKeys = false;
        if (FAILED(result = ReadToken(token_)))
            return result;
    }
    if (IsKeyword(token_, ScriptKeyword::Val)) {
        if (FAILED(result = ReadValueEntry(block)))
            return result;
        if (!block.walkOnly)
            RegDeleteValueA(block.parent, block.valueName);
        if (FAILED(result = SkipValue(token_)))
            return result;
        // A block that the register pass applied after the value is stepped over, so the
        // walk stays in step with the text.
        if (!IsOpeningBrace(token_))
            return S_OK;
        if (FAILED(result = ApplyBlock(block.parent, FALSE, TRUE)))
            return result;
        return ReadToken(token_);
    }
    return UnregisterKey(block);
}

HRESULT ScriptParser::UnregisterKey(Block& block)
{
    HRESULT result = CheckKeyName(token_);
    if (FAILED(result))
        return result;
    // Values of the sub-block can be removed only through a handle that may set them.
    if (!block.walkOnly &&
        block.current.Open(block.parent, token_, KEY_READ | KEY_SET_VALUE) != ERROR_SUCCESS &&
        block.current.Open(block.parent, token_, KEY_READ) != ERROR_SUCCESS)
        block.walkOnly = TRUE;  // a missing key: its sub-block is only stepped over
    lstrcpyA(block.keyName, token_);

    // The text, not the registry, tells whether a sub-block follows.
    if (SUCCEEDED(result = ReadToken(token_)))
        result = SkipValue(token_);
    if (SUCCEEDED(result) && token_[0] == '{') {
        HKEY key = block.current.Handle();
        // Beneath a key with neither subkeys nor named values there is nothing to remove.
        BOOL stepOver = block.walkOnly || !(KeyHasSubkeys(key) || KeyHasNamedValues(key));
        result = ApplyBlock(key, FALSE, stepOver);
        if (SUCCEEDED(result) && SUCCEEDED(result = ReadToken(token_)))
            result = SkipValue(token_);
        if (SUCCEEDED(result) && block.walkOnly) {
            block.walkOnly = block.startingWalkOnly;
            return S_OK;
        }
    }
    if (block.walkOnly || (FAILED(result) && result != kUndoLimitReached))
        return result;
    // An undo that ends inside the key still decides whether the key goes.
    HRESULT removed = RemoveUnusedKey(block);
    return FAILED(result) ? result : removed;
}

HRESULT ScriptParser::RemoveUnusedKey(Block& block)
{
    // Decided from the registry after the sub-block: a key still in use stays, whole.
    if (KeyHasSubkeys(block.current.Handle()))
        return S_OK;
    if (block.current.Close() != ERROR_SUCCESS)
        return DISP_E_EXCEPTION;
    if (block.deleteKeys)
        RegDeleteKeyA(block.parent, block.keyName);
    return S_OK;
}

HRESULT ScriptParser::ReadToken(LPSTR buffer)
{
    SkipBlanks();
    tokenStart_ = cursor_;
    buffer[0] = '\0';
    if (undoLimit_ != nullptr && cursor_ >= undoLimit_)
        return kUndoLimitReached;
    if (*cursor_ == '\0')
        return DISP_E_EXCEPTION;

    bool quoted = *cursor_ == '\'';
    if (quoted)
        ++cursor_;
    int used = 0;
    for (;;) {
        if (*cursor_ == '\0') {
            if (quoted)
                return DISP_E_EXCEPTION;  // no closing quote
            break;
        }
        if (quoted && *cursor_ == '\'') {
            ++cursor_;
            if (*cursor_ != '\'')
                break;  // the closing quote; two in a row stand for one
        } else if (!quoted && IsBlank(*cursor_)) {
            break;
        }
        LPCSTR next = CharNextA(cursor_);
        if (used >= kTokenSize - 2) {
            buffer[used] = '\0';
            return DISP_E_EXCEPTION;
        }
        while (cursor_ < next)
            buffer[used++] = *cursor_++;
    }
    buffer[used] = '\0';
    return S_OK;
}

void ScriptParser::SkipBlanks()
{
    while (IsBlank(*cursor_))
        cursor_ = CharNextA(cursor_);
}

HRESULT ScriptParser::WriteValue(HKEY key, LPCSTR valueName, LPSTR token)
{
    char type[kTokenSize];
    char value[kTokenSize];
    HRESULT result = ReadToken(type);
    if (FAILED(result))
        return result;
    VARTYPE valueType = FindValueType(type);
    if (valueType == VT_EMPTY)
        return DISP_E_EXCEPTION;
    SkipBlanks();
    if (FAILED(result = ReadToken(value)))
        return result;

    if (valueType == VT_BSTR) {
        RegSetValueExA(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                       lstrlenA(value) + 1);
    } else if (valueType == VT_UI4) {
        WCHAR wide[kTokenSize];
        ULONG number = 0;
        if (MultiByteToWideChar(CP_ACP, 0, value, -1, wide, kTokenSize) == 0 ||
            FAILED(VarUI4FromStr(wide, 0, 0, &number)))
            return DISP_E_EXCEPTION;  // a number that is not one is never written
        RegSetValueExA(key, valueName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                       sizeof number);
    } else {
        int length = lstrlenA(value);
        if (length % 2 != 0)
            return E_FAIL;
        BYTE bytes[kTokenSize / 2];
        for (int i = 0; i < length / 2; ++i)
            bytes[i] = static_cast<BYTE>(HexDigit(value[2 * i]) << 4 | HexDigit(value[2 * i + 1]));
        RegSetValueExA(key, valueName, 0, REG_BINARY, bytes, length / 2);
    }
    return ReadToken(token);
}

HRESULT ScriptParser::SkipValue(LPSTR token)
{
    if (token[0] != '=')
        return S_OK;
    char value[kTokenSize];
    HRESULT result = ReadToken(token);  // the type, whatever it is
    if (FAILED(result))
        return result;
    SkipBlanks();
    if (FAILED(result = ReadToken(value)))
        return result;
    return ReadToken(token);
}

bool ScriptParser::KeyHasSubkeys(HKEY key)
{
    DWORD subkeys = 0;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr,
                     nullptr, nullptr, nullptr, nullptr);
    return subkeys != 0;
}

bool ScriptParser::KeyHasNamedValues(HKEY key)
{
    DWORD values = 0;
    if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                         nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS ||
        values == 0)
        return false;
    if (values > 1)
        return true;
    // A single value may be the key's default one, which has no name.
    char name[kTokenSize];
    DWORD length = kTokenSize;
    return RegEnumValueA(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr) ==
               ERROR_SUCCESS &&
           name[0] != '\0';
}

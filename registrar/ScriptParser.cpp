#include "registrar/ScriptParser.h"

#include <oleauto.h>

#include "registrar/ExpandScript.h"
#include "registrar/OtherView.h"
#include "registrar/ScriptTables.h"
#include "win/TaskMemory.h"
#include "registry/RegistryKey.h"

namespace {
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
    Block(HKEY parentKey, BOOL walkOnlyFlag, Block* outerBlock)
        : parent(parentKey), walkOnly(walkOnlyFlag), outer(outerBlock)
    {
    }

    HKEY parent;
    BOOL walkOnly;           // nothing beneath is opened, written or removed
    Block* outer;            // the block whose current key is `parent`; null for a root block
    bool deleteKeys = true;  // cleared by "NoRemove" for the rest of the block
    RegistryKey current;     // the key most recently opened in this block
    Node node = RegistrationJournal::kNoNode;  // the current key in the journal, once needed
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
    refused_ = S_OK;
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
        journal_.Clear();  // earlier root blocks stay applied
        result = ApplyBlock(root, doRegister ? Pass::kRegister : Pass::kUnregister, Walk::kApply, nullptr);
        if (FAILED(result)) {
            if (doRegister)
                journal_.Undo(root);
            break;
        }
        SkipBlanks();
    }
    journal_.Clear();
    cursor_ = nullptr;
    return SUCCEEDED(result) && FAILED(refused_) ? refused_ : result;
}

HRESULT ScriptParser::ApplyBlock(HKEY parent, Pass pass, Walk walk, Block* outer)
{
    HRESULT result = DISP_E_EXCEPTION;
    if (++depth_ <= kMaxDepth) {
        Block block(parent, walk == Walk::kStepOver, outer);
        result = ReadToken(token_);
        while (SUCCEEDED(result) && token_[0] != '}')
            result = pass == Pass::kRegister ? RegisterEntry(block) : UnregisterEntry(block);
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
        if (!IsProtectedKeyName(token_) && FAILED(result = RemoveTree(block, token_)))
            return result;
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
        if (FAILED(result = ReadValueEntry(block)) || FAILED(result = WriteValue(block, false, token_)))
            return result;
        return ApplySubBlock(block);
    }

    if (FAILED(result = CheckKeyName(token_)) || FAILED(result = OpenOrCreateKey(block)) ||
        FAILED(result = ReadToken(token_)))
        return result;
    if (token_[0] == '=' && FAILED(result = WriteValue(block, true, token_)))
        return result;
    return ApplySubBlock(block);
}

// Removes `name` beneath the block's parent with its tree, having kept what the tree held.
HRESULT ScriptParser::RemoveTree(Block& block, LPCSTR name)
{
    Node parentNode = RegistrationJournal::kRoot;
    UINT record = RegistrationJournal::kNoRecord;
    HRESULT result = ParentNode(block, &parentNode);
    if (FAILED(result) || FAILED(result = journal_.BeginTreeRemoval(block.parent, parentNode, name, &record)))
        return result;
    RegistryKey lent;
    lent.Attach(block.parent);
    lent.DeleteTree(name);
    lent.Detach();
    // Also after a partial removal: what outlived it is left as it is by the undo.
    journal_.Commit(record);
    return S_OK;
}

HRESULT ScriptParser::OpenOrCreateKey(Block& block)
{
    if (block.current.Open(block.parent, token_, KEY_ALL_ACCESS) == ERROR_SUCCESS ||
        block.current.Open(block.parent, token_, KEY_READ) == ERROR_SUCCESS) {
        block.node = RegistrationJournal::kNoNode;
        lstrcpyA(block.keyName, token_);
        return S_OK;
    }
    Node parentNode = RegistrationJournal::kRoot, node = RegistrationJournal::kNoNode;
    UINT record = RegistrationJournal::kNoRecord;
    HRESULT result = ParentNode(block, &parentNode);
    if (FAILED(result) || FAILED(result = journal_.AddNode(parentNode, token_, &node)) ||
        FAILED(result = journal_.BeginKeyCreated(node, &record)))
        return result;
    if (block.current.Create(block.parent, token_) != ERROR_SUCCESS) {
        journal_.Discard(record);
        return DISP_E_EXCEPTION;
    }
    journal_.Commit(record);
    block.node = node;
    lstrcpyA(block.keyName, token_);
    return S_OK;
}

HRESULT ScriptParser::ApplySubBlock(Block& block)
{
    if (!IsOpeningBrace(token_))
        return S_OK;
    // After "Delete" or "Val" with no key of this block open there is no key to go beneath.
    if (block.current.Handle() == nullptr)
        return DISP_E_EXCEPTION;
    HRESULT result = ApplyBlock(block.current.Handle(), Pass::kRegister, Walk::kApply, &block);
    if (FAILED(result))
        return result;
    return ReadToken(token_);
}

// The journal's node of the block's current key, recorded on first need with those above it.
HRESULT ScriptParser::CurrentNode(Block& block, Node* node)
{
    if (block.node == RegistrationJournal::kNoNode) {
        Node parentNode = RegistrationJournal::kRoot;
        HRESULT result = ParentNode(block, &parentNode);
        if (FAILED(result) || FAILED(result = journal_.AddNode(parentNode, block.keyName, &block.node)))
            return result;
    }
    *node = block.node;
    return S_OK;
}

HRESULT ScriptParser::ParentNode(Block& block, Node* node)
{
    if (block.outer == nullptr) {
        *node = RegistrationJournal::kRoot;
        return S_OK;
    }
    return CurrentNode(*block.outer, node);
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
            Refused(RegDeleteValueA(block.parent, block.valueName));
        if (FAILED(result = SkipValue(token_)) || !IsOpeningBrace(token_))
            return result;
        // The register pass applied this block beneath the block's current key.
        HKEY key = block.current.Handle();
        Walk walk = block.walkOnly || key == nullptr ? Walk::kStepOver : Walk::kApply;
        if (FAILED(result = ApplyBlock(key, Pass::kUnregister, walk, &block)))
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
    bool missing = block.walkOnly != FALSE;
    // A key that both registry views share stays, whole, while the other view's build uses it.
    if (!missing && block.outer == nullptr && OtherViewStillUses(block.parent, token_)) {
        missing = true;
        block.current.Close();
    }
    if (!missing) {
        // Values of the sub-block can be removed only through a handle that may set them.
        LONG error = block.current.Open(block.parent, token_, KEY_READ | KEY_SET_VALUE);
        if (error != ERROR_SUCCESS)
            error = block.current.Open(block.parent, token_, KEY_READ);
        if (error != ERROR_SUCCESS) {
            // Only its own sub-block is stepped over; the keys after it are handled as usual.
            missing = true;
            block.current.Close();
            Refused(error);  // a key that is there but may not be opened stays, with what is beneath
        }
    }
    lstrcpyA(block.keyName, token_);

    // The text, not the registry, tells whether a sub-block follows.
    HRESULT refusedBefore = refused_;
    if (SUCCEEDED(result = ReadToken(token_)))
        result = SkipValue(token_);
    if (SUCCEEDED(result) && IsOpeningBrace(token_)) {
        HKEY key = block.current.Handle();
        // Beneath a key with neither subkeys nor named values there is nothing to remove.
        Walk walk = missing || !(KeyHasSubkeys(key) || KeyHasNamedValues(key)) ? Walk::kStepOver : Walk::kApply;
        if (SUCCEEDED(result = ApplyBlock(key, Pass::kUnregister, walk, &block)) && SUCCEEDED(result = ReadToken(token_)))
            result = SkipValue(token_);
    }
    if (FAILED(result) || missing)
        return result;
    return RemoveUnusedKey(block, refusedBefore);
}

HRESULT ScriptParser::RemoveUnusedKey(Block& block, HRESULT refusedBefore)
{
    // Decided from the registry after the sub-block: a key still in use stays, whole.
    if (KeyHasSubkeys(block.current.Handle()))
        return S_OK;
    if (block.current.Close() != ERROR_SUCCESS)
        return DISP_E_EXCEPTION;
    if (!block.deleteKeys)
        return S_OK;
    LONG error = RegDeleteKeyA(block.parent, block.keyName);
    if (error == ERROR_SUCCESS)
        refused_ = refusedBefore;  // what was refused inside the key went with it
    else
        Refused(error);
    return S_OK;
}

void ScriptParser::Refused(LONG error)
{
    // A missing key or value is already as unregistration wants it.
    if (error == ERROR_ACCESS_DENIED && SUCCEEDED(refused_))
        refused_ = HRESULT_FROM_WIN32(error);
}

HRESULT ScriptParser::ReadToken(LPSTR buffer)
{
    SkipBlanks();
    buffer[0] = '\0';
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

// Writes the value of a "Val" entry into the block's parent, or the default value of the block's
// current key, having kept in the journal what it replaces.
HRESULT ScriptParser::WriteValue(Block& block, bool defaultValue, LPSTR token)
{
    BYTE data[kTokenSize];
    DWORD type = REG_NONE, size = 0;
    HRESULT result = ReadValue(&type, data, &size);
    if (FAILED(result))
        return result;
    HKEY key = defaultValue ? block.current.Handle() : block.parent;
    LPCSTR name = defaultValue ? nullptr : block.valueName;
    Node node = RegistrationJournal::kRoot;
    UINT record = RegistrationJournal::kNoRecord;
    result = defaultValue ? CurrentNode(block, &node) : ParentNode(block, &node);
    if (FAILED(result) || FAILED(result = journal_.BeginValueWrite(key, node, name, &record)))
        return result;
    // A value that the platform refuses does not fail the walk; nothing changed to take back.
    if (RegSetValueExA(key, name, 0, type, data, size) == ERROR_SUCCESS)
        journal_.Commit(record);
    else
        journal_.Discard(record);
    return ReadToken(token);
}

// Reads a type letter and a value, and gives the registry's type and bytes for them.
HRESULT ScriptParser::ReadValue(DWORD* type, BYTE* data, DWORD* size)
{
    char letter[kTokenSize];
    char value[kTokenSize];
    HRESULT result = ReadToken(letter);
    if (FAILED(result))
        return result;
    VARTYPE valueType = FindValueType(letter);
    if (valueType == VT_EMPTY)
        return DISP_E_EXCEPTION;
    SkipBlanks();
    if (FAILED(result = ReadToken(value)))
        return result;

    if (valueType == VT_BSTR) {
        *type = REG_SZ;
        *size = lstrlenA(value) + 1;
        CopyMemory(data, value, *size);
    } else if (valueType == VT_UI4) {
        WCHAR wide[kTokenSize];
        ULONG number = 0;
        if (MultiByteToWideChar(CP_ACP, 0, value, -1, wide, kTokenSize) == 0 ||
            FAILED(VarUI4FromStr(wide, 0, 0, &number)))
            return DISP_E_EXCEPTION;  // a number that is not one is never written
        *type = REG_DWORD;
        *size = sizeof number;
        CopyMemory(data, &number, sizeof number);
    } else {
        int length = lstrlenA(value);
        if (length % 2 != 0)
            return E_FAIL;
        for (int i = 0; i < length / 2; ++i)
            data[i] = static_cast<BYTE>(HexDigit(value[2 * i]) << 4 | HexDigit(value[2 * i + 1]));
        *type = REG_BINARY;
        *size = length / 2;
    }
    return S_OK;
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

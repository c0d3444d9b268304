#pragma once
#include <windows.h>

#include "registrar/RegistrationJournal.h"
#include "registrar/ScriptVariables.h"

// Applies a registration script to the registry. The register pass creates the keys and
// writes the values that the script names; the unregister pass removes them again, sparing
// what the script marks "NoRemove" and what still has subkeys.
class ScriptParser {
public:
    static const int kTokenSize = 4096;  // a token holds at most 4094 bytes and its NUL
    static const int kNameSize = 260;    // key and value names hold at most 259 bytes
    static const int kMaxDepth = 64;     // brace levels, root blocks counted

    ScriptParser() = default;
    ScriptParser(const ScriptParser&) = delete;
    ScriptParser& operator=(const ScriptParser&) = delete;

    // Expands `text` with `variables`, then walks it in the register pass (doRegister
    // non-zero) or the unregister pass. A root block that fails to register is taken back from
    // the journal of what it changed, so the registry is as it was before that block. The
    // unregister pass spares a top-level key of HKEY_CLASSES_ROOT that names a class the other
    // registry view still serves (the views share it), removes all else it may and answers the first refusal of the platform
    // (HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED)) when something that it names stays because of it.
    HRESULT Apply(LPCSTR text, const ScriptVariables& variables, BOOL doRegister);

private:
    struct Block;
    enum class Pass { kUnregister, kRegister };
    // kStepOver: the block is read, and nothing beneath it is opened, written or removed.
    enum class Walk { kApply, kStepOver };
    typedef RegistrationJournal::Node Node;

    HRESULT ApplyBlock(HKEY parent, Pass pass, Walk walk, Block* outer);
    HRESULT RegisterEntry(Block& block);
    HRESULT RemoveTree(Block& block, LPCSTR name);
    HRESULT OpenOrCreateKey(Block& block);
    HRESULT ApplySubBlock(Block& block);
    HRESULT CurrentNode(Block& block, Node* node);
    HRESULT ParentNode(Block& block, Node* node);
    HRESULT UnregisterEntry(Block& block);
    HRESULT ReadValueEntry(Block& block);
    HRESULT UnregisterKey(Block& block);
    HRESULT RemoveUnusedKey(Block& block, HRESULT refusedBefore);
    void Refused(LONG error);
    HRESULT ReadToken(LPSTR buffer);
    void SkipBlanks();
    HRESULT WriteValue(Block& block, bool defaultValue, LPSTR token);
    HRESULT ReadValue(DWORD* type, BYTE* data, DWORD* size);
    HRESULT SkipValue(LPSTR token);
    static bool KeyHasSubkeys(HKEY key);
    static bool KeyHasNamedValues(HKEY key);

    LPCSTR cursor_ = nullptr;
    int depth_ = 0;
    HRESULT refused_ = S_OK;  // the unregister pass's first refused removal
    char token_[kTokenSize] = {};
    RegistrationJournal journal_;
};

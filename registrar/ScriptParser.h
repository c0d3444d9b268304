#pragma once
#include <windows.h>

#include "registrar/CreatedKeys.h"
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
    // non-zero) or the unregister pass. A root block that fails to register is undone: walked
    // in the unregister pass, then every key that it created and that is still there removed.
    HRESULT Apply(LPCSTR text, const ScriptVariables& variables, BOOL doRegister);

private:
    struct Block;

    HRESULT ApplyBlock(HKEY parent, BOOL doRegister, BOOL walkOnly);
    HRESULT RegisterEntry(Block& block);
    HRESULT ApplySubBlock(Block& block);
    int AppendName(int length, LPCSTR name);
    HRESULT RecordCreated(LPCSTR name);
    HRESULT WriteRecordedValue(HKEY key, LPCSTR keyName, LPCSTR valueName, LPSTR token);
    HRESULT UnregisterEntry(Block& block);
    HRESULT ReadValueEntry(Block& block);
    HRESULT UnregisterKey(Block& block);
    HRESULT RemoveUnusedKey(Block& block);
    HRESULT ReadToken(LPSTR buffer);
    void SkipBlanks();
    HRESULT WriteValue(HKEY key, LPCSTR valueName, LPSTR token);
    HRESULT SkipValue(LPSTR token);
    static bool KeyHasSubkeys(HKEY key);
    static bool KeyHasNamedValues(HKEY key);

    LPCSTR cursor_ = nullptr;
    LPCSTR tokenStart_ = nullptr;  // where the token read last began
    LPCSTR undoLimit_ = nullptr;   // an undo walk ends where the register pass failed
    int depth_ = 0;
    char token_[kTokenSize] = {};
    // Where the register pass is, beneath the root of its block: "A\\B" in the block of B.
    char path_[kMaxDepth * kNameSize] = {};
    int pathLength_ = 0;
    CreatedKeys created_;
};

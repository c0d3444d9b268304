#pragma once
#include <windows.h>

#include "registrar/JournalRecords.h"

class RegistryKey;

// What a register pass changed in one root block, so that a failed block can be taken back
// exactly: keys it created, values it wrote (with the type and data they had, or that they were
// absent) and trees it removed (with every subkey, value name, type and data).
//
// Keys are addressed as nodes: a name beneath a parent node, so a key is reached one level at a
// time, at any depth. Every change is recorded in two steps: Begin* takes the memory before the
// registry is touched, and Commit makes the record part of the undo once the change is made (or
// Discard drops it when the platform refused the change).
class RegistrationJournal {
public:
    typedef UINT Node;
    static const Node kRoot = 0xFFFFFFFFu;  // the root key of the block
    static const Node kNoNode = 0xFFFFFFFEu;  // not yet recorded
    static const UINT kNoRecord = 0xFFFFFFFFu;
    static const int kNameBuffer = 260;  // a name of the script holds at most 259 bytes

    RegistrationJournal() = default;
    RegistrationJournal(const RegistrationJournal&) = delete;
    RegistrationJournal& operator=(const RegistrationJournal&) = delete;

    // The key `name` (one level) beneath `parent`.
    HRESULT AddNode(Node parent, LPCSTR name, Node* node);

    // `node` is about to be created.
    HRESULT BeginKeyCreated(Node node, UINT* record);
    // The value `valueName` of `key` (the key of `node`) is about to be written; its present type
    // and data, or its absence, are kept.
    HRESULT BeginValueWrite(HKEY key, Node node, LPCSTR valueName, UINT* record);
    // The key `name` beneath `parent` (the key of `parentNode`) is about to be removed with its
    // tree; what can be read of it is kept. A missing key gives no record (kNoRecord).
    HRESULT BeginTreeRemoval(HKEY parent, Node parentNode, LPCSTR name, UINT* record);

    void Commit(UINT record);
    void Discard(UINT record);

    // Takes back every committed change beneath `root`, newest first, then forgets them. A step
    // that the platform refuses is passed over and the rest still run.
    void Undo(HKEY root);
    void Clear();

private:
    void KeepStoredSpelling(HKEY parent, WCHAR (&name)[kNameBuffer]);
    HRESULT CaptureKey(HKEY key, LPCWSTR name);
    HRESULT CaptureValues(HKEY key, DWORD count, DWORD longestName, DWORD longestData);
    // Opens the key of `node` into `key`; the root itself leaves `key` empty.
    LONG OpenNode(HKEY root, Node node, REGSAM access, RegistryKey& key) const;
    void UndoRecord(HKEY root, UINT record);
    UINT RestoreKey(HKEY parent, UINT at) const;
    RecordHeader HeaderAt(UINT record) const { return buffer_.Get<RecordHeader>(record); }

    JournalBuffer buffer_;
    UINT last_ = kNoRecord;  // the newest committed change
    WCHAR subkeyName_[256] = {};  // registry key names hold at most 255 characters
};

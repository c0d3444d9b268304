#include "registrar/RegistrationJournal.h"

#include "registry/KeyName.h"
#include "registry/RegistryKey.h"

namespace {

const int kNameChars = RegistrationJournal::kNameBuffer;
const int kMaxNodeDepth = 128;

UINT WideBytes(LPCWSTR text) { return (lstrlenW(text) + 1) * sizeof(WCHAR); }

// Wide, so that a key or value name that the ANSI code page cannot spell is kept as it is.
HRESULT ToWide(LPCSTR name, WCHAR (&wide)[kNameChars])
{
    if (MultiByteToWideChar(CP_ACP, 0, name != nullptr ? name : "", -1, wide, kNameChars) == 0)
        return HRESULT_FROM_WIN32(GetLastError());
    return S_OK;
}

RecordHeader NewHeader(RecordKind kind, UINT size, RegistrationJournal::Node node, bool existed = false)
{
    return RecordHeader{kind, static_cast<BYTE>(existed), 0, size, node, RegistrationJournal::kNoRecord};
}

HKEY HandleOr(const RegistryKey& key, HKEY root) { return key.Handle() != nullptr ? key.Handle() : root; }

}  // namespace

HRESULT RegistrationJournal::AddNode(Node parent, LPCSTR name, Node* node)
{
    UINT nameSize = lstrlenA(name) + 1;
    UINT size = sizeof(RecordHeader) + Aligned(nameSize);
    // One reservation for the whole record: the two appends cannot fail.
    HRESULT result = buffer_.Reserve(size);
    if (FAILED(result))
        return result;
    UINT record = 0, at = 0;
    buffer_.Put(NewHeader(RecordKind::kNode, size, parent), &record);
    buffer_.Append(name, nameSize, &at);
    *node = record;
    return S_OK;
}

HRESULT RegistrationJournal::BeginKeyCreated(Node node, UINT* record)
{
    return buffer_.Put(NewHeader(RecordKind::kKeyCreated, sizeof(RecordHeader), node), record);
}

HRESULT RegistrationJournal::BeginValueWrite(HKEY key, Node node, LPCSTR valueName, UINT* record)
{
    *record = kNoRecord;
    WCHAR name[kNameChars];
    HRESULT result = ToWide(valueName, name);
    if (FAILED(result))
        return result;
    UINT nameSize = WideBytes(name);
    UINT fixed = sizeof(RecordHeader) + sizeof(ValueFields) + Aligned(nameSize);
    DWORD room = 256;
    for (int attempt = 0; attempt < 4; ++attempt) {
        if (FAILED(result = buffer_.Reserve(fixed + Aligned(room))))
            return result;
        // Read in place, where the record's data will lie.
        UINT start = buffer_.Used();
        DWORD type = 0, size = room;
        LONG error = RegQueryValueExW(key, name, nullptr, &type, buffer_.Address(start + fixed), &size);
        if (error == ERROR_MORE_DATA) {
            room = size > room ? size : room * 2;
            continue;
        }
        // A value that exists but cannot be read cannot be given back: the undo leaves it.
        if (error != ERROR_SUCCESS && error != ERROR_FILE_NOT_FOUND)
            return S_OK;
        if (error != ERROR_SUCCESS)
            size = 0;
        UINT at = 0;
        buffer_.Put(NewHeader(RecordKind::kValue, fixed + Aligned(size), node, error == ERROR_SUCCESS), &at);
        buffer_.Put(ValueFields{type, size, nameSize}, &at);
        buffer_.Append(name, nameSize, &at);
        buffer_.Keep(size);
        *record = start;
        return S_OK;
    }
    return S_OK;  // a value that keeps growing: left as it is by the undo
}

HRESULT RegistrationJournal::BeginTreeRemoval(HKEY parent, Node parentNode, LPCSTR name, UINT* record)
{
    *record = kNoRecord;
    RegistryKey key;
    // What cannot be opened for reading cannot be removed either.
    if (key.Open(parent, name, KEY_READ) != ERROR_SUCCESS)
        return S_OK;
    WCHAR wide[kNameChars];
    UINT start = buffer_.Used();
    RecordHeader header = NewHeader(RecordKind::kTreeRemoved, 0, parentNode);
    HRESULT result = ToWide(name, wide);
    if (SUCCEEDED(result))
        KeepStoredSpelling(parent, wide);
    if (SUCCEEDED(result))
        result = buffer_.Put(header, record);
    if (SUCCEEDED(result))
        result = CaptureKey(key.Handle(), wide);
    key.Close();
    if (FAILED(result)) {
        buffer_.Truncate(start);
        *record = kNoRecord;
        return result;
    }
    header.size = buffer_.Used() - start;
    buffer_.PutAt(start, header);
    return S_OK;
}

// The script may name the key in another case than the one it was made with; the restored key
// must come back as it was spelt.
void RegistrationJournal::KeepStoredSpelling(HKEY parent, WCHAR (&name)[kNameBuffer])
{
    for (DWORD index = 0;; ++index) {
        DWORD length = sizeof subkeyName_ / sizeof subkeyName_[0];
        LONG status = RegEnumKeyExW(parent, index, subkeyName_, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS || (status != ERROR_SUCCESS && status != ERROR_MORE_DATA))
            return;
        if (status == ERROR_SUCCESS && SameKeyName(subkeyName_, name)) {
            lstrcpynW(name, subkeyName_, kNameBuffer);
            return;
        }
    }
}

HRESULT RegistrationJournal::CaptureKey(HKEY key, LPCWSTR name)
{
    UINT nameSize = WideBytes(name);
    UINT at = 0;
    HRESULT result = buffer_.Put(SavedKeyFields{nameSize}, &at);
    if (SUCCEEDED(result))
        result = buffer_.Append(name, nameSize, &at);
    if (FAILED(result))
        return result;

    DWORD subkeys = 0, values = 0, longestName = 0, longestData = 0;
    if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, &longestName,
                         &longestData, nullptr, nullptr) != ERROR_SUCCESS)
        subkeys = values = 0;
    if (FAILED(result = CaptureValues(key, values, longestName, longestData)))
        return result;

    UINT countAt = 0, count = 0;
    if (FAILED(result = buffer_.Put(EntryCount{0}, &countAt)))
        return result;
    for (DWORD index = 0; index < subkeys; ++index) {
        DWORD length = sizeof subkeyName_ / sizeof subkeyName_[0];
        if (RegEnumKeyExW(key, index, subkeyName_, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            continue;
        RegistryKey subkey;
        // A subkey that cannot be read stays where it is: the removal cannot open it either.
        if (subkey.Open(key, subkeyName_, KEY_READ) != ERROR_SUCCESS)
            continue;
        result = CaptureKey(subkey.Handle(), subkeyName_);  // takes the name before it enumerates
        subkey.Close();
        if (FAILED(result))
            return result;
        ++count;
    }
    buffer_.PutAt(countAt, EntryCount{count});
    return S_OK;
}

HRESULT RegistrationJournal::CaptureValues(HKEY key, DWORD count, DWORD longestName, DWORD longestData)
{
    UINT countAt = 0, kept = 0;
    HRESULT result = buffer_.Put(EntryCount{0}, &countAt);
    for (DWORD index = 0; SUCCEEDED(result) && index < count; ++index) {
        for (int attempt = 0; attempt < 4; ++attempt) {
            UINT nameRoom = Aligned((longestName + 1) * sizeof(WCHAR));
            if (FAILED(result = buffer_.Reserve(sizeof(ValueFields) + nameRoom + Aligned(longestData))))
                break;
            // Enumerated in place: the name where it will stay, the data after the longest name.
            UINT start = buffer_.Used();
            BYTE* name = buffer_.Address(start + sizeof(ValueFields));
            DWORD nameLength = longestName + 1, type = 0, size = longestData;
            LONG error = RegEnumValueW(key, index, reinterpret_cast<LPWSTR>(name), &nameLength, nullptr, &type,
                                       name + nameRoom, &size);
            if (error == ERROR_MORE_DATA) {  // grew since it was measured
                longestName = longestName * 2 + 16;
                longestData = longestData * 2 + 16;
                continue;
            }
            if (error != ERROR_SUCCESS)
                break;
            UINT nameSize = (nameLength + 1) * sizeof(WCHAR);
            buffer_.PutAt(start, ValueFields{type, size, nameSize});
            MoveMemory(name + Aligned(nameSize), name + nameRoom, size);
            buffer_.Keep(sizeof(ValueFields));
            buffer_.Keep(nameSize);
            buffer_.Keep(size);
            ++kept;
            break;
        }
    }
    if (SUCCEEDED(result))
        buffer_.PutAt(countAt, EntryCount{kept});
    return result;
}

void RegistrationJournal::Commit(UINT record)
{
    if (record == kNoRecord)
        return;
    RecordHeader header = HeaderAt(record);
    header.previous = last_;
    buffer_.PutAt(record, header);
    last_ = record;
}

void RegistrationJournal::Discard(UINT record)
{
    // Only the newest record is ever discarded.
    if (record != kNoRecord)
        buffer_.Truncate(record);
}

void RegistrationJournal::Clear()
{
    buffer_.Truncate(0);
    last_ = kNoRecord;
}

void RegistrationJournal::Undo(HKEY root)
{
    for (UINT record = last_; record != kNoRecord;) {
        UINT previous = HeaderAt(record).previous;
        UndoRecord(root, record);
        record = previous;
    }
    Clear();
}

LONG RegistrationJournal::OpenNode(HKEY root, Node node, REGSAM access, RegistryKey& key) const
{
    Node chain[kMaxNodeDepth];
    int depth = 0;
    for (Node at = node; at != kRoot; at = HeaderAt(at).node) {
        if (depth == kMaxNodeDepth)
            return ERROR_INVALID_PARAMETER;
        chain[depth++] = at;
    }
    // One level at a time: no path grows past what the platform takes in one call.
    while (depth-- > 0) {
        LPCSTR name = RecordReader(buffer_, chain[depth] + sizeof(RecordHeader)).Text();
        LONG error = key.Open(HandleOr(key, root), name, depth == 0 ? access : KEY_READ);
        if (error != ERROR_SUCCESS)
            return error;
    }
    return ERROR_SUCCESS;
}

void RegistrationJournal::UndoRecord(HKEY root, UINT record)
{
    RecordReader reader(buffer_, record);
    RecordHeader header = reader.Next<RecordHeader>();
    RegistryKey key;
    switch (header.kind) {
    case RecordKind::kKeyCreated: {
        RecordReader created(buffer_, header.node);
        RecordHeader node = created.Next<RecordHeader>();
        if (OpenNode(root, node.node, KEY_READ, key) == ERROR_SUCCESS)
            RegDeleteKeyA(HandleOr(key, root), created.Text());
        break;
    }
    case RecordKind::kValue:
        if (OpenNode(root, header.node, KEY_SET_VALUE, key) == ERROR_SUCCESS) {
            ValueFields fields = reader.Next<ValueFields>();
            LPCWSTR name = reader.WideText(fields.nameSize);
            if (header.existed)
                RegSetValueExW(HandleOr(key, root), name, 0, fields.type, reader.Bytes(fields.dataSize),
                               fields.dataSize);
            else
                RegDeleteValueW(HandleOr(key, root), name);
        }
        break;
    case RecordKind::kTreeRemoved:
        if (OpenNode(root, header.node, KEY_READ | KEY_CREATE_SUB_KEY, key) == ERROR_SUCCESS)
            RestoreKey(HandleOr(key, root), reader.At());
        break;
    case RecordKind::kNode:
        break;
    }
}

UINT RegistrationJournal::RestoreKey(HKEY parent, UINT at) const
{
    RecordReader reader(buffer_, at);
    LPCWSTR name = reader.WideText(reader.Next<SavedKeyFields>().nameSize);
    RegistryKey key;
    DWORD disposition = 0;
    // The access that the removal used: a key that outlived it is reached the same way.
    if (parent != nullptr)
        key.Create(parent, name, KEY_READ | KEY_WRITE, &disposition);
    // A key that outlived the removal still has its values.
    bool recreated = key.Handle() != nullptr && disposition == REG_CREATED_NEW_KEY;
    UINT values = reader.Next<EntryCount>().count;
    for (UINT i = 0; i < values; ++i) {
        ValueFields fields = reader.Next<ValueFields>();
        LPCWSTR valueName = reader.WideText(fields.nameSize);
        const BYTE* data = reader.Bytes(fields.dataSize);
        if (recreated)
            RegSetValueExW(key.Handle(), valueName, 0, fields.type, data, fields.dataSize);
    }
    UINT subkeys = reader.Next<EntryCount>().count;
    at = reader.At();
    for (UINT i = 0; i < subkeys; ++i)
        at = RestoreKey(key.Handle(), at);
    return at;
}

#include "registrar/RegistrationJournal.h"

#include <objbase.h>

// Records lie one after another in one block, each starting on a 4-byte boundary:
//   node:         header ('N', node = parent), the key's name (ANSI, NUL)
//   key created:  header ('K', node = the key)
//   value:        header ('V', node = the key), then type, data size, name size (bytes), the wide
//                 name with its NUL, the data; `existed` tells whether there was one before
//   tree removed: header ('T', node = the parent), then one saved key:
//                 name size, wide name, value count, values (type, data size, name size, name,
//                 data), subkey count, subkeys (saved keys)
// Committed changes are chained newest first through `previous`.
struct RegistrationJournal::Header {
    BYTE kind;
    BYTE existed;
    WORD unused;
    UINT size;  // of the whole record
    Node node;
    UINT previous;
};

namespace {

const int kNameChars = RegistrationJournal::kNameBuffer;
const int kMaxNodeDepth = 128;

UINT Aligned(UINT size) { return (size + 3) & ~3u; }

UINT WideBytes(LPCWSTR text) { return (lstrlenW(text) + 1) * sizeof(WCHAR); }

// Wide, so that a key or value name that the ANSI code page cannot spell is kept as it is.
HRESULT ToWide(LPCSTR name, WCHAR (&wide)[kNameChars])
{
    if (MultiByteToWideChar(CP_ACP, 0, name != nullptr ? name : "", -1, wide, kNameChars) == 0)
        return HRESULT_FROM_WIN32(GetLastError());
    return S_OK;
}

UINT ReadUint(const BYTE* at)
{
    UINT value;
    CopyMemory(&value, at, sizeof value);
    return value;
}

void WriteUint(BYTE* at, UINT value) { CopyMemory(at, &value, sizeof value); }

}  // namespace

RegistrationJournal::~RegistrationJournal() { CoTaskMemFree(bytes_); }

HRESULT RegistrationJournal::Reserve(UINT size)
{
    if (size <= room_ - used_)
        return S_OK;
    if (size > 0x7FFFFFFFu - used_)
        return E_OUTOFMEMORY;
    UINT room = room_ < 256 ? 256 : room_;
    while (room - used_ < size)
        room = room > 0x3FFFFFFFu ? 0x7FFFFFFFu : room * 2;
    // A new block and a copy: the platform's realloc is miscounted by Wine's malloc spy.
    BYTE* grown = static_cast<BYTE*>(CoTaskMemAlloc(room));
    if (grown == nullptr)
        return E_OUTOFMEMORY;
    if (used_ > 0)
        CopyMemory(grown, bytes_, used_);
    CoTaskMemFree(bytes_);
    bytes_ = grown;
    room_ = room;
    return S_OK;
}

HRESULT RegistrationJournal::Append(const void* bytes, UINT size, UINT* offset)
{
    HRESULT result = Reserve(Aligned(size));
    if (FAILED(result))
        return result;
    *offset = used_;
    if (bytes != nullptr)
        CopyMemory(At(used_), bytes, size);
    else
        ZeroMemory(At(used_), size);
    used_ += Aligned(size);
    return S_OK;
}

HRESULT RegistrationJournal::AddNode(Node parent, LPCSTR name, Node* node)
{
    UINT nameSize = lstrlenA(name) + 1;
    UINT record = 0;
    HRESULT result = Reserve(sizeof(Header) + Aligned(nameSize));
    if (FAILED(result))
        return result;
    Header header = {'N', 0, 0, static_cast<UINT>(sizeof(Header) + Aligned(nameSize)), parent, kNoRecord};
    Append(&header, sizeof header, &record);
    UINT at = 0;
    Append(name, nameSize, &at);
    *node = record;
    return S_OK;
}

HRESULT RegistrationJournal::BeginKeyCreated(Node node, UINT* record)
{
    Header header = {'K', 0, 0, sizeof(Header), node, kNoRecord};
    return Append(&header, sizeof header, record);
}

HRESULT RegistrationJournal::BeginValueWrite(HKEY key, Node node, LPCSTR valueName, UINT* record)
{
    *record = kNoRecord;
    WCHAR name[kNameChars];
    HRESULT result = ToWide(valueName, name);
    if (FAILED(result))
        return result;
    UINT nameSize = WideBytes(name);
    UINT fixed = sizeof(Header) + 3 * sizeof(UINT) + Aligned(nameSize);
    DWORD room = 256;
    for (int attempt = 0; attempt < 4; ++attempt) {
        if (FAILED(result = Reserve(fixed + Aligned(room))))
            return result;
        DWORD type = 0, size = room;
        LONG error = RegQueryValueExW(key, name, nullptr, &type, At(used_ + fixed), &size);
        if (error == ERROR_MORE_DATA) {
            room = size > room ? size : room * 2;
            continue;
        }
        // A value that exists but cannot be read cannot be given back: the undo leaves it.
        if (error != ERROR_SUCCESS && error != ERROR_FILE_NOT_FOUND)
            return S_OK;
        if (error != ERROR_SUCCESS)
            size = 0;
        BYTE* at = At(used_);
        Header header = {'V', static_cast<BYTE>(error == ERROR_SUCCESS), 0, fixed + Aligned(size), node, kNoRecord};
        CopyMemory(at, &header, sizeof header);
        WriteUint(at + sizeof header, type);
        WriteUint(at + sizeof header + 4, size);
        WriteUint(at + sizeof header + 8, nameSize);
        CopyMemory(at + sizeof header + 12, name, nameSize);
        *record = used_;
        used_ += header.size;
        return S_OK;
    }
    return S_OK;  // a value that keeps growing: left as it is by the undo
}

HRESULT RegistrationJournal::BeginTreeRemoval(HKEY parent, Node parentNode, LPCSTR name, UINT* record)
{
    *record = kNoRecord;
    HKEY key = nullptr;
    // What cannot be opened for reading cannot be removed either.
    if (RegOpenKeyExA(parent, name, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return S_OK;
    WCHAR wide[kNameChars];
    UINT start = used_;
    Header header = {'T', 0, 0, 0, parentNode, kNoRecord};
    HRESULT result = ToWide(name, wide);
    if (SUCCEEDED(result))
        KeepStoredSpelling(parent, wide);
    if (SUCCEEDED(result))
        result = Append(&header, sizeof header, record);
    if (SUCCEEDED(result))
        result = CaptureKey(key, wide);
    RegCloseKey(key);
    if (FAILED(result)) {
        used_ = start;
        *record = kNoRecord;
        return result;
    }
    reinterpret_cast<Header*>(At(start))->size = used_ - start;
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
        if (status == ERROR_SUCCESS && CompareStringOrdinal(subkeyName_, -1, name, -1, TRUE) == CSTR_EQUAL) {
            lstrcpynW(name, subkeyName_, kNameBuffer);
            return;
        }
    }
}

HRESULT RegistrationJournal::CaptureKey(HKEY key, LPCWSTR name)
{
    UINT nameSize = WideBytes(name);
    UINT at = 0;
    HRESULT result = Append(&nameSize, sizeof nameSize, &at);
    if (SUCCEEDED(result))
        result = Append(name, nameSize, &at);
    if (FAILED(result))
        return result;

    DWORD subkeys = 0, values = 0, longestName = 0, longestData = 0;
    if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, &longestName,
                         &longestData, nullptr, nullptr) != ERROR_SUCCESS)
        subkeys = values = 0;
    if (FAILED(result = CaptureValues(key, values, longestName, longestData)))
        return result;

    UINT countAt = 0, count = 0;
    if (FAILED(result = Append(nullptr, sizeof(UINT), &countAt)))
        return result;
    for (DWORD index = 0; index < subkeys; ++index) {
        DWORD length = sizeof subkeyName_ / sizeof subkeyName_[0];
        if (RegEnumKeyExW(key, index, subkeyName_, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            continue;
        HKEY subkey = nullptr;
        // A subkey that cannot be read stays where it is: the removal cannot open it either.
        if (RegOpenKeyExW(key, subkeyName_, 0, KEY_READ, &subkey) != ERROR_SUCCESS)
            continue;
        result = CaptureKey(subkey, subkeyName_);  // takes the name before it enumerates
        RegCloseKey(subkey);
        if (FAILED(result))
            return result;
        ++count;
    }
    WriteUint(At(countAt), count);
    return S_OK;
}

HRESULT RegistrationJournal::CaptureValues(HKEY key, DWORD count, DWORD longestName, DWORD longestData)
{
    UINT countAt = 0, kept = 0;
    HRESULT result = Append(nullptr, sizeof(UINT), &countAt);
    for (DWORD index = 0; SUCCEEDED(result) && index < count; ++index) {
        for (int attempt = 0; attempt < 4; ++attempt) {
            UINT nameRoom = Aligned((longestName + 1) * sizeof(WCHAR));
            if (FAILED(result = Reserve(3 * sizeof(UINT) + nameRoom + Aligned(longestData))))
                break;
            BYTE* at = At(used_);
            DWORD nameLength = longestName + 1, type = 0, size = longestData;
            LONG error = RegEnumValueW(key, index, reinterpret_cast<LPWSTR>(at + 12), &nameLength, nullptr, &type,
                                       at + 12 + nameRoom, &size);
            if (error == ERROR_MORE_DATA) {  // grew since it was measured
                longestName = longestName * 2 + 16;
                longestData = longestData * 2 + 16;
                continue;
            }
            if (error != ERROR_SUCCESS)
                break;
            UINT nameSize = (nameLength + 1) * sizeof(WCHAR);
            WriteUint(at, type);
            WriteUint(at + 4, size);
            WriteUint(at + 8, nameSize);
            MoveMemory(at + 12 + Aligned(nameSize), at + 12 + nameRoom, size);
            used_ += 3 * sizeof(UINT) + Aligned(nameSize) + Aligned(size);
            ++kept;
            break;
        }
    }
    if (SUCCEEDED(result))
        WriteUint(At(countAt), kept);
    return result;
}

void RegistrationJournal::Commit(UINT record)
{
    if (record == kNoRecord)
        return;
    reinterpret_cast<Header*>(At(record))->previous = last_;
    last_ = record;
}

void RegistrationJournal::Discard(UINT record)
{
    // Only the newest record is ever discarded.
    if (record != kNoRecord)
        used_ = record;
}

void RegistrationJournal::Clear()
{
    used_ = 0;
    last_ = kNoRecord;
}

void RegistrationJournal::Undo(HKEY root)
{
    for (UINT record = last_; record != kNoRecord;) {
        UINT previous = reinterpret_cast<const Header*>(At(record))->previous;
        UndoRecord(root, record);
        record = previous;
    }
    Clear();
}

LONG RegistrationJournal::OpenNode(HKEY root, Node node, REGSAM access, HKEY* key) const
{
    *key = root;
    Node chain[kMaxNodeDepth];
    int depth = 0;
    for (Node at = node; at != kRoot; at = reinterpret_cast<const Header*>(At(at))->node) {
        if (depth == kMaxNodeDepth)
            return ERROR_INVALID_PARAMETER;
        chain[depth++] = at;
    }
    // One level at a time: no path grows past what the platform takes in one call.
    HKEY current = root;
    while (depth-- > 0) {
        HKEY next = nullptr;
        LPCSTR name = reinterpret_cast<LPCSTR>(At(chain[depth] + sizeof(Header)));
        LONG error = RegOpenKeyExA(current, name, 0, depth == 0 ? access : KEY_READ, &next);
        if (current != root)
            RegCloseKey(current);
        if (error != ERROR_SUCCESS)
            return error;
        current = next;
    }
    *key = current;
    return ERROR_SUCCESS;
}

void RegistrationJournal::UndoRecord(HKEY root, UINT record)
{
    const Header& header = *reinterpret_cast<const Header*>(At(record));
    const BYTE* body = At(record + sizeof(Header));
    HKEY key = nullptr;
    if (header.kind == 'K') {
        const Header& node = *reinterpret_cast<const Header*>(At(header.node));
        if (OpenNode(root, node.node, KEY_READ, &key) == ERROR_SUCCESS)
            RegDeleteKeyA(key, reinterpret_cast<LPCSTR>(At(header.node + sizeof(Header))));
    } else if (header.kind == 'V') {
        if (OpenNode(root, header.node, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
            LPCWSTR name = reinterpret_cast<LPCWSTR>(body + 12);
            if (header.existed)
                RegSetValueExW(key, name, 0, ReadUint(body), body + 12 + Aligned(ReadUint(body + 8)), ReadUint(body + 4));
            else
                RegDeleteValueW(key, name);
        }
    } else if (header.kind == 'T') {
        if (OpenNode(root, header.node, KEY_READ | KEY_CREATE_SUB_KEY, &key) == ERROR_SUCCESS)
            RestoreKey(key, record + sizeof(Header));
    }
    if (key != nullptr && key != root)
        RegCloseKey(key);
}

UINT RegistrationJournal::RestoreKey(HKEY parent, UINT at) const
{
    LPCWSTR name = reinterpret_cast<LPCWSTR>(At(at + 4));
    at += 4 + Aligned(ReadUint(At(at)));
    HKEY key = nullptr;
    DWORD disposition = 0;
    // The access that the removal used: a key that outlived it is reached the same way.
    if (parent != nullptr && RegCreateKeyExW(parent, name, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE,
                                             nullptr, &key, &disposition) != ERROR_SUCCESS)
        key = nullptr;
    // A key that outlived the removal still has its values.
    bool recreated = key != nullptr && disposition == REG_CREATED_NEW_KEY;
    UINT values = ReadUint(At(at));
    at += 4;
    for (UINT i = 0; i < values; ++i) {
        const BYTE* value = At(at);
        UINT size = ReadUint(value + 4), nameSize = ReadUint(value + 8);
        if (recreated)
            RegSetValueExW(key, reinterpret_cast<LPCWSTR>(value + 12), 0, ReadUint(value), value + 12 + Aligned(nameSize),
                           size);
        at += 12 + Aligned(nameSize) + Aligned(size);
    }
    UINT subkeys = ReadUint(At(at));
    at += 4;
    for (UINT i = 0; i < subkeys; ++i)
        at = RestoreKey(key, at);
    if (key != nullptr)
        RegCloseKey(key);
    return at;
}

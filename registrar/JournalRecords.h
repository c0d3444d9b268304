#pragma once
#include <windows.h>

// The journal's record layout. Records lie one after another in one task-allocator block, each
// field group starting on a 4-byte boundary:
//   node:         header (kNode, node = parent), the key's name (ANSI, NUL)
//   key created:  header (kKeyCreated, node = the key)
//   value:        header (kValue, node = the key), ValueFields, the wide name with its NUL, the
//                 data; `existed` tells whether there was a value before
//   tree removed: header (kTreeRemoved, node = the parent), then one saved key:
//                 SavedKeyFields, wide name, EntryCount of values, values (ValueFields, name, data),
//                 EntryCount of subkeys, subkeys (saved keys)
// Committed changes are chained newest first through `previous`.
enum class RecordKind : BYTE {
    kNode = 'N',
    kKeyCreated = 'K',
    kValue = 'V',
    kTreeRemoved = 'T',
};

struct RecordHeader {
    RecordKind kind;
    BYTE existed;
    WORD unused;
    UINT size;  // of the whole record
    UINT node;
    UINT previous;
};

struct ValueFields {
    UINT type;
    UINT dataSize;
    UINT nameSize;  // bytes, with the NUL
};

struct SavedKeyFields {
    UINT nameSize;  // bytes, with the NUL
};

struct EntryCount {
    UINT count;
};

inline UINT Aligned(UINT size) { return (size + 3) & ~3u; }

// The growing block and the writer that every encode goes through. Offsets, not pointers, name
// places in it: a growth moves the block.
class JournalBuffer {
public:
    JournalBuffer() = default;
    ~JournalBuffer();
    JournalBuffer(const JournalBuffer&) = delete;
    JournalBuffer& operator=(const JournalBuffer&) = delete;

    // Room for `size` more bytes; one allocation at most.
    HRESULT Reserve(UINT size);
    // Copies `size` bytes (zeros for null) to the end; the end moves on to the next boundary.
    HRESULT Append(const void* bytes, UINT size, UINT* offset);
    template <typename Fields>
    HRESULT Put(const Fields& fields, UINT* offset)
    {
        return Append(&fields, sizeof fields, offset);
    }
    template <typename Fields>
    void PutAt(UINT offset, const Fields& fields)
    {
        CopyMemory(bytes_ + offset, &fields, sizeof fields);
    }
    template <typename Fields>
    Fields Get(UINT offset) const
    {
        Fields fields;
        CopyMemory(&fields, bytes_ + offset, sizeof fields);
        return fields;
    }

    // Reserved room beyond the end, for the platform to fill in place before it is kept.
    BYTE* Address(UINT offset) const { return bytes_ + offset; }
    UINT Used() const { return used_; }
    void Keep(UINT size) { used_ += Aligned(size); }
    void Truncate(UINT offset) { used_ = offset; }

private:
    BYTE* bytes_ = nullptr;
    UINT used_ = 0;
    UINT room_ = 0;
};

// The reader that every decode goes through: a cursor over one record's fields.
class RecordReader {
public:
    RecordReader(const JournalBuffer& buffer, UINT at) : buffer_(buffer), at_(at) {}

    template <typename Fields>
    Fields Next()
    {
        Fields fields = buffer_.Get<Fields>(at_);
        at_ += Aligned(sizeof fields);
        return fields;
    }
    const BYTE* Bytes(UINT size)
    {
        const BYTE* bytes = buffer_.Address(at_);
        at_ += Aligned(size);
        return bytes;
    }
    LPCWSTR WideText(UINT size) { return reinterpret_cast<LPCWSTR>(Bytes(size)); }
    LPCSTR Text() const { return reinterpret_cast<LPCSTR>(buffer_.Address(at_)); }
    UINT At() const { return at_; }

private:
    const JournalBuffer& buffer_;
    UINT at_;
};

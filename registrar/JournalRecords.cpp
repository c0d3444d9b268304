#include "registrar/JournalRecords.h"

#include <objbase.h>

JournalBuffer::~JournalBuffer() { CoTaskMemFree(bytes_); }

HRESULT JournalBuffer::Reserve(UINT size)
{
    if (size <= room_ - used_)
        return S_OK;
    if (size > 0x7FFFFFFFu - used_)
        return E_OUTOFMEMORY;
    UINT room = room_ < 256 ? 256 : room_;
    while (room - used_ < size)
        room = room > 0x3FFFFFFFu ? 0x7FFFFFFFu : room * 2;
    // The first block must be allocated, not reallocated from null (Wine's malloc spy miscounts
    // that, docs/PLATFORM.md); later growths take the same path: one allocation and a copy.
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

HRESULT JournalBuffer::Append(const void* bytes, UINT size, UINT* offset)
{
    HRESULT result = Reserve(Aligned(size));
    if (FAILED(result))
        return result;
    *offset = used_;
    if (bytes != nullptr)
        CopyMemory(bytes_ + used_, bytes, size);
    else
        ZeroMemory(bytes_ + used_, size);
    used_ += Aligned(size);
    return S_OK;
}

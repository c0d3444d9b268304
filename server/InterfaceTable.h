#pragma once
#include <windows.h>
#include <unknwn.h>

#include <cstddef>

// One interface an object answers for, at `offset` bytes from the object's address.
// The first row answers for IUnknown; a row with a null identifier ends the table.
struct InterfaceTable {
    const IID* iid;
    std::size_t offset;
};

HRESULT FindInterface(void* object, const InterfaceTable* table, REFIID iid, void** out);

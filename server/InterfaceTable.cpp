#include "server/InterfaceTable.h"

HRESULT FindInterface(void* object, const InterfaceTable* table, REFIID iid, void** out)
{
    if (out == nullptr)
        return E_POINTER;
    *out = nullptr;
    const InterfaceTable* row = table;
    if (!IsEqualGUID(iid, IID_IUnknown)) {
        while (row->iid != nullptr && !IsEqualGUID(iid, *row->iid))
            ++row;
        if (row->iid == nullptr)
            return E_NOINTERFACE;
    }
    IUnknown* found = reinterpret_cast<IUnknown*>(static_cast<char*>(object) + row->offset);
    found->AddRef();
    *out = found;
    return S_OK;
}

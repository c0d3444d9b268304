#pragma once
#include <windows.h>
#include <oaidl.h>

// The page host's scripting context, declared from its identifier and slot order: five property
// getters after the seven IUnknown and IDispatch slots. Each getter hands out a new reference.
// {D97A6DA0-A868-11CF-83AE-00B0C90C2BD8}
constexpr IID IID_IScriptingContext = {0xD97A6DA0, 0xA868, 0x11CF, {0x83, 0xAE, 0x00, 0xB0, 0xC9, 0x0C, 0x2B, 0xD8}};

struct IScriptingContext : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_Request(IUnknown** request) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Response(IUnknown** response) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Server(IUnknown** server) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Session(IUnknown** session) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Application(IUnknown** application) = 0;
};

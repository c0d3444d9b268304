#include "FirstObject.h"

#include <Morvaleth.h>

#include <cstdio>
#include <sstream>
#include <vector>

#include "common/Activation.h"
#include "common/Text.h"

FirstObject CreateFirstObject(const wchar_t* progId)
{
    FirstObject first;
    CLSID clsid = {};
    first.progId = CLSIDFromProgID(progId, &clsid);
    IDispatch* object = nullptr;
    if (SUCCEEDED(first.progId))
        first.create = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                        reinterpret_cast<void**>(&object));
    if (!object)
        return first;
    first.module = ServingModule(object);
    LPOLESTR name = const_cast<LPOLESTR>(L"GetVersion");
    DISPID id = DISPID_UNKNOWN;
    first.names = object->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id);
    if (SUCCEEDED(first.names)) {
        DISPPARAMS none = {nullptr, nullptr, 0, 0};
        VARIANT result;
        VariantInit(&result);
        first.invoke = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, &result, nullptr, nullptr);
        if (SUCCEEDED(first.invoke) && V_VT(&result) == VT_BSTR)
            first.lateText.assign(V_BSTR(&result), SysStringLen(V_BSTR(&result)));
        VariantClear(&result);
    }
    IValidate* early = nullptr;
    if (SUCCEEDED(object->QueryInterface(IID_IValidate, reinterpret_cast<void**>(&early)))) {
        BSTR text = nullptr;
        if (SUCCEEDED(early->GetVersion(&text)) && text)
            first.earlyText.assign(text, SysStringLen(text));
        SysFreeString(text);
        early->Release();
    }
    object->Release();
    return first;
}

std::string Describe(const wchar_t* progId, const FirstObject& first)
{
    char codes[64];
    std::snprintf(codes, sizeof codes, "%08lx|%08lx|%08lx|%08lx", static_cast<unsigned long>(first.progId),
                  static_cast<unsigned long>(first.create), static_cast<unsigned long>(first.names),
                  static_cast<unsigned long>(first.invoke));
    return ToAnsi(progId) + "|" + codes + "|" + ToAnsi(first.lateText) + "|" + ToAnsi(first.earlyText) + "|" +
           ToAnsi(first.module);
}

bool Parse(const std::string& line, std::string& progId, FirstObject& first)
{
    std::vector<std::string> fields;
    std::istringstream stream(line);
    std::string field;
    while (std::getline(stream, field, '|'))
        fields.push_back(field);
    if (!line.empty() && line.back() == '|')
        fields.push_back(std::string());
    if (fields.size() != 8)
        return false;
    HRESULT* codes[] = {&first.progId, &first.create, &first.names, &first.invoke};
    for (int i = 0; i < 4; ++i)
        *codes[i] = static_cast<HRESULT>(std::stoul(fields[1 + i], nullptr, 16));
    progId = fields[0];
    first.lateText = Widen(fields[5]);
    first.earlyText = Widen(fields[6]);
    first.module = Widen(fields[7]);
    if (!first.module.empty() && first.module.back() == L'\r')
        first.module.pop_back();
    return true;
}

// Sees only Morvaleth.DLL. Every method of every interface it offers, and its four exports, called
// with what a careless or hostile client passes: null out-pointers, interfaces and classes it does
// not know, outer objects, dispatch identifiers it does not have, wrong argument counts and
// types, flags, named arguments, indexes and locales. Each row expects the code that the design
// (or, where it is silent, the component) answers; after each row the client holds nothing and the
// module no lock (DllCanUnloadNow), and over the whole table the task allocator gets back every
// block. Late-bound failures are the platform's type information's, passed through: each Invoke
// row is also made directly on the type information and must answer the same.
// HKEY_CLASSES_ROOT is redirected to a scratch key, where DllRegisterServer puts the type library.
#include "support/LockedKey.h"
#include "support/Paths.h"
#include "support/RedirectedRoot.h"
#include "support/RunAgain.h"
#include "support/TaskAllocatorBalance.h"
#include "Checks.h"

#include <Morvaleth.h>
#include <gtest/gtest.h>
#include <ocidl.h>
#include <windows.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

typedef HRESULT(STDAPICALLTYPE* PlainExport)();
typedef HRESULT(STDAPICALLTYPE* GetClassObject)(REFCLSID, REFIID, void**);

const LCID kEnglish = 0x409;
void* const kGarbage = reinterpret_cast<void*>(0x7777);

// An IUnknown of the client's own that counts its references: an outer object, or an object that
// is no page host.
class Counted : public IUnknown {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        if (out == nullptr)
            return E_POINTER;
        *out = IsEqualIID(iid, IID_IUnknown) ? static_cast<IUnknown*>(this) : nullptr;
        if (*out == nullptr)
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++references; }
    STDMETHODIMP_(ULONG) Release() override { return --references; }
    ULONG references = 1;
};

// Interfaces that nothing here offers: well-known ones, the component's own identifiers used as
// interfaces, and random ones.
std::vector<IID> ForeignInterfaces()
{
    std::vector<IID> iids = {
        GUID_NULL, IID_IMarshal, IID_IClassFactory2, IID_IPersist, IID_IProvideClassInfo, IID_ISupportErrorInfo,
        IID_IConnectionPointContainer, IID_IExternalConnection, IID_IStdMarshalInfo, IID_IRunnableObject,
        IID_ITypeInfo, IID_IObjectWithSite, CLSID_Validate, LIBID_MORVALETHLib,
    };
    std::mt19937 random(8);
    for (int i = 0; i < 64; ++i) {
        IID iid;
        for (unsigned char& byte : reinterpret_cast<unsigned char(&)[16]>(iid))
            byte = static_cast<unsigned char>(random());
        iids.push_back(iid);
    }
    return iids;
}

std::string Code(HRESULT result)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lx", static_cast<unsigned long>(result));
    return text;
}

// The loaded DLL, and what a row needs to reach its interfaces.
class Component {
public:
    Component()
    {
        dll_ = LoadLibraryA(BesideExecutable("Morvaleth.DLL").c_str());
        if (dll_ == nullptr)
            return;
        canUnloadNow = Export<PlainExport>("DllCanUnloadNow");
        getClassObject = Export<GetClassObject>("DllGetClassObject");
        registerServer = Export<PlainExport>("DllRegisterServer");
        unregisterServer = Export<PlainExport>("DllUnregisterServer");
    }
    ~Component()
    {
        if (dll_ != nullptr)
            FreeLibrary(dll_);
    }
    Component(const Component&) = delete;
    Component& operator=(const Component&) = delete;

    bool Loaded() const { return canUnloadNow && getClassObject && registerServer && unregisterServer; }

    IClassFactory* Factory()
    {
        IClassFactory* factory = nullptr;
        getClassObject(CLSID_Validate, IID_IClassFactory, reinterpret_cast<void**>(&factory));
        return factory;
    }
    IValidate* Object()
    {
        IValidate* object = nullptr;
        IClassFactory* factory = Factory();
        if (factory != nullptr) {
            factory->CreateInstance(nullptr, IID_IValidate, reinterpret_cast<void**>(&object));
            factory->Release();
        }
        return object;
    }
    // A condition that the row's call must leave behind; the first one broken is reported.
    void Require(bool holds, const std::string& what)
    {
        if (!holds && problem.empty())
            problem = what;
    }

    PlainExport canUnloadNow = nullptr;
    GetClassObject getClassObject = nullptr;
    PlainExport registerServer = nullptr;
    PlainExport unregisterServer = nullptr;
    HKEY classes = nullptr;  // the scratch key that stands for HKEY_CLASSES_ROOT
    std::string problem;

private:
    template <typename T>
    T Export(const char* name)
    {
        return reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(dll_, name)));
    }

    HMODULE dll_ = nullptr;
};

// One late-bound call, made on the object and directly on its type information alike.
struct Call {
    DISPID id;
    WORD flags = DISPATCH_METHOD;
    std::vector<VARIANT> arguments = {};
    std::vector<DISPID> named = {};
    LCID locale = kEnglish;
    const IID* iid = &IID_NULL;
    bool wantResult = true;
    bool nullParameters = false;
};

HRESULT Invoke(Component& component, const Call& call, SCODE* exceptionCode = nullptr)
{
    IValidate* object = component.Object();
    ITypeInfo* info = nullptr;
    object->GetTypeInfo(0, kEnglish, &info);
    HRESULT results[2] = {};
    for (int direct = 0; direct < 2; ++direct) {
        std::vector<VARIANT> arguments = call.arguments;
        std::vector<DISPID> named = call.named;
        DISPPARAMS parameters = {arguments.empty() ? nullptr : arguments.data(), named.empty() ? nullptr : named.data(),
                                 static_cast<UINT>(arguments.size()), static_cast<UINT>(named.size())};
        VARIANT result;
        VariantInit(&result);
        EXCEPINFO exception = {};
        UINT argumentError = 0x7777;
        DISPPARAMS* passed = call.nullParameters ? nullptr : &parameters;
        VARIANT* wanted = call.wantResult ? &result : nullptr;
        results[direct] = direct ? info->Invoke(object, call.id, call.flags, passed, wanted, &exception, &argumentError)
                                 : object->Invoke(call.id, *call.iid, call.locale, call.flags, passed, wanted,
                                                  &exception, &argumentError);
        if (!direct && exceptionCode != nullptr)
            *exceptionCode = exception.scode;
        if (FAILED(results[direct]))
            component.Require(result.vt == VT_EMPTY, "a failed Invoke wrote a result");
        VariantClear(&result);
        SysFreeString(exception.bstrSource);
        SysFreeString(exception.bstrDescription);
        SysFreeString(exception.bstrHelpFile);
    }
    // The type information would take the null parameters for a call without arguments.
    if (!call.nullParameters)
        component.Require(results[0] == results[1], "ITypeInfo::Invoke itself answers " + Code(results[1]));
    info->Release();
    object->Release();
    return results[0];
}

VARIANT Text(const wchar_t* text)
{
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_BSTR;
    value.bstrVal = const_cast<BSTR>(text);  // never freed: the call does not own its arguments
    return value;
}

VARIANT Number(LONG number)
{
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_I4;
    value.lVal = number;
    return value;
}

VARIANT Unknown(IUnknown* object)
{
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_UNKNOWN;
    value.punkVal = object;
    return value;
}

HRESULT ResolveOne(Component& component, const wchar_t* name, DISPID* id, LCID locale = kEnglish,
                   const IID& iid = IID_NULL)
{
    IValidate* object = component.Object();
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    HRESULT result = object->GetIDsOfNames(iid, names, 1, locale, id);
    object->Release();
    return result;
}

struct Row {
    const char* what;
    HRESULT expected;
    HRESULT (*call)(Component&);
};

// Where the design passes the platform's code on and platforms differ: any failure, the same as
// the type information answers itself.
const HRESULT kPlatformFailure = static_cast<HRESULT>(0xFFFFFFFF);

// clang-format off
const Row kRows[] = {
    // The exports.
    {"DllCanUnloadNow with nothing held", S_OK, [](Component& c) { return c.canUnloadNow(); }},
    {"DllCanUnloadNow while an object lives", S_FALSE, [](Component& c) {
        IValidate* object = c.Object();
        HRESULT result = c.canUnloadNow();
        object->Release();
        return result; }},
    {"DllGetClassObject, null out-pointer", E_POINTER, [](Component& c) {
        return c.getClassObject(CLSID_Validate, IID_IClassFactory, nullptr); }},
    {"DllGetClassObject, unknown class and null out-pointer", E_POINTER, [](Component& c) {
        return c.getClassObject(IID_IValidate, IID_IClassFactory, nullptr); }},
    {"DllGetClassObject, unknown classes", CLASS_E_CLASSNOTAVAILABLE, [](Component& c) {
        HRESULT result = S_OK;
        for (const IID& clsid : ForeignInterfaces()) {
            if (IsEqualGUID(clsid, CLSID_Validate))
                continue;
            void* out = kGarbage;
            result = c.getClassObject(clsid, IID_IClassFactory, &out);
            c.Require(out == nullptr, "out-pointer not nulled");
            c.Require(result == CLASS_E_CLASSNOTAVAILABLE, "a class answered " + Code(result));
        }
        return result; }},
    {"DllGetClassObject, interfaces the class object lacks", E_NOINTERFACE, [](Component& c) {
        HRESULT result = S_OK;
        std::vector<IID> iids = ForeignInterfaces();
        iids.push_back(IID_IDispatch);
        iids.push_back(IID_IValidate);
        for (const IID& iid : iids) {
            void* out = kGarbage;
            result = c.getClassObject(CLSID_Validate, iid, &out);
            c.Require(out == nullptr, "out-pointer not nulled");
            c.Require(result == E_NOINTERFACE, "an interface answered " + Code(result));
        }
        return result; }},
    {"DllGetClassObject, IUnknown is the class object", S_OK, [](Component& c) {
        IUnknown* unknown = nullptr;
        HRESULT result = c.getClassObject(CLSID_Validate, IID_IUnknown, reinterpret_cast<void**>(&unknown));
        IClassFactory* factory = c.Factory();
        c.Require(unknown == factory, "not the same object");
        factory->Release();
        unknown->Release();
        return result; }},
    {"DllRegisterServer twice", S_OK, [](Component& c) {
        HRESULT first = c.registerServer();
        c.Require(first == S_OK, "the first registration answered " + Code(first));
        return c.registerServer(); }},
    {"DllUnregisterServer twice, then register again", S_OK, [](Component& c) {
        HRESULT first = c.unregisterServer();
        HRESULT second = c.unregisterServer();
        c.Require(first == S_OK && second == S_OK, "unregistering answered " + Code(first) + ", " + Code(second));
        return c.registerServer(); }},

    {"DllRegisterServer with a key of the script locked: the script's failure, no type library", DISP_E_EXCEPTION,
     [](Component& c) {
        c.unregisterServer();
        HRESULT result = S_OK;
        {
            LockedKey locked(c.classes, "Morvaleth.Validate");
            result = c.registerServer();
            HKEY library = nullptr;
            c.Require(RegOpenKeyExA(c.classes, "TypeLib\\{23DE8B21-CC1D-448D-B825-2C4D4DB8F325}", 0, KEY_READ,
                                    &library) != ERROR_SUCCESS, "the type library was registered");
            if (library != nullptr)
                RegCloseKey(library);
            // The locked key stays: a refusal, not a success.
            HRESULT unregistered = c.unregisterServer();
            c.Require(unregistered == HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED),
                      "DllUnregisterServer over a locked key answered " + Code(unregistered));
        }
        HRESULT unlocked = c.unregisterServer();
        c.Require(unlocked == S_OK, "DllUnregisterServer after unlocking answered " + Code(unlocked));
        c.Require(c.registerServer() == S_OK, "registering again failed");
        return result; }},

    // IClassFactory.
    {"IClassFactory::QueryInterface, null out-pointer", E_POINTER, [](Component& c) {
        IClassFactory* factory = c.Factory();
        HRESULT result = factory->QueryInterface(IID_IClassFactory, nullptr);
        factory->Release();
        return result; }},
    {"IClassFactory::QueryInterface, interfaces it lacks", E_NOINTERFACE, [](Component& c) {
        IClassFactory* factory = c.Factory();
        HRESULT result = S_OK;
        std::vector<IID> iids = ForeignInterfaces();
        iids.push_back(IID_IDispatch);
        for (const IID& iid : iids) {
            void* out = kGarbage;
            result = factory->QueryInterface(iid, &out);
            c.Require(out == nullptr && result == E_NOINTERFACE, "an interface answered " + Code(result));
        }
        factory->Release();
        return result; }},
    {"IClassFactory::AddRef and Release over the module's reference", S_OK, [](Component& c) {
        IClassFactory* factory = c.Factory();
        c.Require(factory->AddRef() == 3 && factory->Release() == 2, "counts other than 3, 2");
        c.Require(factory->Release() == 1, "the last client Release did not leave the module's 1");
        return S_OK; }},
    {"IClassFactory::CreateInstance, null out-pointer", E_POINTER, [](Component& c) {
        IClassFactory* factory = c.Factory();
        HRESULT result = factory->CreateInstance(nullptr, IID_IValidate, nullptr);
        factory->Release();
        return result; }},
    {"IClassFactory::CreateInstance, outer object and null out-pointer", E_POINTER, [](Component& c) {
        IClassFactory* factory = c.Factory();
        Counted outer;
        HRESULT result = factory->CreateInstance(&outer, IID_IUnknown, nullptr);
        factory->Release();
        return result; }},
    {"IClassFactory::CreateInstance, outer object, any interface", CLASS_E_NOAGGREGATION, [](Component& c) {
        IClassFactory* factory = c.Factory();
        Counted outer;
        HRESULT result = S_OK;
        std::vector<IID> iids = ForeignInterfaces();
        iids.insert(iids.end(), {IID_IUnknown, IID_IDispatch, IID_IValidate, IID_IClassFactory});
        for (const IID& iid : iids) {
            void* out = kGarbage;
            result = factory->CreateInstance(&outer, iid, &out);
            c.Require(out == nullptr && result == CLASS_E_NOAGGREGATION, "an interface answered " + Code(result));
        }
        c.Require(outer.references == 1, "the outer object's count moved");
        factory->Release();
        return result; }},
    {"IClassFactory::CreateInstance, interfaces the object lacks", E_NOINTERFACE, [](Component& c) {
        IClassFactory* factory = c.Factory();
        HRESULT result = S_OK;
        std::vector<IID> iids = ForeignInterfaces();
        iids.push_back(IID_IClassFactory);
        for (const IID& iid : iids) {
            void* out = kGarbage;
            result = factory->CreateInstance(nullptr, iid, &out);
            c.Require(out == nullptr && result == E_NOINTERFACE, "an interface answered " + Code(result));
        }
        factory->Release();
        return result; }},
    {"IClassFactory::LockServer, TRUE and other non-zero values lock", S_FALSE, [](Component& c) {
        IClassFactory* factory = c.Factory();
        factory->LockServer(TRUE);
        factory->LockServer(2);
        factory->LockServer(-1);
        factory->Release();
        HRESULT locked = c.canUnloadNow();
        factory = c.Factory();
        for (int i = 0; i < 3; ++i)
            c.Require(factory->LockServer(FALSE) == S_OK, "LockServer(FALSE) failed");
        factory->Release();
        return locked; }},

    // The object's IUnknown.
    {"IUnknown::QueryInterface, null out-pointer", E_POINTER, [](Component& c) {
        IValidate* object = c.Object();
        HRESULT result = object->QueryInterface(IID_IDispatch, nullptr);
        object->Release();
        return result; }},
    {"IUnknown::QueryInterface, interfaces it lacks, count unchanged", E_NOINTERFACE, [](Component& c) {
        IValidate* object = c.Object();
        HRESULT result = S_OK;
        std::vector<IID> iids = ForeignInterfaces();
        iids.push_back(IID_IClassFactory);
        for (const IID& iid : iids) {
            void* out = kGarbage;
            result = object->QueryInterface(iid, &out);
            c.Require(out == nullptr && result == E_NOINTERFACE, "an interface answered " + Code(result));
        }
        c.Require(object->Release() == 0, "a refused interface kept a reference");
        return result; }},
    {"IUnknown::QueryInterface, IUnknown, IDispatch and IValidate are one pointer", S_OK, [](Component& c) {
        IValidate* object = c.Object();
        HRESULT result = S_OK;
        for (const IID* iid : {&IID_IUnknown, &IID_IDispatch, &IID_IValidate}) {
            void* out = nullptr;
            result = object->QueryInterface(*iid, &out);
            c.Require(out == object, "another pointer");
            if (out != nullptr)
                object->Release();
        }
        c.Require(object->AddRef() == 2 && object->Release() == 1 && object->Release() == 0, "counts other than 2, 1, 0");
        return result; }},

    // IDispatch.
    {"IDispatch::GetTypeInfoCount, null out-pointer", E_POINTER, [](Component& c) {
        IValidate* object = c.Object();
        HRESULT result = object->GetTypeInfoCount(nullptr);
        object->Release();
        return result; }},
    {"IDispatch::GetTypeInfoCount", S_OK, [](Component& c) {
        IValidate* object = c.Object();
        UINT count = 7;
        HRESULT result = object->GetTypeInfoCount(&count);
        c.Require(count == 1, "not 1");
        object->Release();
        return result; }},
    {"IDispatch::GetTypeInfo, null out-pointer", E_POINTER, [](Component& c) {
        IValidate* object = c.Object();
        HRESULT result = object->GetTypeInfo(0, kEnglish, nullptr);
        object->Release();
        return result; }},
    {"IDispatch::GetTypeInfo, every index and locale, the same type information", S_OK, [](Component& c) {
        IValidate* object = c.Object();
        ITypeInfo* first = nullptr;
        HRESULT result = object->GetTypeInfo(0, kEnglish, &first);
        for (UINT index : {0u, 1u, 7u, 0xFFFFFFFFu}) {
            for (LCID locale : {0x0u, 0x409u, 0x400u, 0x800u, 0x411u, 0x407u, 0xFFFFFFFFu}) {
                ITypeInfo* info = nullptr;
                HRESULT got = object->GetTypeInfo(index, locale, &info);
                c.Require(got == S_OK && info == first, "index " + std::to_string(index) + ", locale " +
                                                            std::to_string(locale) + " answered " + Code(got));
                if (info != nullptr)
                    info->Release();
            }
        }
        if (first != nullptr)
            first->Release();
        object->Release();
        return result; }},
    {"IDispatch::GetIDsOfNames, null names", E_INVALIDARG, [](Component& c) {
        IValidate* object = c.Object();
        DISPID id = 0x7777;
        HRESULT result = object->GetIDsOfNames(IID_NULL, nullptr, 1, kEnglish, &id);
        c.Require(id == 0x7777, "wrote an identifier");
        object->Release();
        return result; }},
    {"IDispatch::GetIDsOfNames, null identifiers", E_POINTER, [](Component& c) {
        IValidate* object = c.Object();
        LPOLESTR names[] = {const_cast<LPOLESTR>(L"GetVersion")};
        HRESULT result = object->GetIDsOfNames(IID_NULL, names, 1, kEnglish, nullptr);
        object->Release();
        return result; }},
    {"IDispatch::GetIDsOfNames, no names, and a count that is negative as a signed number", S_OK, [](Component& c) {
        IValidate* object = c.Object();
        HRESULT zero = object->GetIDsOfNames(IID_NULL, nullptr, 0, kEnglish, nullptr);
        HRESULT negative = object->GetIDsOfNames(IID_NULL, nullptr, 0x80000000u, kEnglish, nullptr);
        c.Require(zero == S_OK, "a count of 0 answered " + Code(zero));
        object->Release();
        return negative; }},
    {"IDispatch::GetIDsOfNames, a null name", DISP_E_UNKNOWNNAME, [](Component& c) {
        IValidate* object = c.Object();
        LPOLESTR names[] = {nullptr};
        DISPID id = 0x7777;
        HRESULT result = object->GetIDsOfNames(IID_NULL, names, 1, kEnglish, &id);
        c.Require(id == DISPID_UNKNOWN, "the identifier is not DISPID_UNKNOWN");
        object->Release();
        return result; }},
    {"IDispatch::GetIDsOfNames, names no member has", DISP_E_UNKNOWNNAME, [](Component& c) {
        HRESULT result = S_OK;
        std::wstring longName(10000, L'N');
        for (const wchar_t* name : {L"", L"NoSuchCheck", L"GetVersion ", L"Get Version", longName.c_str()}) {
            DISPID id = 0x7777;
            result = ResolveOne(c, name, &id);
            c.Require(result == DISP_E_UNKNOWNNAME && id == DISPID_UNKNOWN, "a name answered " + Code(result));
        }
        return result; }},
    {"IDispatch::GetIDsOfNames, any interface identifier, locale and case", S_OK, [](Component& c) {
        HRESULT result = S_OK;
        for (LCID locale : {0x0u, 0x409u, 0x400u, 0x800u, 0x411u, 0xFFFFFFFFu}) {
            for (const wchar_t* name : {L"HasIIS", L"hasiis", L"HASIIS"}) {
                DISPID id = 0;
                result = ResolveOne(c, name, &id, locale, IID_IValidate);
                c.Require(result == S_OK && id == 5, "a locale or case answered " + Code(result));
            }
        }
        return result; }},

    // IDispatch::Invoke; each also made directly on the type information.
    {"IDispatch::Invoke, null parameters", E_INVALIDARG, [](Component& c) {
        Call call{1};
        call.nullParameters = true;
        return Invoke(c, call); }},
    {"IDispatch::Invoke, identifiers no member has", DISP_E_MEMBERNOTFOUND, [](Component& c) {
        HRESULT result = S_OK;
        const DISPID ids[] = {DISPID_VALUE, DISPID_UNKNOWN, DISPID_NEWENUM, DISPID_EVALUATE, 0x1B, 0x1000, 0x7FFFFFFF,
                              static_cast<DISPID>(0x80000000)};
        for (DISPID id : ids) {
            result = Invoke(c, Call{id});
            c.Require(result == DISP_E_MEMBERNOTFOUND, "identifier " + std::to_string(id) + " answered " + Code(result));
        }
        return result; }},
    {"IDispatch::Invoke, a check with one and with two arguments", DISP_E_BADPARAMCOUNT, [](Component& c) {
        Call one{1};
        one.arguments = {Number(3)};
        Call two{0x1A};
        two.arguments = {Text(L"x"), Number(3)};
        HRESULT first = Invoke(c, one);
        c.Require(first == DISP_E_BADPARAMCOUNT, "one argument answered " + Code(first));
        return Invoke(c, two); }},
    {"IDispatch::Invoke, OnStartPage without its argument", DISP_E_BADPARAMCOUNT, [](Component& c) {
        return Invoke(c, Call{0x60020000}); }},
    {"IDispatch::Invoke, OnStartPage with a text or a number for its object", DISP_E_TYPEMISMATCH, [](Component& c) {
        Call text{0x60020000};
        text.arguments = {Text(L"page")};
        Call number{0x60020000};
        number.arguments = {Number(1)};
        HRESULT first = Invoke(c, text);
        c.Require(first == DISP_E_TYPEMISMATCH, "a text answered " + Code(first));
        return Invoke(c, number); }},
    {"IDispatch::Invoke, OnStartPage with a null object: E_POINTER raised", DISP_E_EXCEPTION, [](Component& c) {
        Call call{0x60020000};
        call.arguments = {Unknown(nullptr)};
        SCODE raised = 0;
        HRESULT result = Invoke(c, call, &raised);
        c.Require(raised == E_POINTER, "raised " + Code(raised));
        return result; }},
    {"IDispatch::Invoke, OnStartPage with an object that is no page host: E_NOINTERFACE raised", DISP_E_EXCEPTION,
     [](Component& c) {
        Counted stranger;
        Call call{0x60020000};
        call.arguments = {Unknown(&stranger)};
        SCODE raised = 0;
        HRESULT result = Invoke(c, call, &raised);
        c.Require(raised == E_NOINTERFACE, "raised " + Code(raised));
        c.Require(stranger.references == 1, "the object's count moved");
        return result; }},
    {"IDispatch::Invoke, OnEndPage without a page", S_OK, [](Component& c) { return Invoke(c, Call{0x60020001}); }},
    {"IDispatch::Invoke, the members of IUnknown and IDispatch without their arguments", DISP_E_MEMBERNOTFOUND,
     [](Component& c) {
        HRESULT result = S_OK;
        for (DISPID id : {0x60000000, 0x60000001, 0x60000002, 0x60010000, 0x60010001, 0x60010002, 0x60010003}) {
            result = Invoke(c, Call{id});
            c.Require(result == DISP_E_MEMBERNOTFOUND, "identifier " + std::to_string(id) + " answered " + Code(result));
        }
        return result; }},
    // Wine 8 answers DISP_E_BADPARAMCOUNT; the design passes on whatever the platform answers.
    {"IDispatch::Invoke, a named argument for a check", kPlatformFailure, [](Component& c) {
        Call call{0x5};
        call.arguments = {Number(1)};
        call.named = {0};
        return Invoke(c, call); }},
    {"IDispatch::Invoke, a check put as a property", DISP_E_MEMBERNOTFOUND, [](Component& c) {
        Call call{0x5, DISPATCH_PROPERTYPUT};
        call.arguments = {Number(1)};
        call.named = {DISPID_PROPERTYPUT};
        return Invoke(c, call); }},
    {"IDispatch::Invoke, a check got as a property only", DISP_E_MEMBERNOTFOUND, [](Component& c) {
        return Invoke(c, Call{0x5, DISPATCH_PROPERTYGET}); }},
    {"IDispatch::Invoke, a check called as a method or got as a property, as scripts do", S_OK, [](Component& c) {
        return Invoke(c, Call{0x5, DISPATCH_METHOD | DISPATCH_PROPERTYGET}); }},
    {"IDispatch::Invoke, every check, any locale and interface identifier, with and without a result", S_OK,
     [](Component& c) {
        HRESULT result = S_OK;
        for (DISPID id = 1; id <= 0x1A; ++id) {
            for (LCID locale : {0x0u, 0x409u, 0x411u, 0xFFFFFFFFu}) {
                Call call{id};
                call.locale = locale;
                call.iid = &IID_IValidate;
                call.wantResult = locale != 0x411;
                result = Invoke(c, call);
                c.Require(result == S_OK, "check " + std::to_string(id) + " answered " + Code(result));
            }
        }
        return result; }},

    // IValidate.
    {"IValidate, every check with a null result pointer", E_POINTER, [](Component& c) {
        IValidate* object = c.Object();
        HRESULT result = S_OK;
        // The 26 checks fill slots 9 to 34 of the interface, after OnStartPage and OnEndPage.
        typedef HRESULT(STDMETHODCALLTYPE * Check)(IValidate*, void*);
        void** slots = *reinterpret_cast<void***>(object);
        for (int slot = 9; slot < 35; ++slot) {
            result = reinterpret_cast<Check>(slots[slot])(object, nullptr);
            c.Require(result == E_POINTER, "slot " + std::to_string(slot) + " answered " + Code(result));
        }
        for (const Answer& answer : CallEarlyBound(object))
            c.Require(answer.result == S_OK, "a check failed after");
        object->Release();
        return result; }},
    {"IValidate::OnStartPage, null", E_POINTER, [](Component& c) {
        IValidate* object = c.Object();
        HRESULT result = object->OnStartPage(nullptr);
        object->Release();
        return result; }},
    {"IValidate::OnStartPage, an object that is no page host", E_NOINTERFACE, [](Component& c) {
        IValidate* object = c.Object();
        Counted stranger;
        HRESULT result = object->OnStartPage(&stranger);
        c.Require(stranger.references == 1, "the object's count moved");
        c.Require(object->OnEndPage() == S_OK && object->OnEndPage() == S_OK, "OnEndPage failed");
        object->Release();
        return result; }},
};
// clang-format on

class InterfacesClient : public testing::Test {
protected:
    RedirectedRoot classes{HKEY_CLASSES_ROOT, "Software\\MorvalethTests\\ReliabilityInterfaces"};
};

TEST_F(InterfacesClient, EveryMethodAnswersItsCodeToBadInput)
{
    if (RunCurrentTestAgainWith("OANOCACHE", "1", 600))
        return;
    Component component;
    ASSERT_TRUE(component.Loaded());
    component.classes = classes.Scratch().Handle();
    ASSERT_EQ(S_OK, component.registerServer());
    // Loads what the platform keeps for the life of the process before the balance starts.
    for (const Row& row : kRows)
        row.call(component);
    component.problem.clear();

    TaskAllocatorBalance& spy = TaskAllocatorBalance::Instance();
    ASSERT_EQ(S_OK, spy.Register());
    for (const Row& row : kRows) {
        component.problem.clear();
        HRESULT result = row.call(component);
        if (row.expected == kPlatformFailure)
            EXPECT_TRUE(FAILED(result)) << row.what << " answered " << Code(result);
        else
            EXPECT_EQ(Code(row.expected), Code(result)) << row.what;
        EXPECT_EQ("", component.problem) << row.what;
        EXPECT_EQ(S_OK, component.canUnloadNow()) << row.what << ": the module still holds a lock";
    }
    EXPECT_EQ(0, spy.Outstanding()) << "blocks of the task allocator not given back, of " << spy.Allocations();
    std::printf("interfaces: %u rows; task allocator: %ld allocations, %ld outstanding\n",
                static_cast<unsigned>(sizeof kRows / sizeof kRows[0]), spy.Allocations(), spy.Outstanding());
    EXPECT_EQ(S_OK, component.unregisterServer());
}

}  // namespace

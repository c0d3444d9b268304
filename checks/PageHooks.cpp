// The page hooks: they hold the page host's five intrinsic objects between page start and end.
// Unlike the checks they run in whatever module context the caller has.
#include "checks/ScriptingContext.h"
#include "checks/Validate.h"

namespace {

// Empties the member first, then lets the reference go.
void ReleaseMember(IUnknown*& member)
{
    IUnknown* held = member;
    member = nullptr;
    if (held != nullptr)
        held->Release();
}

typedef HRESULT (STDMETHODCALLTYPE IScriptingContext::*Getter)(IUnknown**);

}  // namespace

HRESULT STDMETHODCALLTYPE Validate::OnStartPage(IUnknown* piUnk)
{
    if (piUnk == nullptr)
        return E_POINTER;
    // A page started again without its end would otherwise leak the earlier page's objects.
    OnEndPage();

    IScriptingContext* context = nullptr;
    HRESULT result = piUnk->QueryInterface(IID_IScriptingContext, reinterpret_cast<void**>(&context));
    if (FAILED(result)) {
        if (context != nullptr)
            context->Release();
        return result;
    }

    // Request, Response, Server, Session, Application; on a failure the objects this call fetched
    // are given back, oldest first, and nothing later is asked for.
    struct Fetch {
        Getter getter;
        IUnknown* Validate::*member;
    };
    static const Fetch kFetches[] = {
        {&IScriptingContext::get_Request, &Validate::request_},
        {&IScriptingContext::get_Response, &Validate::response_},
        {&IScriptingContext::get_Server, &Validate::server_},
        {&IScriptingContext::get_Session, &Validate::session_},
        {&IScriptingContext::get_Application, &Validate::application_},
    };
    for (const Fetch& fetch : kFetches) {
        IUnknown* fetched = nullptr;
        result = (context->*fetch.getter)(&fetched);
        if (FAILED(result)) {
            // A failing host should leave nothing; if it did, that reference is ours to drop.
            if (fetched != nullptr)
                fetched->Release();
            for (const Fetch* undo = kFetches; undo != &fetch; ++undo)
                ReleaseMember(this->*(undo->member));
            context->Release();
            return result;
        }
        this->*(fetch.member) = fetched;
    }
    pageStarted_ = TRUE;
    context->Release();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Validate::OnEndPage()
{
    pageStarted_ = FALSE;
    ReleaseMember(request_);
    ReleaseMember(response_);
    ReleaseMember(server_);
    ReleaseMember(session_);
    ReleaseMember(application_);
    return S_OK;
}

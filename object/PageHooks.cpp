// The page hooks: they hold the page host's five intrinsic objects between page start and end.
// Unlike the checks they run in whatever module context the caller has.
#include "object/ScriptingContext.h"
#include "object/Validate.h"

namespace {

typedef HRESULT (STDMETHODCALLTYPE IScriptingContext::*Getter)(IUnknown**);

}  // namespace

HRESULT STDMETHODCALLTYPE Validate::OnStartPage(IUnknown* piUnk)
{
    if (piUnk == nullptr)
        return E_POINTER;
    // A page started again without its end would otherwise leak the earlier page's objects.
    OnEndPage();

    // A failing QueryInterface should leave nothing; if it did, the holder drops it.
    ComPtr<IScriptingContext> context;
    HRESULT result = piUnk->QueryInterface(IID_IScriptingContext, context.ReceiveVoid());
    if (FAILED(result))
        return result;

    // Request, Response, Server, Session, Application; on a failure the objects this call fetched
    // are given back, oldest first, and nothing later is asked for.
    struct Fetch {
        Getter getter;
        ComPtr<IUnknown> Validate::*member;
    };
    static const Fetch kFetches[] = {
        {&IScriptingContext::get_Request, &Validate::request_},
        {&IScriptingContext::get_Response, &Validate::response_},
        {&IScriptingContext::get_Server, &Validate::server_},
        {&IScriptingContext::get_Session, &Validate::session_},
        {&IScriptingContext::get_Application, &Validate::application_},
    };
    for (const Fetch& fetch : kFetches) {
        // A failing host should leave nothing; if it did, the holder drops that reference.
        ComPtr<IUnknown> fetched;
        result = (context.Get()->*fetch.getter)(fetched.Receive());
        if (FAILED(result)) {
            fetched.Reset();
            for (const Fetch* undo = kFetches; undo != &fetch; ++undo)
                (this->*(undo->member)).Reset();
            return result;
        }
        (this->*(fetch.member)).Adopt(fetched.Detach());
    }
    pageStarted_ = TRUE;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Validate::OnEndPage()
{
    pageStarted_ = FALSE;
    // Each holder is emptied before its reference goes.
    request_.Reset();
    response_.Reset();
    server_.Reset();
    session_.Reset();
    application_.Reset();
    return S_OK;
}

#include "dll/LibraryApp.h"

#include "dll/ClassTable.h"
#include "server/ServerModule.h"

BOOL LibraryApp::InitInstance()
{
    SetActiveServerModule(&TheServerModule());
    // A failed start-up does not fail the load; the exports then answer from the empty record.
    ServerModule::Startup(ActiveServerModule(), ClassTable, instance_);
    return TRUE;
}

int LibraryApp::ExitInstance()
{
    ServerModule::Shutdown(ActiveServerModule());
    return 0;
}

void LibraryApp::ProcessDetach(LPVOID reserved)
{
    if (reserved == nullptr)
        ExitInstance();
}

HRESULT LibraryCanUnloadNow() { return S_OK; }

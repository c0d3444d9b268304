#pragma once
#include <Morvaleth.h>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "FakeTypeInfo.h"
#include "server/ServerModule.h"
#include "server/TypeInfoHolder.h"

// A holder of its own on a module of its own, fed with fake type information.
class FakeHolderTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(S_OK, ServerModule::Startup(&module, nullptr, GetModuleHandle(nullptr)));
        started = true;
    }
    void TearDown() override
    {
        ShutDown();
        // Whatever the module did not release (a table built but never published, a callback
        // that could not be added) goes before the fakes do.
        TypeInfoHolder::ReleaseTypeInfo(reinterpret_cast<DWORD_PTR>(&holder));
    }
    void ShutDown()
    {
        if (started)
            ServerModule::Shutdown(&module);
        started = false;
    }
    FakeTypeInfo& MakeFake(std::vector<FakeFunction> functions)
    {
        fakes.push_back(std::make_unique<FakeTypeInfo>(std::move(functions)));
        return *fakes.back();
    }
    // Some of IValidate's members, as a type library would list them.
    FakeTypeInfo& StandardFake()
    {
        return MakeFake({{L"QueryInterface", 0x60000000}, {L"GetVersion", 1}, {L"HasDotNetFramework2", 2},
                         {L"HasIIS", 5}, {L"HasBITS", 6}, {L"HasASPNET20", 0x11}});
    }
    HRESULT Resolve(const wchar_t* name, DISPID* id)
    {
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        return holder.GetIDsOfNames(names, 1, 0x409, id);
    }

    std::vector<std::unique_ptr<FakeTypeInfo>> fakes;  // outlive the module's release of them
    ServerModule module;
    bool started = false;
    TypeInfoHolder holder{module, IID_IValidate, LIBID_MORVALETHLib, 1, 0};
};

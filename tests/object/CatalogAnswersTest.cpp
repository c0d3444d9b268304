// The object answers from the one catalog: each entry's name is the type library's at its dispatch
// identifier, and the object, the catalog without a log and the catalog with one answer alike.
#include <gtest/gtest.h>

#include <cstring>

#include "CheckCalls.h"
#include "checks/CheckCatalog.h"
#include "checks/CheckExplanation.h"
#include "support/Paths.h"

namespace {

TEST(CatalogAnswers, EachNameIsTheTypeLibrarysAtItsDispatchIdentifier)
{
    ITypeLib* library = nullptr;
    ASSERT_EQ(S_OK, LoadTypeLibEx(Widen(BesideExecutable("Morvaleth.DLL")).c_str(), REGKIND_NONE, &library));
    ITypeInfo* info = nullptr;
    ASSERT_EQ(S_OK, library->GetTypeInfoOfGuid(IID_IValidate, &info));
    for (std::size_t i = 0; i < kCheckCount; ++i) {
        std::wstring name = Widen(kCheckCatalog[i].name);
        LPOLESTR names[] = {&name[0]};
        MEMBERID id = 0;
        EXPECT_EQ(S_OK, info->GetIDsOfNames(names, 1, &id)) << kCheckCatalog[i].name;
        EXPECT_EQ(static_cast<MEMBERID>(i + 1), id) << kCheckCatalog[i].name;
    }
    info->Release();
    library->Release();
}

// The log changes nothing: what the object writes is what the catalog gives with and without one.
TEST(CatalogAnswers, TheObjectAndTheLogGiveTheSameAnswers)
{
    for (const CheckEntry& entry : kCheckCatalog) {
        SCOPED_TRACE(entry.name);
        CheckOutcome explained = ExplainCheck(entry);
        if (entry.flag != nullptr) {
            const NamedFlagCheck* call = nullptr;
            for (const NamedFlagCheck& check : kFlagChecks)
                call = std::strcmp(check.name, entry.name) == 0 ? &check : call;
            ASSERT_NE(nullptr, call);
            int object = Flag(call->check);
            EXPECT_EQ(object, entry.flag(nullptr) ? 1 : 0);
            EXPECT_EQ(object, explained.flag ? 1 : 0);
            EXPECT_FALSE(explained.isText);
        } else {
            const NamedTextCheck* call = nullptr;
            for (const NamedTextCheck& check : kTextChecks)
                call = std::strcmp(check.name, entry.name) == 0 ? &check : call;
            ASSERT_NE(nullptr, call);
            std::string object = Text(call->check);
            char text[kCheckTextSize];
            entry.text(text, nullptr);
            EXPECT_EQ(object, text);
            EXPECT_EQ(object, explained.text);
            EXPECT_TRUE(explained.isText);
        }
    }
}

}  // namespace

// Component classes by name: aliases found without regard to case, a name
// registered again naming the new class, unknown names answering null.
#include "platform/ClassRegistry.h"

#include <gtest/gtest.h>

namespace {

class TOldForm : public TComponent
{
  public:
    std::string ClassName() const override { return "TOldForm"; }
};

class TNewForm : public TComponent
{
  public:
    std::string ClassName() const override { return "TNewForm"; }
};

TEST(ClassRegistry, AliasesNameClassesForStoredForms)
{
    EXPECT_EQ(GetClass("TRegistryTestAlias"), nullptr);
    RegisterClassAlias(ComponentClassOf<TOldForm>("TOldForm"), "TRegistryTestAlias");
    const TComponentClass* found = GetClass("tregistrytestALIAS");
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->ClassName, "TOldForm");
    EXPECT_EQ(found->Create()->ClassName(), "TOldForm");

    RegisterClassAlias(ComponentClassOf<TNewForm>("TNewForm"), "TRegistryTestAlias");
    EXPECT_EQ(GetClass("TRegistryTestAlias")->Create()->ClassName(), "TNewForm") << "the name now names the new class";
    EXPECT_EQ(GetClass("TOldForm"), nullptr) << "only the alias was registered";
}

} // namespace

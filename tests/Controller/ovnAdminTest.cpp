#include "Components/Controller/ovnAdmin.h"
#include "Components/Controller/GVars.h"
#include "Components/Controller/ovnController.h"
#include "platform/Params.h"

#include <gtest/gtest.h>

TEST(TAdminUser, NewRecordAndClear)
{
    TAdminUser user;
    EXPECT_EQ("I", user.FacilityAccessFlag);
    EXPECT_EQ("F", user.DefineRole);
    EXPECT_EQ("F", user.DefineFacilityAccess);
    EXPECT_EQ("F", user.DefineDBAccess);
    EXPECT_EQ(0, user.Security().Size());

    user.ID = "jdoe";
    user.Password = "secret";
    user.FullName = "J. Doe";
    user.UserType = "MGR";
    user.FacilityAccessFlag = "A";
    user.DefineRole = "T";
    user.Enterprise = "North";
    user.C_Enterprise = 4;
    user.Counter = 17;
    user.C_Role = 3;
    user.Role = "Nurse";
    user.EMail = "j@example.org";
    user.Restricted = true;
    user.ADZip = "12345";
    user.ADState = "OH";
    user.ADIndustry = "care";
    user.Advertise = true;
    const uint8_t rights[] = {0xC0, 0x7F};
    user.Security().WriteBuffer(rights, 2);

    user.Clear();
    EXPECT_EQ("", user.ID);
    EXPECT_EQ("", user.Password);
    EXPECT_EQ("", user.FullName);
    EXPECT_EQ("", user.UserType);
    EXPECT_EQ("I", user.FacilityAccessFlag);
    EXPECT_EQ("F", user.DefineRole);
    EXPECT_EQ("", user.Enterprise);
    EXPECT_EQ(0, user.C_Enterprise);
    EXPECT_EQ(0, user.Counter);
    EXPECT_EQ(0, user.C_Role);
    EXPECT_EQ("", user.Role);
    EXPECT_EQ("", user.EMail);
    EXPECT_EQ(0, user.Security().Size());
    // The sign-in reply's flags survive a log-off.
    EXPECT_TRUE(user.Restricted);
    EXPECT_EQ("12345", user.ADZip);
    EXPECT_EQ("OH", user.ADState);
    EXPECT_EQ("care", user.ADIndustry);
    EXPECT_TRUE(user.Advertise);
}

TEST(TAdminUser, SecurityBytesDecode)
{
    struct Case
    {
        const char* Desc;
        uint8_t Input;
        TSecurityRecord Expected;
    };
    const Case cases[] = {
        {"zero: no access", 0, {}},
        {"127: view with all attributes", 127, {sfView, true, true, true, true, true, true}},
        {"192: full without attributes", 192, {sfFull, false, false, false, false, false, false}},
        {"128: modify", 128, {sfModify, false, false, false, false, false, false}},
        {"bit 5 is A1", 0x40 | 0x20, {sfView, true, false, false, false, false, false}},
        {"bit 0 is A6", 0x40 | 0x01, {sfView, false, false, false, false, false, true}},
        {"attributes without level", 0x0A, {sfNo, false, false, true, false, true, false}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(c.Expected, DecodeSecurityByte(c.Input));
    }
}

TEST(TVars, KeysAreUpperCasedWithModule)
{
    TParams params;
    TVars vars(&params);
    vars.SetParam("Default_State", ftString, Variant(std::string("OH")), 12);
    ASSERT_EQ(1, params.Count());
    EXPECT_EQ("DEFAULT_STATE@12", params.Items(0)->Name());
    TParam* p = vars.GetParam("DEFAULT_STATE", 12);
    ASSERT_NE(nullptr, p);
    EXPECT_EQ("OH", p->AsString());
    EXPECT_EQ(nullptr, vars.GetParam("DEFAULT_STATE", 1));
    EXPECT_EQ(ftString, p->DataType());
    EXPECT_EQ(ptUnknown, p->ParamType());
}

TEST(TVars, SetKeepsTypeAndEmptyStoresNull)
{
    TParams params;
    TVars vars(&params);
    vars.SetParam("n", ftInteger, Variant(5), -1);
    vars.SetParam("N", ftString, Variant(std::string("7")), -1); // existing: type stays
    TParam* p = vars.GetParam("n", -1);
    ASSERT_NE(nullptr, p);
    EXPECT_EQ(ftInteger, p->DataType());
    vars.SetParam("n", Variant(), -1);
    EXPECT_TRUE(p->Value().IsNull());
    vars.DeclareParam("n", ftString, -1);
    EXPECT_TRUE(p->Value().IsNull());
    EXPECT_EQ(ftInteger, p->DataType());
    EXPECT_EQ(1, params.Count());
}

TEST(TVars, DeclareNullsAnExistingValue)
{
    TParams params;
    TVars vars(&params);
    vars.SetParam("x", ftInteger, Variant(5), 3);
    vars.DeclareParam("X", ftString, 3);
    TParam* p = vars.GetParam("x", 3);
    ASSERT_NE(nullptr, p);
    EXPECT_TRUE(p->Value().IsNull());
    EXPECT_EQ(ftInteger, p->DataType());
}

TEST(TVars, UndeclaredAndUnassigned)
{
    TParams params;
    TVars vars(&params);
    try {
        vars.SetParam("Missing", Variant(1), 2);
        ADD_FAILURE() << "an undeclared variable must raise";
    } catch (const EovnVars& e) {
        EXPECT_EQ("Variable \"Missing\" is not declared", e.Message());
    }
    TVars none(nullptr);
    try {
        none.GetParam("x", 1);
        ADD_FAILURE() << "a store without list must raise";
    } catch (const EovnVars& e) {
        EXPECT_EQ("Params not assigned", e.Message());
    }
}

TEST(TVars, DeleteModuleParamsMatchesTheWholeCounter)
{
    TParams params;
    TVars vars(&params);
    vars.SetParam("X", ftInteger, Variant(1), 1);
    vars.SetParam("Y", ftInteger, Variant(2), 1);
    vars.SetParam("X", ftInteger, Variant(3), 12);
    vars.SetParam("X", ftInteger, Variant(4), -1);
    vars.SetParam("X", ftInteger, Variant(5), 21);
    vars.DeleteModuleParams(1);
    EXPECT_EQ(nullptr, vars.GetParam("X", 1));
    EXPECT_EQ(nullptr, vars.GetParam("Y", 1));
    EXPECT_NE(nullptr, vars.GetParam("X", 12));
    EXPECT_NE(nullptr, vars.GetParam("X", -1));
    EXPECT_NE(nullptr, vars.GetParam("X", 21));
    vars.DeleteParam("x", 12);
    EXPECT_EQ(nullptr, vars.GetParam("X", 12));
    vars.DeleteParam("x", 12); // absent: nothing
    vars.Clear();
    EXPECT_EQ(0, params.Count());
}

// The system plug-in's resource methods on the local application server, as
// the sign-in (GetResources, type "PCL") and the cache's file-name hook
// (GetResourceFileName) call them through Nembra.PluginFetch.

#include "Components/Nembra/NembraClient.h"
#include "Components/Nembra/NembraJSON.h"
#include "Components/Nembra/NembraLib.h"

#include "support/AppServerProcess.h"
#include "support/FileSystemTesting.h"
#include "support/NembraErrorOf.h"

#include "platform/Params.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

const char* const kResourcesSql = R"(
-- These rows stand in for the server's own sample add-on of that name.
DELETE FROM TBL_BIN WHERE C_RESOURCE IN (SELECT COUNTER FROM TBL_RESOURCES WHERE RESOURCE_NAME = 'BROWSER_LOGIN');
DELETE FROM TBL_RESOURCES WHERE RESOURCE_NAME = 'BROWSER_LOGIN';
INSERT INTO TBL_RESOURCES (COUNTER, RESOURCE_NAME, FILE_NAME) VALUES
  (9001, 'BROWSER_LOGIN', 'login.dll'), (9002, 'ICN_HOME', 'icons/home.png'), (9003, 'APP_STAFF', 'staff.dll');
INSERT INTO TBL_BIN (COUNTER, C_RESOURCE, FILE_NAME, OS) VALUES
  (9101, 9001, 'liblogin.so', 'L64'), (9102, 9003, 'libstaff.so', 'L64');
INSERT INTO SRV_RESOURCE_TYPES (C_RESOURCE, RESOURCE_TYPE) VALUES (9001, 'PCL'), (9002, 'PCL');
)";

using TRows = std::vector<std::pair<std::string, std::string>>;

class ResourcePluginTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        SignInAsAdmin(m_main, m_server.ServerURL(), [this](TObject* Sender) {
            TStringList info;
            JSONToStrings(
                static_cast<TNembraRequest*>(Sender)->GetJSONObject().GetValues("CLIENT_INFO").GetAsArray(), info);
            m_resourcesAddress = info.Values("RESOURCES");
        });
    }

    // A plug-in call of PLG_SYSTEM with the input parameters given.
    std::unique_ptr<TNembraRequest> Call(const std::string& Procedure, const std::string& Method,
                                         const std::vector<std::pair<std::string, std::string>>& Inputs)
    {
        TParams params;
        for (const auto& [name, value] : Inputs)
            params.CreateParam(ftString, name, ptInput)->SetValue(Variant(value));
        auto request = m_main.GetNembraRequest();
        request->SetProcedureName(Procedure);
        request->SetParam("PluginName", Variant(std::string("PLG_SYSTEM")));
        request->SetParam("ProcedureName", Variant(Method));
        request->SetParam("Params", Variant(ParamsToJSON(params, {ptInput})));
        request->Execute();
        return request;
    }

    // The reply's rows as (first column, second column or '').
    TRows Fetch(const std::string& Method, const std::vector<std::pair<std::string, std::string>>& Inputs,
                const std::vector<std::string>& Columns)
    {
        auto request = Call("Nembra.PluginFetch", Method, Inputs);
        TJSONObject& data = request->GetJSONObject().GetValues("data").GetAsObject();
        TRows rows;
        const TJSONArray& first = data.GetValues(Columns[0]).GetAsArray();
        for (int i = 0; i < first.Count(); ++i)
            rows.emplace_back(first.GetValue(i).GetAsString(),
                              Columns.size() > 1 ? data.GetValues(Columns[1]).GetAsArray().GetValue(i).GetAsString()
                                                 : std::string());
        return rows;
    }

    TAppServerProcess m_server{{}, kResourcesSql};
    TNembraConnection m_main;
    std::string m_resourcesAddress;
};

} // namespace

TEST_F(ResourcePluginTest, GetResourceFileNameGivesThePlatformsFile)
{
    struct Case
    {
        const char* Desc;
        std::string Resource;
        std::string OS;
        TRows Expected;
    };
    const Case cases[] = {
        {"the platform's own file", "BROWSER_LOGIN", "L64", {{"liblogin.so", ""}}},
        {"names and tags without case", "browser_login", "l64", {{"liblogin.so", ""}}},
        {"no file for the platform: the resource's", "BROWSER_LOGIN", "W40", {{"login.dll", ""}}},
        {"a resource of every platform", "ICN_HOME", "L64", {{"icons/home.png", ""}}},
        {"an unknown resource: no row", "NOPE", "L64", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(Fetch("GetResourceFileName", {{"RESOURCE_NAME", c.Resource}, {"OS", c.OS}}, {"FILE_NAME"}),
                  c.Expected);
    }
}

TEST_F(ResourcePluginTest, GetResourcesListsTheResourcesOfAType)
{
    EXPECT_EQ(Fetch("GetResources", {{"OS", "L64"}, {"RESOURCE_TYPE", "PCL"}}, {"RESOURCE_NAME", "FILE_NAME"}),
              (TRows{{"BROWSER_LOGIN", "liblogin.so"}, {"ICN_HOME", "icons/home.png"}}));
    EXPECT_EQ(Fetch("GetResources", {{"OS", "W40"}, {"RESOURCE_TYPE", "pcl"}}, {"RESOURCE_NAME", "FILE_NAME"}),
              (TRows{{"BROWSER_LOGIN", "login.dll"}, {"ICN_HOME", "icons/home.png"}}));
    EXPECT_TRUE(Fetch("GetResources", {{"OS", "L64"}, {"RESOURCE_TYPE", "XYZ"}}, {"RESOURCE_NAME"}).empty());
}

TEST_F(ResourcePluginTest, TheParametersAreDeclaredAndTheAddressIsHandedOut)
{
    auto params = Call("Nembra.PluginGetParams", "GetResources", {});
    TParams declared;
    AddParamsFromJSON(declared, params->GetJSONObject().GetValues("Params").GetAsObject());
    ASSERT_EQ(declared.Count(), 2);
    EXPECT_EQ(declared[0]->Name(), "OS");
    EXPECT_EQ(declared[1]->Name(), "RESOURCE_TYPE");
    EXPECT_EQ(declared[1]->DataType(), ftString);

    // The sign-in reply names the store the resources come from.
    EXPECT_EQ(m_resourcesAddress, "vrs+MAIN?resources");
}

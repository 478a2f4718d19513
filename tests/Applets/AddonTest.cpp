// Add-on libraries run through the main window's RunObject: the signed
// sample add-ons served by the local server, and the broken ones.
#include "AppletServerTesting.h"

#include "support/ErrorOf.h"

namespace {

class AddonTest : public TAppletServerTest
{
  protected:
    void SetUp() override
    {
        TAppletServerTest::SetUp();
        for (const char* addon :
             {"browser_login", "browser_dblogin", "addon_noexport", "addon_raise", "addon_oldapi"})
            ASSERT_TRUE(CopyFile(SamplesFolder() + addon + ".so", m_share + addon + ".so", false)) << addon;
    }
};

} // namespace

TEST_F(AddonTest, TheAddOnsResultWithTheLibraryUnloadedAndTheCacheAsCurrentFolder)
{
    EXPECT_EQ(m_controller->RunObject("BROWSER_LOGIN", "seven"), 7);
    EXPECT_EQ(m_window->RunObject("BROWSER_LOGIN", "h\xC3\xA9llo"), 6); // UTF-8 bytes
    EXPECT_FALSE(Loaded("browser_login.so"));
    EXPECT_EQ(std::filesystem::current_path().string() + "/",
              IncludeTrailingPathDelimiter(m_controller->GetCachePath()));
    EXPECT_FALSE(LogLinesWith("Running ").empty());
    EXPECT_FALSE(LogLinesWith("Object runned, result = 7").empty());
}

// The database sign-in fetches its add-on from the server like any resource
// and runs it; the server of the samples (and the demo's) serves one, so the
// sign-in leaves no error in the log.
TEST_F(AddonTest, TheDatabaseSignInRunsItsAddOnAndLogsNoError)
{
    const size_t errorsBefore = LogLinesWith(", ERROR, ").size();
    m_window->SetDBLogged(true);
    ASSERT_TRUE(m_window->DBLogged());
    EXPECT_EQ(LogLinesWith("browser_dblogin.so!RUNOBJECT").size(), 1u);
    EXPECT_EQ(LogLinesWith("Object runned, result = 0").size(), 1u);
    EXPECT_FALSE(Loaded("browser_dblogin.so"));
    const std::vector<std::string> errors = LogLinesWith(", ERROR, ");
    for (size_t i = errorsBefore; i < errors.size(); ++i)
        ADD_FAILURE() << "logged at the database sign-in: " << errors[i];
}

TEST_F(AddonTest, BrokenAddOnsRaiseThePartsTextsAndStayUnloaded)
{
    EXPECT_EQ(ErrorOf<EovnBrowser>([&] { m_window->RunObject("ADDON_NOEXPORT", ""); }),
              "Exception in RunObject: \r\nObject library does not support RUNOBJECT interface");
    EXPECT_FALSE(Loaded("addon_noexport.so"));
    EXPECT_EQ(ErrorOf<EovnBrowser>([&] { m_window->RunObject("ADDON_RAISE", "abc"); }),
              "Exception in RunObject: \r\nThe add-on failed on \"abc\"");
    EXPECT_FALSE(Loaded("addon_raise.so"));
    EXPECT_FALSE(LogLinesWith("Run object").empty());

    // Built against another version of the interface, or no library at all.
    const std::string old = ErrorOf<EovnBrowser>([&] { m_window->RunObject("ADDON_OLDAPI", ""); });
    EXPECT_EQ(old.rfind("Cannot Initialize Object Library: \"", 0), 0u) << old;
    EXPECT_EQ(old.back(), '"');
    EXPECT_FALSE(Loaded("addon_oldapi.so"));
    EXPECT_NE(ErrorOf([&] { m_window->RunObject("NOT_A_LIBRARY", ""); }), "");
}

TEST_F(AddonTest, AFileThatFailsVerificationIsAskedForThreeTimes)
{
    const std::string error = ErrorOf([&] { m_window->RunObject("CORRUPT_APPLET", ""); });
    EXPECT_NE(error, "");
    EXPECT_EQ(LogLinesWith("Fault: 1").size(), 1u);
    EXPECT_EQ(LogLinesWith("Fault: 2").size(), 1u);
    EXPECT_EQ(LogLinesWith("Fault: 3").size(), 1u);
    EXPECT_FALSE(Loaded("corrupt.so"));
}

TEST_F(AddonTest, BeforeSignInNothingLeaves)
{
    m_window->SetLogged(false);
    EXPECT_EQ(ErrorOf<EovnController>([&] { m_controller->RunObject("BROWSER_LOGIN", ""); }), "Not logged");
}

// The "System Information" dialog: its file and speed rules, the pages that
// fill once, and the network test against the local server's Ping.
#include "admin/NETHealthRules.h"
#include "admin/frmNETHealth.h"

#include "Components/Controller/files/ovnUtils.h"
#include "Components/Controller/mainwindow/OrvaneBrowser4.h"
#include "Components/Controller/ovnController.h"
#include "Components/Controller/ovnPreferences.h"
#include "Components/Nembra/NembraFileCache.h"
#include "Components/Nembra/ovnOndrel.h"
#include "base/KldLogFile.h"
#include "platform/DateUtils.h"
#include "platform/Processes.h"
#include "platform/ReportList.h"
#include "support/AppServerSession.h"
#include "support/ErrorOf.h"
#include "support/GuiProbe.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTabWidget>

#include <filesystem>

namespace {

std::string Cell(TReportList* list, int row, int column)
{
    return list->Cell(row, column);
}

// The row of a name (the lists sort by text).
int RowOf(TReportList* list, const std::string& name)
{
    for (int i = 0; i < list->Count(); ++i)
        if (list->Caption(i) == name)
            return i;
    return -1;
}

std::vector<std::string> Names(TReportList* list)
{
    std::vector<std::string> names;
    for (int i = 0; i < list->Count(); ++i)
        names.push_back(list->Caption(i));
    return names;
}

// A double-click on the row showing a name, as the user makes it.
void DoubleClickRow(TReportList* list, const std::string& name)
{
    const QRect rect = list->visualItemRect(list->topLevelItem(RowOf(list, name)));
    Input::DoubleClick(*list->viewport(), rect.left() + 5, rect.center().y());
}

std::vector<std::string> MemoLines(const TfrmNETHealth& form)
{
    const QStringList lines = form.mmResult()->toPlainText().split('\n');
    std::vector<std::string> result;
    for (const QString& line : lines)
        result.push_back(line.toStdString());
    return result;
}

} // namespace

TEST(NETHealthRules, FileChecksumIsStandardCrc32InLowerCaseWithoutLeadingZeros)
{
    TTempFolder folder;
    struct Case
    {
        std::string Content;
        std::string Crc;
    };
    // "123456789" is the standard check value; "a" has a leading zero digit
    // in eight-digit form (0xe8b7be43 has none, so also one that does).
    const Case cases[] = {{"123456789", "cbf43926"},
                          {"", "0"},
                          {"a", "e8b7be43"},
                          {"abc", "352441c2"},
                          {std::string("\x00", 1), "d202ef8d"},
                          {"hello world", "d4a1185"}};
    for (const Case& c : cases) {
        WriteText(folder / "f.bin", c.Content);
        EXPECT_EQ(FileCRC32(folder / "f.bin"), c.Crc) << c.Content;
    }
    EXPECT_NE(ErrorOf<EFOpenError>([&] { FileCRC32(folder / "missing.bin"); }), "");
}

TEST(NETHealthRules, SpeedsDivideInIntegersAndZeroTimeGivesZero)
{
    struct Case
    {
        int64_t Ms;
        int64_t Speed;
    };
    const Case cases[] = {{0, 0}, {-1, 0}, {1, 64000000}, {3, 21333333}, {1000, 64000}, {64000001, 0}};
    for (const Case& c : cases)
        EXPECT_EQ(NetSpeed(64000, c.Ms), c.Speed) << c.Ms;
}

TEST(NETHealthRules, TestBlockLines)
{
    const TDateTime now = EncodeDateTime(2026, 3, 4, 5, 6, 7, 0);
    const std::vector<std::string> lines = NetTestLines({7, 0, 250}, now, true);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0], "");
    EXPECT_EQ(lines[1], "<<<--- " + DateTimeToStr(now) + " --->>>");
    EXPECT_EQ(lines[2], "Network lag: 7 msec");
    EXPECT_EQ(lines[3], "Upload speed: 256,000 bytes/sec");
    EXPECT_EQ(lines[4], "Download speed: 0 bytes/sec");
    EXPECT_EQ(lines[5], "VNS status: Active");
    EXPECT_EQ(NetTestLines({0, 3, 0}, now, false)[5], "VNS status: Inactive");
    EXPECT_EQ(NetTestLines({0, 3, 0}, now, false)[4], "Download speed: 21,333,333 bytes/sec");
}

TEST(NETHealthRules, BrandsAndDownloadOptions)
{
    EXPECT_EQ(BrandText(0), "Orvane Browser");
    EXPECT_EQ(BrandText(1), "Tallowin");
    EXPECT_EQ(BrandText(2), "N/A");
    EXPECT_EQ(DownloadOptionName(0), "Automatic Version Checking (Default Option)");
    EXPECT_EQ(DownloadOptionName(1), "Always download from system server");
    EXPECT_EQ(DownloadOptionName(2), "Never download. Take from local cache");
}

TEST(NETHealthRules, KernelVersionFromVersionTxt)
{
    TTempFolder folder;
    EXPECT_EQ(KernelVersion(folder.Path()), "File version.txt not found!");
    WriteText(folder / "version.txt", "build=77\nversion=  2026.12.1  \n");
    EXPECT_EQ(KernelVersion(folder.Path()), "2026.12.1");
}

class NETHealthFormTest : public ::testing::Test
{
  protected:
    TNETHealthContext Context()
    {
        TNETHealthContext context;
        context.Brand = 1;
        context.ProgramFile = m_program / "Tallowin";
        context.BrowserVersion = "120.0";
        context.CacheFolder = m_cache.Path();
        context.Cache = &m_fileCache;
        context.DownloadOption = 2;
        context.CacheURI = "file:///srv/resources";
        context.UpdateURL = "http://localhost:8080";
        context.ConnectionName = "MAIN";
        context.ServerURL = "http://127.0.0.1:1/bin/orvane.dll";
        context.VNSHost = "127.0.0.1";
        context.VNSPort = "8090";
        return context;
    }
    TTempFolder m_program;
    TTempFolder m_cache;
    TNembraFileCache m_fileCache;
};

TEST_F(NETHealthFormTest, KernelPageListsTheBuildFilesOnce)
{
    WriteText(m_program / "Tallowin", std::string(1234, 'x'));
    WriteText(m_program / "Swaplet", "123456789");
    WriteText(m_program / "version.txt", "version=3.1.4\n");
    TfrmNETHealth form(Context());
    form.PageShown(nhKernel);
    EXPECT_EQ(form.lblVersion()->text().toStdString(), "Kernel version: 3.1.4, Web Browser: 120.0");
    EXPECT_EQ(form.lblProgram()->text().toStdString(), "Program file: " + m_program / "Tallowin");
    EXPECT_EQ(form.lblBrand()->text().toStdString(), "Tallowin");
    TReportList* list = form.lvFiles();
    ASSERT_EQ(list->Count(), 4);
    const int program = RowOf(list, "Tallowin");
    ASSERT_GE(program, 0);
    EXPECT_EQ(Cell(list, program, 2), "1,234");
    EXPECT_EQ(Cell(list, program, 3), "Double click");
    EXPECT_NE(Cell(list, program, 1), "N/A");
    for (const char* missing : {"libMirabo.so", "libWebView2Loader.so"}) {
        const int row = RowOf(list, missing);
        ASSERT_GE(row, 0) << missing;
        for (int column = 1; column <= 3; ++column)
            EXPECT_EQ(Cell(list, row, column), "N/A") << missing;
    }
    const int swaplet = RowOf(list, "Swaplet");
    form.ComputeKernelCRC(swaplet);
    EXPECT_EQ(Cell(list, swaplet, 3), "cbf43926");
    // A file gone after the listing raises the file error at the checksum.
    std::remove((m_program / "Tallowin").c_str());
    EXPECT_NE(ErrorOf<EFOpenError>([&] { form.ComputeKernelCRC(RowOf(list, "Tallowin")); }), "");

    form.PageShown(nhKernel);
    EXPECT_EQ(list->Count(), 4);
    EXPECT_TRUE(form.Fill().Filled(nhKernel));
    EXPECT_FALSE(form.Fill().Filled(nhNetwork));
}

TEST_F(NETHealthFormTest, FileListsSortByNameAndDoubleClickChecksTheRowClicked)
{
    WriteText(m_program / "Tallowin", std::string(1234, 'x'));
    WriteText(m_program / "Swaplet", "123456789");
    m_fileCache.AddResourceFile("LOGO", "logo.png");
    m_fileCache.AddResourceFile("HELP", "help.zip");
    m_fileCache.AddResourceFile("ABOUT", "about.txt");
    WriteText(m_cache / "logo.png", "123456789");
    WriteText(m_cache / "about.txt", "a");
    TfrmNETHealth form(Context());
    form.show();
    TReportList* files = form.lvFiles();
    EXPECT_EQ(Names(files),
              (std::vector<std::string>{"libMirabo.so", "libWebView2Loader.so", "Swaplet", "Tallowin"}));
    // The user turns the order round by the name caption; the checksum still
    // goes to the file of the row clicked.
    QHeaderView* header = files->header();
    Input::Click(*header->viewport(), header->sectionSize(0) / 2, header->height() / 2);
    EXPECT_EQ(Names(files),
              (std::vector<std::string>{"Tallowin", "Swaplet", "libWebView2Loader.so", "libMirabo.so"}));
    DoubleClickRow(files, "Swaplet");
    EXPECT_EQ(Cell(files, RowOf(files, "Swaplet"), 3), "cbf43926");
    EXPECT_EQ(Cell(files, RowOf(files, "Tallowin"), 3), "Double click");
    // The size column is right-aligned, caption and cells.
    const Qt::Alignment right = Qt::AlignRight | Qt::AlignVCenter;
    EXPECT_EQ(Qt::Alignment(files->headerItem()->textAlignment(2)), right);
    EXPECT_EQ(Qt::Alignment(files->topLevelItem(0)->textAlignment(2)), right);

    form.pcMain()->setCurrentIndex(nhResources);
    TReportList* resources = form.lvResources();
    EXPECT_EQ(Names(resources), (std::vector<std::string>{"ABOUT", "HELP", "LOGO"}));
    EXPECT_EQ(Qt::Alignment(resources->headerItem()->textAlignment(4)), right);
    DoubleClickRow(resources, "LOGO");
    EXPECT_EQ(Cell(resources, RowOf(resources, "LOGO"), 5), "cbf43926");
    EXPECT_EQ(Cell(resources, RowOf(resources, "ABOUT"), 5), "Double click");
}

TEST_F(NETHealthFormTest, OnlyTheProgramFilesListWidensItsColumns)
{
    // The program's files: each column as wide as its widest text (the
    // caption counts) plus 16 pixels.
    TfrmNETHealth form(Context());
    form.PageShown(nhKernel);
    TReportList* files = form.lvFiles();
    const QFontMetrics fileMetrics(files->font());
    int widest = fileMetrics.horizontalAdvance("File Name");
    for (int i = 0; i < files->Count(); ++i)
        widest = std::max(widest, fileMetrics.horizontalAdvance(QString::fromStdString(files->Caption(i))));
    EXPECT_EQ(files->columnWidth(0), widest + 16);
    EXPECT_FALSE(files->header()->stretchLastSection());

    // The resources list keeps its columns however long a name is.
    const std::string longName = "a-run-time-file-whose-name-is-longer-than-any-column.so";
    m_fileCache.AddResourceFile("A_RESOURCE_NAME_LONGER_THAN_A_COLUMN", longName);
    TfrmNETHealth other(Context());
    other.PageShown(nhResources);
    TReportList* resources = other.lvResources();
    const QFontMetrics metrics(resources->font());
    ASSERT_GE(resources->Count(), 1);
    EXPECT_LT(resources->columnWidth(1), metrics.horizontalAdvance(QString::fromStdString(longName)));
    EXPECT_TRUE(resources->header()->stretchLastSection());
}

TEST_F(NETHealthFormTest, MissingVersionTxtShowsNotFoundBesideTheBrowserVersion)
{
    TfrmNETHealth form(Context());
    form.PageShown(nhKernel);
    EXPECT_EQ(form.lblVersion()->text().toStdString(),
              "Kernel version: File version.txt not found!, Web Browser: 120.0");
}

TEST_F(NETHealthFormTest, ResourcesPageListsCachedEntries)
{
    m_fileCache.AddResourceFile("LOGO", "logo.png");
    m_fileCache.AddResourceFile("HELP", "help.zip");
    WriteText(m_cache / "logo.png", "123456789");
    TfrmNETHealth form(Context());
    form.PageShown(nhResources);
    EXPECT_EQ(form.lblCachePath()->text().toStdString(), "Local cache path: " + m_cache.Path());
    EXPECT_EQ(form.lblDownload()->text().toStdString(),
              "Download option: Never download. Take from local cache");
    EXPECT_EQ(form.lblCacheURI()->text().toStdString(), "Cache URI: file:///srv/resources");
    EXPECT_EQ(form.lblUpdateURL()->text().toStdString(), "Update URL: http://localhost:8080");
    TReportList* list = form.lvResources();
    ASSERT_EQ(list->Count(), 2);
    const int logo = RowOf(list, "LOGO");
    const int help = RowOf(list, "HELP");
    ASSERT_GE(logo, 0);
    ASSERT_GE(help, 0);
    EXPECT_EQ(Cell(list, logo, 1), "logo.png");
    EXPECT_EQ(Cell(list, logo, 2), ""); // no version yet
    EXPECT_EQ(Cell(list, logo, 4), "9");
    EXPECT_EQ(Cell(list, help, 3), "N/A");
    form.ComputeResourceCRC(logo);
    EXPECT_EQ(Cell(list, logo, 5), "cbf43926");
    form.PageShown(nhResources);
    EXPECT_EQ(list->Count(), 2);
}

class NETHealthServerTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        SignInAsAdmin(m_connection, m_server, "MAIN");
        NameDatabase(m_system, "SYSTEM_DATA", "SYSTEM", "MAIN");
        m_system.Open();
        SetUpPing(m_ping);
        m_ping.SetDatabase(&m_system);
    }
    std::string Ping(const std::string& data, int32_t size)
    {
        m_ping.Params().ParamByName("Data")->SetAsBlob(data);
        m_ping.Params().ParamByName("DataSize")->SetAsInteger(size);
        m_ping.Execute();
        return m_ping.Params().ParamByName("Data")->AsString();
    }
    TAppServerProcess m_server;
    TNembraConnection m_connection;
    TNembraDatabase m_system;
    TovnOndrelSystem m_ping;
};

TEST_F(NETHealthServerTest, PingAnswersDataSizeBytes)
{
    EXPECT_EQ(Ping("", 0), "");
    const std::string download = Ping("", 64000);
    EXPECT_EQ(download.size(), 64000u);
    EXPECT_EQ(Ping(download, 0), "");
    EXPECT_EQ(Ping("xyz", 7), "xyzxyzx");
    EXPECT_EQ(Ping("", 1048576).size(), 1048576u);
    for (int32_t bad : {-1, 1048577})
        EXPECT_NE(ErrorOf([&] { Ping("", bad); }), "") << bad;
}

TEST_F(NETHealthServerTest, NetworkTestAppendsABlockEachTime)
{
    TNETHealthContext context;
    context.ConnectionName = m_connection.ConnectionName();
    context.ServerURL = m_connection.ServerURL();
    context.VNSHost = "127.0.0.1";
    context.VNSPort = "9";
    context.SysDB = [this] { return &m_system; };
    TfrmNETHealth form(context);
    form.mmResult()->setPlainText("left over");
    form.PageShown(nhNetwork);
    EXPECT_EQ(form.mmResult()->toPlainText().toStdString(), "");
    EXPECT_EQ(form.lblConnection()->text().toStdString(), "Connection Name: MAIN");
    EXPECT_EQ(form.lblServer()->text().toStdString(), "Server URL: " + m_server.ServerURL());
    EXPECT_EQ(form.lblVNS()->text().toStdString(), "VNS URL: 127.0.0.1:9");

    form.TestNetwork();
    // The upload sent the 64000 bytes the download brought, and got none back.
    EXPECT_EQ(form.sysPing().Params().ParamByName("Data")->AsString(), "");
    EXPECT_EQ(form.sysPing().Params().ParamByName("DataSize")->AsInteger(), 0);
    form.PageShown(nhNetwork); // shown again: no clearing
    form.TestNetwork();
    const std::vector<std::string> lines = MemoLines(form);
    ASSERT_EQ(lines.size(), 12u);
    for (int block : {0, 6}) {
        EXPECT_EQ(lines[block], "");
        EXPECT_EQ(lines[block + 1].rfind("<<<--- ", 0), 0u);
        EXPECT_EQ(lines[block + 2].rfind("Network lag: ", 0), 0u);
        EXPECT_EQ(lines[block + 3].rfind("Upload speed: ", 0), 0u);
        EXPECT_EQ(lines[block + 4].rfind("Download speed: ", 0), 0u);
        EXPECT_EQ(lines[block + 5], "VNS status: Inactive");
    }
}

TEST_F(NETHealthServerTest, FailedPingLeavesTheMemo)
{
    TNETHealthContext context;
    context.SysDB = [this] { return &m_system; };
    TfrmNETHealth form(context);
    form.PageShown(nhNetwork);
    m_connection.Close();
    m_server.Stop();
    EXPECT_NE(ErrorOf([&] { form.TestNetwork(); }), "");
    EXPECT_EQ(form.mmResult()->toPlainText().toStdString(), "");
}

TEST(NETHealthController, BeforeSignInThePagesFillAndTheTestRaises)
{
    const std::filesystem::path startFolder = std::filesystem::current_path();
    TTempFolder dir;
    ovnSetDataPath(dir.Path());
    AppBrand = 0;
    auto* controller = new TovnController(nullptr);
    controller->Preferences().AutoLogin = false;
    {
        TfrmNETHealth form(NETHealthContextOfController());
        form.PageShown(nhKernel);
        form.PageShown(nhNetwork);
        EXPECT_EQ(form.lblBrand()->text().toStdString(), "Orvane Browser");
        EXPECT_EQ(form.lblProgram()->text().toStdString(), "Program file: " + ParamStr(0));
        EXPECT_EQ(form.lblConnection()->text().toStdString(), "Connection Name: ");
        // No session: the Ping call fails with a clear error.
        EXPECT_NE(ErrorOf([&] { form.TestNetwork(); }), "");
        EXPECT_EQ(form.mmResult()->toPlainText().toStdString(), "");
    }
    delete controller;
    FreeApplicationMainForm();
    Log.SetEnabled(false);
    ovnSetDataPath("");
    std::filesystem::current_path(startFolder);
}

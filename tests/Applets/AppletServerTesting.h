#pragma once
// A signed-in controller whose resource cache reaches the local application
// server, which serves the signed sample applet libraries (and a few broken
// files), and a module view of the module "Samples" (counter 42).

#include "AppletTesting.h"

#include "Components/Controller/applets/ModuleView.h"
#include "Components/Controller/files/ovnUtils.h"
#include "Components/Controller/mainwindow/OrvaneBrowser4.h"
#include "Components/Controller/ovnController.h"
#include "Components/Controller/ovnSigning.h"
#include "base/KldLogFile.h"
#include "platform/DynLibs.h"
#include "platform/FileUtils.h"
#include "support/AppServerProcess.h"
#include "support/DialogScript.h"
#include "support/LocalServerConnection.h"
#include "support/TempFolder.h"

#include <QApplication>
#include <QLabel>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

inline const char* const kSql = R"(
INSERT INTO TBL_ENTERPRISES (COUNTER, ENTERPRISE, DESCRIPTION, CURRENT_USE) VALUES (50, 'SUNNY HOMES', 'Sunny Homes', 'T');
INSERT INTO TBL_USERS (COUNTER, USER_ID, USER_PASSWORD, FULL_NAME, USER_TYPE, C_ENTERPRISE) VALUES
  (50, 'JSMITH', 'secret', 'Jane Smith', 'USR', 50);
INSERT INTO TBL_DBALIASES (COUNTER, ALIAS, DESCRIPTION, C_ENTERPRISE, CURRENT_USE) VALUES (50, 'SAMPLES', 'Samples', 50, 'T');
INSERT INTO TBL_ROLES (COUNTER, ROLE_ID, C_ENTERPRISE, C_ALIAS, CURRENT_USE) VALUES (50, 'STAFF', 50, 50, 'T');
INSERT INTO TBL_USERDBACCESS (C_USER, C_ROLE) VALUES (50, 50);
INSERT INTO TBL_RESOURCES (COUNTER, RESOURCE_NAME, FILE_NAME) VALUES
  (8001, 'CORRUPT_APPLET', 'corrupt.dll'), (8002, 'UNSIGNED_APPLET', 'unsigned.dll'),
  (8003, 'NOT_A_LIBRARY', 'notalib.dll'), (8004, 'PROGRAM_FILE', 'program.dll'),
  (8005, 'WELCOME_NOTE', 'welcome.txt');
INSERT INTO TBL_BIN (COUNTER, C_RESOURCE, FILE_NAME, OS) VALUES
  (8101, 8001, 'corrupt.so', 'L64'), (8102, 8002, 'unsigned.so', 'L64'),
  (8103, 8003, 'notalib.so', 'L64'), (8104, 8004, 'program.so', 'L64');
)";

inline const char* const kSamples[] = {"sample_applet",     "sample_widget", "sample_residents", "faulty_noinit",
                                "faulty_nilinit",    "faulty_raiseinit", "faulty_raiseshown",
                                "faulty_noform",     "faulty_refuseclose", "faulty_oldapi",
                                "faulty_raiseown",   "faulty_handinit"};

inline std::string SamplesFolder()
{
    return ExtractFilePath(BuiltFile(KLD_SAMPLE_APPLET));
}

inline std::string ReadFileBytes(const std::string& FileName)
{
    std::ifstream in(FileName, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void WriteFileBytes(const std::string& FileName, const std::string& Bytes)
{
    std::ofstream out(FileName, std::ios::binary | std::ios::trunc);
    out << Bytes;
}

class TAppletServerTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        // The Test.* procedures echo what the client sent (the Referer).
        m_server = std::make_unique<TAppServerProcess>(std::vector<std::string>{"--test-procedures"}, kSql);
        m_share = ExtractFilePath(m_server->DatabaseFile()) + "files/resources/";
        ForceDirectories(m_share);
        for (const char* sample : kSamples)
            ASSERT_TRUE(CopyFile(SamplesFolder() + sample + ".so", m_share + sample + ".so", false)) << sample;
        // A signed library with one byte of its body changed; the same
        // library without its trailer; a file that is no library; a program.
        std::string bytes = ReadFileBytes(SamplesFolder() + "sample_applet.so");
        std::string corrupt = bytes;
        corrupt[corrupt.size() / 2] ^= 0x5A;
        WriteFileBytes(m_share + "corrupt.so", corrupt);
        WriteFileBytes(m_share + "unsigned.so", bytes.substr(0, bytes.size() - sizeof(TovnModuleSignature)));
        WriteFileBytes(m_share + "notalib.so", "not a library at all");
        WriteFileBytes(m_share + "welcome.txt", "Welcome");
        ASSERT_TRUE(CopyFile("/bin/true", m_share + "program.so", false));

        ovnSetDataPath(m_dir.Path());
        AppBrand = 1;
        m_controller = new TovnController(nullptr);
        m_window = m_controller->Browser();
        m_controller->Preferences().AutoLogin = false;
        // The database sign-in after the sign-in is tested on its own.
        m_controller->Preferences().AutoDBLogin = false;
        UseOnlyLocalServer(m_controller->Connections(), m_server->Port(), "Local");
        m_window->ExecuteLoginDialog = [](const TLoginCallback& callback) {
            return callback(nullptr, "jsmith", "secret", "Local");
        };
        m_window->UserLogInExec();
        ASSERT_TRUE(m_window->Logged());

        m_entry = m_window->ModuleItems().Add("Samples", 42);
        m_view = new TfrmModuleView(nullptr, m_entry);
        m_entry->SetForm(m_view);
        TfrmModuleView::CtrlKeyDown = [this] { return m_ctrl; };
    }
    void TearDown() override
    {
        TfrmModuleView::CtrlKeyDown = nullptr;
        if (m_view) {
            m_view->ResetModify();
            m_view->CloseAllApplets(false);
            delete m_view.data();
        }
        ProcessMessages();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        m_window->SetLogged(false);
        delete m_controller;
        FreeApplicationMainForm();
        Log.SetEnabled(false);
        ovnSetDataPath("");
        AppBrand = 0;
        std::filesystem::current_path(m_startFolder);
    }

    // One row of the main window's menu table.
    void AddMenuRow(int Index, int Parent, bool Executable, const std::string& Description,
                    const std::string& Resource = "", int Module = 42)
    {
        TDataSet& menu = m_window->dsMenu();
        if (!menu.Active())
            menu.Open();
        menu.Append();
        menu.FieldByName("Index")->SetAsInteger(Index);
        menu.FieldByName("ParentIndex")->SetAsInteger(Parent);
        menu.FieldByName("Module")->SetAsInteger(Module);
        menu.FieldByName("Executable")->SetAsBoolean(Executable);
        menu.FieldByName("Description")->SetAsString(Description);
        menu.FieldByName("Resource")->SetAsString(Resource);
        menu.FieldByName("Security_Index")->SetAsInteger(Index);
        menu.FieldByName("Log_Access")->SetAsBoolean(false);
        menu.Post();
    }
    bool Launch(const std::string& Resource, int Kind, int Mode = 0xF000, const std::string& Params = "",
                TObject* Sender = nullptr, bool Reuse = true)
    {
        return m_view->Launch(Resource, 3, "Sample", 42, false, Mode, Params, Sender, Kind, Reuse);
    }
    // Whether a library of the cache folder with that file name is loaded.
    bool Loaded(const std::string& FileName) const
    {
        for (const std::string& module : GetLoadedModules())
            if (ExtractFileName(module) == FileName && module.find("/cache/") != std::string::npos)
                return true;
        return false;
    }
    std::vector<std::string> LogLinesWith(const std::string& Text) const
    {
        std::vector<std::string> found;
        std::stringstream s(ReadText(Log.FileName()));
        for (std::string line; std::getline(s, line);)
            if (line.find(Text) != std::string::npos)
                found.push_back(line);
        return found;
    }
    // Delivers what the steps before posted, and what that posted in turn.
    void Settle()
    {
        for (int round = 0; round < 4; ++round) {
            ProcessMessages();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    }
    std::string LabelText(QWidget* Form, const char* Name) const
    {
        auto* label = Form->findChild<QLabel*>(Name);
        return label ? label->text().toStdString() : "(none)";
    }

    std::filesystem::path m_startFolder = std::filesystem::current_path();
    TTempFolder m_dir;
    std::unique_ptr<TAppServerProcess> m_server;
    std::string m_share;
    TDialogScript m_dialogs;
    TovnController* m_controller = nullptr;
    TfrmOrvaneBrowser4* m_window = nullptr;
    TModuleItem* m_entry = nullptr;
    QPointer<TfrmModuleView> m_view;
    bool m_ctrl = false;
};



// The database explorer's consoles over the local application server: the
// gallery starts its own server (tools/appserver, with the demo database),
// signs in as ADMIN and runs a query in an SQL console, the stored procedure
// FACILITY_RESIDENTS in the stored-procedure console and PLG_DEMO's Echo in
// the plug-in console, as a user would from the explorer.

#include "tools/gallery/GallerySamples.h"
#include "tools/gallery/GalleryServer.h"

#include "Components/Nembra/NembraDBDataSets.h"
#include "Components/Nembra/ovnOndrel.h"
#include "admin/ConsoleRules.h"
#include "admin/ExplorerConsoles.h"
#include "admin/SQLHistory.h"
#include "platform/DataSource.h"
#include "platform/Params.h"
#include "platform/StockControls.h"
#include "ui/KldCollectionView.h"
#include "ui/KldTabControl.h"

#include <QApplication>
#include <QVBoxLayout>

#include <cstdio>
#include <memory>

namespace {

class TConsoleSample : public QWidget
{
  public:
    explicit TConsoleSample(QWidget* parent) : QWidget(parent)
    {
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        Pages = new TKldPageControl(this);
        Pages->SetTabStyle(ctsVS2005TopTabs);
        Pages->SetBgColor(RGB(0xE4, 0xE9, 0xF0));
        Pages->SetBorderColor(RGB(0x8A, 0x9B, 0xB2));
        Pages->SelectedFont().SetName("Tahoma");
        Pages->SetShowCloseIcon(true);
        Pages->SetTabHeight(21);
        layout->addWidget(Pages);
        try {
            SignIn();
        } catch (const std::exception& e) {
            std::fprintf(stderr, "gallery: explorer consoles: %s\n", e.what());
        }
        Sql = std::make_unique<TSQLEditorObject>(*Pages, Source, History, &System, true);
        Closable = std::make_unique<TSQLEditorObject>(*Pages, Source, History, &Maple, false);
        Procs = std::make_unique<TStoredProcEditorObject>(*Pages, Source);
        Plugins = std::make_unique<TPluginEditorObject>(*Pages, Source);
        Pages->SetActivePage(Sql->TabSheet());
    }

    ~TConsoleSample() override
    {
        Plugins.reset();
        Procs.reset();
        Closable.reset();
        Sql.reset();
        Maple.Close();
        System.Close();
        Connection.Close();
    }

    // Runs what a user would, each step on its own: a failure shows in the
    // console's log and is reported on the console.
    void RunAll()
    {
        Sql->SetSQLText(
            "select user_id, first_name, last_name, user_type\n  from tbl_users\n order by user_id");
        Try([&] { Sql->Execute(); });
        Closable->SetSQLText("update tbl_resident set notes = notes where c_facility = 1");
        Try([&] { Closable->Execute(); });
        Try([&] {
            Procs->LoadStoredProc(&Maple, "FACILITY_RESIDENTS");
            std::string one = "1";
            Procs->ParamGrid()->DoSetCellText(3, 0, one);
            Procs->Run();
        });
        Try([&] {
            Plugins->LoadPluginProc("GALLERY_CONSOLES", "PLG_DEMO", "Echo");
            std::string text = "Hello ";
            std::string count = "2";
            Plugins->ParamGrid()->DoSetCellText(3, 0, text);
            Plugins->ParamGrid()->DoSetCellText(3, 1, count);
            Plugins->Run();
        });
    }

    TKldPageControl* Pages = nullptr;
    std::unique_ptr<TSQLEditorObject> Sql;
    std::unique_ptr<TSQLEditorObject> Closable;
    std::unique_ptr<TStoredProcEditorObject> Procs;
    std::unique_ptr<TPluginEditorObject> Plugins;

  private:
    void SignIn()
    {
        if (Server.URL().empty())
            return;
        Connection.SetConnectionName("GALLERY_CONSOLES");
        Connection.SetServerURL(Server.URL());
        Connection.SetAuthentication(qauthBasic);
        Connection.Params().Add("USER_ID=ADMIN");
        Connection.Params().Add("USER_PWD=admin");
        Connection.Params().Add("FORCE=True");
        Connection.GenerateRandomSecretKey();
        Connection.Open();
        for (auto [db, name, alias] :
             {std::tuple{&System, "SYSTEM", "SYSTEM"}, std::tuple{&Maple, "MAPLE", "MAPLE"}}) {
            db->SetDatabaseName(name);
            db->SetConnectionName("GALLERY_CONSOLES");
            db->Params().Add(std::string("DB_ALIAS=") + alias);
            db->Open();
        }
    }

    template <class Fn> void Try(Fn&& fn)
    {
        try {
            fn();
        } catch (const std::exception& e) {
            std::fprintf(stderr, "gallery: explorer consoles: %s\n", e.what());
        }
    }

    TGalleryServer Server;
    TNembraConnection Connection;
    TNembraDatabase System;
    TNembraDatabase Maple;
    TDataSource Source;
    TSQLHistory History;
};

QWidget* MakeConsoles(QWidget* parent)
{
    auto* sample = new TConsoleSample(parent);
    sample->RunAll();
    return sample;
}

std::vector<std::pair<std::string, QImage>> RunConsoles(QWidget* control)
{
    auto* sample = static_cast<TConsoleSample*>(control);
    std::vector<std::pair<std::string, QImage>> pictures;
    const auto show = [&](TEditorObject& console, const char* name) {
        sample->Pages->SetActivePage(console.TabSheet());
        console.BindDataSource();
        QApplication::processEvents();
        pictures.emplace_back(name, control->window()->grab().toImage());
    };
    show(*sample->Closable, "explorer-sql-console-log");
    show(*sample->Procs, "explorer-storedproc-console");
    show(*sample->Plugins, "explorer-plugin-console");
    sample->Pages->SetActivePage(sample->Sql->TabSheet());
    sample->Sql->BindDataSource();
    return pictures;
}

const TGalleryRegistration Consoles{{"explorer-sql-console", QSize(820, 560), MakeConsoles, RunConsoles}};

} // namespace

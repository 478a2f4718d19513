// The database explorer over a local application server of its own (the
// demo database): ADMIN's connection with the system and MAPLE databases,
// the table TBL_USERS selected on "Data", and the connection selected on
// "Definition" with its password hidden.

#include "tools/gallery/GallerySamples.h"
#include "tools/gallery/GalleryServer.h"

#include "Components/Nembra/NembraDBDataSets.h"
#include "admin/frmExplorerMain.h"

#include <QApplication>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <cstdio>
#include <memory>

namespace {

class TExplorerSample : public QWidget
{
  public:
    explicit TExplorerSample(QWidget* parent) : QWidget(parent)
    {
        try {
            SignIn();
        } catch (const std::exception& e) {
            std::fprintf(stderr, "gallery: explorer: %s\n", e.what());
        }
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        Explorer = new TfrmExplorerMain(this, nullptr);
        Explorer->setWindowFlags(Qt::Widget);
        layout->addWidget(Explorer);
    }

    ~TExplorerSample() override
    {
        delete Explorer;
        Maple.Close();
        System.Close();
        Connection.Close();
    }

    QTreeWidgetItem* Main() const { return Explorer->ConnectionNode(&Connection); }
    QTreeWidgetItem* Child(QTreeWidgetItem* Node, const char* Caption) const
    {
        QTreeWidgetItem* child = TfrmExplorerMain::ChildNode(Node, Caption);
        if (!child)
            std::fprintf(stderr, "gallery: explorer: no node \"%s\"\n", Caption);
        return child;
    }

    TfrmExplorerMain* Explorer = nullptr;

  private:
    void SignIn()
    {
        if (Server.URL().empty())
            return;
        Connection.SetConnectionName("Local demo server");
        Connection.SetServerURL(Server.URL());
        Connection.SetAuthentication(qauthBasic);
        Connection.Params().SetText("USER_ID=ADMIN\nUSER_PWD=admin\nFORCE=True");
        Connection.GenerateRandomSecretKey();
        Connection.Open();
        for (auto [db, name, alias] :
             {std::tuple{&System, "SYSTEM_DATA", "SYSTEM"}, std::tuple{&Maple, "MAPLE", "MAPLE"}}) {
            db->SetDatabaseName(name);
            db->SetConnectionName("Local demo server");
            db->Params().Add(std::string("DB_ALIAS=") + alias);
            db->Open();
        }
    }

    TGalleryServer Server;
    TNembraConnection Connection;
    TNembraDatabase System;
    TNembraDatabase Maple;
};

QWidget* MakeExplorer(QWidget* parent)
{
    return new TExplorerSample(parent);
}

// The connection on "Definition" as an extra picture; the sample's own
// picture shows TBL_USERS on "Data".
std::vector<std::pair<std::string, QImage>> SelectNodes(QWidget* control)
{
    auto* sample = static_cast<TExplorerSample*>(control);
    std::vector<std::pair<std::string, QImage>> pictures;
    QTreeWidgetItem* main = sample->Main();
    if (!main)
        return pictures;
    if (QTreeWidgetItem* plugins = sample->Child(main, "Plugins")) {
        plugins->setExpanded(true);
        if (QTreeWidgetItem* demo = sample->Child(plugins, "PLG_DEMO"))
            demo->setExpanded(true);
    }
    sample->Explorer->SetCurrentNode(main);
    QApplication::processEvents();
    pictures.emplace_back("explorer-definition", control->window()->grab().toImage());
    QTreeWidgetItem* system = sample->Child(main, "SYSTEM_DATA");
    if (!system)
        return pictures;
    system->setExpanded(true);
    if (QTreeWidgetItem* users = sample->Child(sample->Child(system, "Tables"), "TBL_USERS")) {
        sample->Explorer->SetCurrentNode(users);
        sample->Explorer->tvObjects->scrollToItem(users);
    }
    QApplication::processEvents();
    return pictures;
}

const TGalleryRegistration Explorer{{"explorer-data", QSize(980, 600), MakeExplorer, SelectNodes}};

} // namespace

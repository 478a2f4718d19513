// Samples of the module groups editor "Groups": its list of groups (the
// database's preset groups plain, the user's own bold, one hidden) and the
// page that edits one of the user's groups.

#include "tools/gallery/GallerySamples.h"

#include "Components/Controller/applets/frmGroups.h"

#include <QListWidget>
#include <QPushButton>

namespace {

TfrmGroups* MakeGroups(QWidget* parent)
{
    TNamedList groups;
    const std::string preset = "\"Favorites=Care\r\n\",\"Daily Work=Care\r\nOffice\r\n\",\"General=System\r\n\"";
    MergeModulesLayout(groups, preset,
                       "\"Favorites=Care\r\nMail\r\n\",\"Night Shift=Care\r\nReports\r\n\",\"Tom's \"\"own\"\", list=Office\r\n\","
                       "\"$HIDE=General\r\n\"");
    TStringList modules;
    modules.SetText("Care\r\nOffice\r\nMail\r\nReports\r\nArchive\r\nSystem\r\n");
    auto* dialog = new TfrmGroups(parent);
    dialog->setWindowFlags(Qt::Widget);
    dialog->SetPosition(poDesigned); // in the gallery's window, not centred on the screen
    dialog->Setup(groups, modules);
    return dialog;
}

QWidget* MakeGroupList(QWidget* parent)
{
    TfrmGroups* dialog = MakeGroups(parent);
    dialog->lstGroups()->setCurrentRow(3);
    return dialog;
}

QWidget* MakeGroupPage(QWidget* parent)
{
    TfrmGroups* dialog = MakeGroups(parent);
    dialog->lstGroups()->setCurrentRow(1);
    dialog->btnEditGroup()->click();
    dialog->lstMembers()->setCurrentRow(0);
    dialog->lstAvailable()->setCurrentRow(3);
    return dialog;
}

const TGalleryRegistration groupList({"module-groups", QSize(460, 330), MakeGroupList, {}});
const TGalleryRegistration groupPage({"module-groups-edit", QSize(460, 330), MakeGroupPage, {}});

} // namespace

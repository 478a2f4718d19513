// The main window's services that need applets: starting an applet by its
// resource, a module's menu rows, the applet information box and the
// Referer of the connection's requests.
#include "Components/Controller/applets/AppContainer.h"
#include "Components/Controller/applets/ovnApplet.h"
#include "Components/Controller/mainwindow/OrvaneBrowser4.h"
#include "Components/Controller/ovnController.h"
#include "platform/Dialogs.h"
#include "platform/FileUtils.h"
#include "platform/SysUtils.h"

#include <fstream>
#include <zlib.h>

namespace {

// The top applet of the desktop's active window when that is a container.
TovnApplet* ActiveTopApplet()
{
    auto* container = AppDesktop ? dynamic_cast<TKldAppContainer*>(AppDesktop->Active()) : nullptr;
    return container ? container->GetTopApplet() : nullptr;
}

} // namespace

bool TfrmOrvaneBrowser4::RunApplet(int32_t Module, const std::string& Resource, TSearchBy SearchBy, int32_t Flags,
                                   const std::string& Params, TObject* Obj, bool Reuse)
{
    if (!FindResource(Resource, SearchBy, false))
        return false;
    TDataSet& row = *m_sysGetMenu;
    const std::string resource = row.FieldByName("Resource")->AsString();
    const int32_t securityIndex = row.FieldByName("Security_Index")->AsInteger();
    const std::string caption = row.FieldByName("Description")->AsString();
    const bool logAccess = row.FieldByName("Log_Access")->AsBoolean();
    if (Module == -1)
        Module = row.FieldByName("Module")->AsInteger();
    TModuleItem* entry = m_moduleItems->Find(Module);
    if (!entry)
        throw Exception(Format("Cannot find module for specified resource \"%d\"", Module));
    if (!entry->GetActive())
        entry->SetActive(true);
    auto* view = dynamic_cast<TfrmModuleView*>(entry->Form());
    if (!view)
        throw Exception(Format("Cannot find module for specified resource \"%d\"", Module));
    return view->Launch(resource, securityIndex, caption, Module, logAccess, Flags, Params, Obj, m_launchKind, Reuse);
}

void TfrmOrvaneBrowser4::DoPrepareMenu(int32_t Module)
{
    TDataSet& menu = *m_dsMenu;
    if (!menu.Active())
        menu.Open();
    menu.SetFilter("MODULE = " + std::to_string(Module));
    menu.First();
    if (!menu.IsEmpty())
        return;
    TDataSet& rows = *m_sysGetMenu;
    TMenuParents parents;
    rows.SetFilter("C_MODULE = " + std::to_string(Module));
    for (rows.First(); !rows.Eof(); rows.Next()) {
        try {
            menu.Append();
            menu.FieldByName("Index")->SetAsInteger(rows.FieldByName("Index")->AsInteger());
            menu.FieldByName("Module")->SetAsInteger(rows.FieldByName("C_Module")->AsInteger());
            const bool executable = rows.FieldByName("Executable")->AsBoolean();
            menu.FieldByName("Executable")->SetAsBoolean(executable);
            TField* level = rows.FieldByName("Level");
            TField* index = rows.FieldByName("Index");
            if (level->IsNull() || index->IsNull())
                throw Exception(Format("Menu row of module %d without \"%s\"", Module,
                                       level->IsNull() ? std::string("Level") : std::string("Index")));
            menu.FieldByName("Level")->SetAsInteger(level->AsInteger());
            menu.FieldByName("ParentIndex")->SetAsInteger(parents.Add(level->AsInteger(), index->AsInteger()));
            menu.FieldByName("Description")->SetAsString(rows.FieldByName("Description")->AsString());
            menu.FieldByName("Icon_Resource")->SetAsString(rows.FieldByName("Icon_Resource")->AsString());
            menu.FieldByName("Icon_Version")->SetAsInteger(rows.FieldByName("Icon_Version")->AsInteger());
            if (executable) {
                menu.FieldByName("Resource")->SetAsString(rows.FieldByName("Resource")->AsString());
                menu.FieldByName("Version")->SetAsInteger(rows.FieldByName("Version")->AsInteger());
                menu.FieldByName("Security_Index")->SetAsInteger(rows.FieldByName("Security_Index")->AsInteger());
                menu.FieldByName("Shortcut")->SetAsString(rows.FieldByName("Shortcut")->AsString());
                menu.FieldByName("Log_Access")->SetAsBoolean(rows.FieldByName("Log_Access")->AsBoolean());
            }
            menu.Post();
        } catch (...) {
            menu.Cancel();
            ApplicationHandleException("TfrmOrvaneBrowser4.DoPrepareMenu");
            break;
        }
    }
}

std::string TfrmOrvaneBrowser4::AppletInfoText(const std::string& Caption, const std::string& Resource,
                                               const std::string& FileName, int64_t Version, const std::string& Path)
{
    if (!FileExists(Path))
        throw Exception(Format("File not found: \"%s\"", Path));
    std::ifstream in(Path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof())
        throw EInOutError(Format("Cannot read \"%s\"", Path));
    const uLong crc = crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(bytes.data()),
                            static_cast<uInt>(bytes.size()));
    TDateTime age = 0;
    FileAge(Path, age);
    return Format("Applet Name: %s\r\nResource Name: %s\r\nFile Name: %s\r\nFile Version: %d\r\nFile Date: "
                  "%s\r\nFile Size: %s\r\n",
                  Caption, Resource, FileName, Version, DateTimeToStr(age),
                  FormatFloat("#,##", static_cast<double>(bytes.size()))) +
           Format("CRC32: %x", static_cast<uint32_t>(crc));
}

void TfrmOrvaneBrowser4::actAppletInfoExecute(TObject*)
{
    TovnApplet* applet = ActiveTopApplet();
    if (!applet)
        return;
    TResourceDescriptorRef entry = Controller->Cache().GetResourceDescriptor(applet->Resource, false);
    const std::string fileName = entry ? entry->FileName : std::string();
    const int64_t version = entry ? entry->Version : 0;
    const std::string path = IncludeTrailingPathDelimiter(Controller->GetCachePath()) + fileName;
    MessageDlg(AppletInfoText(applet->Caption, applet->Resource, fileName, version, path), mtInformation, {mbOK});
}

void TfrmOrvaneBrowser4::DoOnGetReferer(TObject*, std::string& Referer)
{
    Referer.clear();
    if (TovnApplet* applet = ActiveTopApplet())
        Referer = applet->Resource;
}

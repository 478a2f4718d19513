#pragma once
// The administration console (`TfrmAdmin`, "Administration Console") and
// the page of the built-in module "System" (`TfrmSystemView`): module
// windows whose whole client is one item view of launch items. The console
// opens the administrative tools; the page hands the chosen tag to the
// controller's RunSysApplet.
//
// One console at a time: the main window's holder of the administration
// console is `frmAdmin`; it forgets the window when the window is destroyed.
// User-interface thread only.

#include "Components/Controller/applets/KldForms.h"
#include "admin/AdminContext.h"
#include "platform/Forms.h"
#include "platform/ImageList.h"

#include <functional>
#include <memory>

class TKldAppItem;
class TKldAppletView;

// The console the main window holds; null when none is open.
class TfrmAdmin;
TfrmAdmin* frmAdmin();

// Opens a modal tool of the console by its tag (11 connections, 12 users,
// 13 enterprises, 17 information); a tag without a tool opens nothing.
using TAdminToolFactory = std::function<TDialogForm*(int Tag, const TAdminContext& Context)>;

class TfrmAdmin : public TModuleForm
{
  public:
    TfrmAdmin(QWidget* Owner, TModuleItem* Item, TAdminContext Context);
    ~TfrmAdmin() override;
    std::string ClassName() const override { return "TfrmAdmin"; }

    TKldAppletView& View() const { return *m_view; }
    TCustomImageList& KldImages() { return m_images; }
    void KldOnAppSelect(TObject* Sender, TKldAppItem* Item);
    void FormClose(TFormCloseAction& Action) override;

    // How the modal tools are made (the console's own forms by default);
    // tests put their own.
    TAdminToolFactory ToolFactory;
    // Opens the database explorer (the main window's DoOpenOndrelExplorer
    // by default).
    std::function<void()> OpenExplorer;

  private:
    void KldInit();

    TAdminContext m_context;
    TKldAppletView* m_view;
    TCustomImageList m_images{32, 32};
};

class TfrmSystemView : public TModuleForm
{
  public:
    TfrmSystemView(QWidget* Owner, TModuleItem* Item, TCustomImageList* Images);
    std::string ClassName() const override { return "TfrmSystemView"; }

    TKldAppletView& View() const { return *m_view; }
    void DoOnAppSelect(TObject* Sender, TKldAppItem* Item);
    // The controller's RunSysApplet by default.
    std::function<void(int32_t Kind)> RunSysApplet;

  private:
    TKldAppletView* m_view;
};

// The console's tools of this folder: "Connections" (11), "Users" (12) and
// "Information" (17); the others open nothing yet.
TDialogForm* MakeAdminTool(int Tag, const TAdminContext& Context);

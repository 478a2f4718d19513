#include "Components/Controller/applets/AppContainer.h"

#include "Components/Controller/applets/ovnApplet.h"
#include "Components/Controller/applets/ovnAppletUtils.h"
#include "Components/Controller/ovnController.h"
#include "platform/ComCtrls.h"
#include "platform/Dialogs.h"
#include "platform/SysUtils.h"
#include "ui/ovnTabUtils.h"

#include <QFrame>
#include <QResizeEvent>

#include <algorithm>

const char* const SContainerUnsavedData = "There are some unsaved data in applet \"%s\". Close anyway?";

TKldAppContainer::TKldAppContainer(TModuleItem* Item) : TModuleForm(nullptr, Item)
{
    setWindowTitle("Applet Container");
    setAutoFillBackground(true); // the frame around the applet's form
}

TKldAppContainer::~TKldAppContainer()
{
    if (TModuleForm* view = GetModuleForm())
        SendMessage(view->Handle(), WM_APPLETNOTIFICATION, 1, reinterpret_cast<LPARAM>(this));
    // Applets still here (the program is ending) go with their forms before
    // the window takes those forms down with it.
    while (!m_applets.empty()) {
        TovnApplet* applet = m_applets.front();
        for (int i = applet->GetChildCount() - 1; i >= 0; --i) {
            TovnAppletForm* child = applet->GetChildren(i);
            applet->RemoveChild(child);
            delete child;
        }
        applet->RemoveChild(nullptr);
        try {
            DoCleanUpApplet(applet, &m_applets);
        } catch (...) {
            ReportCurrentException(ClassName() + ".Destroy");
            std::erase(m_applets, applet);
        }
    }
}

TModuleForm* TKldAppContainer::GetModuleForm() const
{
    TModuleItem* item = ModuleItem();
    return item ? dynamic_cast<TModuleForm*>(item->Form()) : nullptr;
}

bool TKldAppContainer::Contains(const std::string& Resource) const
{
    return std::any_of(m_applets.begin(), m_applets.end(),
                       [&](const TovnApplet* a) { return AnsiSameText(a->Resource, Resource); });
}

bool TKldAppContainer::Contains(const TovnApplet* Applet) const
{
    return Applet && std::find(m_applets.begin(), m_applets.end(), Applet) != m_applets.end();
}

bool TKldAppContainer::GetModified() const
{
    return std::any_of(m_applets.begin(), m_applets.end(), [](const TovnApplet* a) { return a->Modified; });
}

void TKldAppContainer::ResetModify()
{
    for (TovnApplet* applet : m_applets)
        applet->Modified = false;
}

TovnApplet* TKldAppContainer::AddApplet(TovnApplet* Applet, TovnAppletForm* Form)
{
    if (!Form && Applet)
        Form = Applet->MainForm.data();
    if (!Applet || !Form)
        return Applet;
    if (!Contains(Applet))
        m_applets.insert(m_applets.begin(), Applet);
    Applet->Host = this;
    PrepareForm(Form);
    Form->setParent(this, Qt::Widget);
    PlaceForms();
    Form->raise();
    UpdateCaption();
    if (TModuleForm* view = GetModuleForm(); view && view->OnActivate)
        view->OnActivate(this);
    return Applet;
}

void TKldAppContainer::PrepareForm(TovnAppletForm* Form)
{
    Form->SetScaled(false);
    if (Form->FindComponent("ReportPreview")) {
        m_borderWidth = 0;
        if (auto* bottom = dynamic_cast<QWidget*>(Form->FindComponent("pnlBottom")))
            bottom->setFixedHeight(0);
    } else {
        m_borderWidth = 4;
    }
    if (Form->FindComponent("Manager"))
        if (auto* grid = dynamic_cast<QFrame*>(Form->FindComponent("Grid")))
            grid->setFrameStyle(QFrame::Box | QFrame::Plain);
    // The controls carry no meta-object of their own: findChildren cannot
    // tell them apart.
    for (QObject* part : Form->findChildren<QObject*>())
        if (auto* tabs = dynamic_cast<TCustomTabControl*>(part))
            TabPainter->SetTabControl(tabs);
    PlaceForms();
}

void TKldAppContainer::UpdateCaption()
{
    const TovnApplet* top = GetTopApplet();
    if (!top)
        return;
    const TModuleForm* view = GetModuleForm();
    SetCaption(view ? view->Caption() + " / " + top->Caption : top->Caption);
}

void TKldAppContainer::PlaceForms()
{
    const QRect client = rect().adjusted(m_borderWidth, m_borderWidth, -m_borderWidth, -m_borderWidth);
    for (TovnApplet* applet : m_applets)
        if (TovnAppletForm* form = applet->MainForm.data(); form && form->parentWidget() == this)
            form->setGeometry(client);
}

void TKldAppContainer::resizeEvent(QResizeEvent* Event)
{
    TModuleForm::resizeEvent(Event);
    PlaceForms();
}

void TKldAppContainer::CleanUpApplet(TovnApplet* Applet)
{
    if (!DoCleanUpApplet(Applet, &m_applets))
        return;
    TovnApplet* top = GetTopApplet();
    if (!top)
        return;
    UpdateCaption();
    if (TModuleForm* view = GetModuleForm())
        SendMessage(view->Handle(), WM_APPLETNOTIFICATION, 2, reinterpret_cast<LPARAM>(top));
    if (!m_closingAll) {
        if (TovnAppletForm* form = top->MainForm.data()) {
            PrepareForm(form);
            form->raise();
            form->show();
            SendMessage(form->Handle(), WM_APPLETREACTIVATE, 0, 0);
        }
    }
}

void TKldAppContainer::AppletClosed(LPARAM Applet)
{
    if (!m_applets.empty()) {
        // A pointer that no listed applet has is nothing of ours: it is never
        // followed.
        TovnApplet* applet = Applet == 0 ? GetTopApplet() : reinterpret_cast<TovnApplet*>(Applet);
        if (Contains(applet))
            CleanUpApplet(applet);
    }
    if (!m_applets.empty()) {
        if (Controller)
            Controller->UpdateInfoBar();
    } else {
        close();
    }
}

void TKldAppContainer::WndProc(TMessage& Message)
{
    switch (Message.Msg) {
    case WM_APPLETNOTIFICATION:
        AppletClosed(Message.LParam);
        break;
    case WM_FILLINFOBARITEMS:
        if (TovnApplet* top = GetTopApplet(); top && top->MainForm)
            Message.Result = top->MainForm->Perform(Message.Msg, Message.WParam, Message.LParam);
        break;
    default:
        TModuleForm::WndProc(Message);
    }
}

bool TKldAppContainer::CloseQuery()
{
    TovnApplet* top = GetTopApplet();
    if (GetModuleForm() && top && top->MainForm)
        return top->MainForm->CloseQuery();
    return true;
}

void TKldAppContainer::FormClose(TFormCloseAction& Action)
{
    if (!m_applets.empty()) {
        Action = fcaNone;
        GetTopApplet()->Close(false);
    } else if (m_closingAll) {
        Action = fcaNone;
    } else {
        Action = fcaFree;
    }
}

bool TKldAppContainer::AllClose()
{
    m_closingAll = true;
    try {
        while (!m_applets.empty()) {
            TovnApplet* top = GetTopApplet();
            if (top->Modified &&
                MessageDlg(Format(SContainerUnsavedData, top->Caption), mtConfirmation, {mbYes, mbNo}) != mrYes)
                break;
            const size_t before = m_applets.size();
            const int children = top->GetChildCount();
            top->Close(false);
            ProcessMessages();
            // A close that closed nothing (a form refusing) ends the
            // close-all as a No does.
            if (m_applets.size() == before && GetTopApplet() == top && top->GetChildCount() == children)
                break;
        }
    } catch (...) {
        m_closingAll = false;
        throw;
    }
    m_closingAll = false;
    return m_applets.empty();
}

void TKldAppContainer::Activate()
{
    TModuleForm::Activate();
    if (TModuleForm* view = GetModuleForm(); view && view->OnActivate)
        view->OnActivate(this);
}

void TKldAppContainer::Deactivate()
{
    TModuleForm::Deactivate();
    if (QWidget* focused = focusWidget())
        focused->clearFocus();
}

#include "Components/Controller/applets/KldForms.h"

#include "Components/Controller/ovnController.h"

#include <QAction>
#include <QCloseEvent>
#include <QMenu>
#include <QPainter>

#include <algorithm>

TovnDesktop* AppDesktop = nullptr;

// ---------------------------------------------------------------------------
// TModuleForm

TModuleForm::TModuleForm(QWidget* Parent, TModuleItem* Item) : TCustomModuleForm(Parent, Item)
{
    // The desktop tiles its picture behind the windows: a window paints its
    // form's colour, or the picture would show between its controls.
    setAutoFillBackground(true);
    m_handle = AllocateHWnd(this);
    if (AppDesktop)
        AppDesktop->AddForm(this);
    ExecuteNotify(1, true);
}

TModuleForm::~TModuleForm()
{
    if (AppDesktop)
        AppDesktop->DeleteForm(this);
    DeallocateHWnd(m_handle);
}

void TModuleForm::WndProc(TMessage& Message)
{
    if (Message.Msg == WM_CLOSE)
        close();
}

LRESULT TModuleForm::Perform(uint32_t Msg, WPARAM WParam, LPARAM LParam)
{
    TMessage message{Msg, WParam, LParam, 0};
    WndProc(message);
    return message.Result;
}

void TModuleForm::ExecuteNotify(WPARAM WParam, bool Post)
{
    if (!AppDesktop || AppDesktop->Handle() == NullHWnd)
        return;
    if (Post)
        PostMessage(AppDesktop->Handle(), WM_FORMSNOTIFY, WParam, reinterpret_cast<LPARAM>(this));
    else
        SendMessage(AppDesktop->Handle(), WM_FORMSNOTIFY, WParam, reinterpret_cast<LPARAM>(this));
}

void TModuleForm::Activate()
{
    if (OnActivate)
        OnActivate(this);
}

void TModuleForm::Deactivate()
{
    if (OnDeactivate)
        OnDeactivate(this);
}

void TModuleForm::closeEvent(QCloseEvent* Event)
{
    Event->ignore();
    try {
        if (!CloseQuery())
            return;
        TFormCloseAction action = fcaFree;
        FormClose(action);
        if (action == fcaNone)
            return;
        Event->accept();
        if (action == fcaFree)
            deleteLater();
    } catch (...) {
        Event->ignore();
        ReportCurrentException(ClassName() + ".Close");
    }
}

// ---------------------------------------------------------------------------
// TovnDesktop

TovnDesktop::TovnDesktop(QWidget* Parent) : TCustomControl(Parent)
{
    SetAlign(alClient);
    setAutoFillBackground(false);
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_background.load(":/res/BMP_DEFAULTBG.bmp");
    m_handle = AllocateHWnd(this);
}

TovnDesktop::~TovnDesktop()
{
    DeallocateHWnd(m_handle);
    m_handle = NullHWnd;
    OnActiveFormChange = nullptr;
    m_active = nullptr;
    while (!m_forms.empty()) {
        TModuleForm* form = m_forms.back();
        m_forms.pop_back();
        delete form;
    }
    if (AppDesktop == this)
        AppDesktop = nullptr;
}

int TovnDesktop::IndexOf(const QWidget* Form) const
{
    const auto it = std::find(m_forms.begin(), m_forms.end(), Form);
    return it == m_forms.end() ? -1 : static_cast<int>(it - m_forms.begin());
}

void TovnDesktop::WndProc(TMessage& Message)
{
    if (Message.Msg != WM_FORMSNOTIFY)
        return;
    if (Message.WParam != 1 && Message.WParam != 2)
        return;
    // The form may be gone since the notice was posted: only a held one
    // counts.
    const int index = IndexOf(reinterpret_cast<QWidget*>(Message.LParam));
    if (index >= 0)
        SetActive(m_forms[static_cast<size_t>(index)]);
}

void TovnDesktop::AddForm(TModuleForm* Form)
{
    if (!Form)
        return;
    if (IndexOf(Form) < 0) {
        const int active = IndexOf(m_active);
        if (active >= 0)
            m_forms.insert(m_forms.begin() + active, Form);
        else
            m_forms.push_back(Form);
    }
    if (Form->parentWidget() != this) {
        const bool visible = !Form->isHidden();
        Form->setParent(this, Qt::Widget);
        Form->setGeometry(rect());
        Form->setVisible(visible && Form == m_active);
    }
}

void TovnDesktop::DeleteForm(TModuleForm* Form)
{
    const int index = IndexOf(Form);
    if (index < 0)
        return;
    const bool wasActive = Form == m_active;
    m_forms.erase(m_forms.begin() + index);
    if (!wasActive)
        return;
    // The leaving window is on its way out: it hears no deactivation.
    m_active = nullptr;
    int next = index;
    if (next == GetFormCount())
        --next;
    TModuleForm* successor = next >= 0 ? m_forms[static_cast<size_t>(next)] : nullptr;
    if (successor) {
        SetActive(successor);
    } else {
        if (Controller)
            Controller->UpdateInfoBar();
        if (OnActiveFormChange)
            OnActiveFormChange(nullptr);
    }
}

void TovnDesktop::ShowForm(TModuleForm* Form)
{
    setUpdatesEnabled(false);
    AddForm(Form);
    Form->setGeometry(rect());
    Form->show();
    Form->raise();
    setUpdatesEnabled(true);
    repaint();
}

void TovnDesktop::SetActive(TModuleForm* Form)
{
    if (Form && IndexOf(Form) < 0)
        return;
    TModuleForm* old = m_active;
    if (Form)
        ShowForm(Form);
    if (Form == old)
        return;
    m_active = Form;
    if (old)
        old->Deactivate();
    if (Form)
        Form->Activate();
    if (Controller)
        Controller->UpdateInfoBar();
    if (OnActiveFormChange)
        OnActiveFormChange(Form);
    if (old && IndexOf(old) >= 0)
        old->hide();
}

void TovnDesktop::CloseAll()
{
    std::vector<HWND> handles;
    for (TModuleForm* form : m_forms)
        handles.push_back(form->Handle());
    for (auto it = handles.rbegin(); it != handles.rend(); ++it)
        PostMessage(*it, WM_CLOSE, 0, 0);
}

void TovnDesktop::Paint()
{
    TCanvas& canvas = Canvas();
    QPainter* painter = canvas.Handle();
    if (!painter)
        return;
    if (m_background.isNull()) {
        painter->fillRect(rect(), QColor(0x80, 0x80, 0x80));
        return;
    }
    painter->drawTiledPixmap(rect(), QPixmap::fromImage(m_background), QPoint(0, 0));
}

// ---------------------------------------------------------------------------
// TovnWindowItem

TovnWindowItem::TovnWindowItem(QMenu* Menu) : m_menu(Menu)
{
    if (Menu)
        QObject::connect(Menu, &QMenu::aboutToShow, Menu, [this] { Rebuild(); });
}

TovnWindowItem::~TovnWindowItem()
{
    if (m_menu)
        QObject::disconnect(m_menu, &QMenu::aboutToShow, m_menu, nullptr);
}

void TovnWindowItem::SetEnabled(bool Value)
{
    m_enabled = Value;
    for (QAction* entry : m_entries)
        entry->setEnabled(Value);
}

void TovnWindowItem::Rebuild()
{
    if (!m_menu)
        return;
    TovnDesktop* desktop = m_desktop.data();
    if (desktop) {
        const size_t count = static_cast<size_t>(desktop->GetFormCount());
        while (m_entries.size() > count) {
            delete m_entries.back();
            m_entries.pop_back();
        }
        while (m_entries.size() < count) {
            QAction* entry = m_menu->addAction(QString());
            entry->setCheckable(true);
            entry->setEnabled(m_enabled);
            m_entries.push_back(entry);
        }
        for (size_t i = 0; i < count; ++i) {
            TModuleForm* form = desktop->GetForm(static_cast<int>(i));
            QAction* entry = m_entries[i];
            entry->setText(QString::fromStdString(form->Caption()));
            entry->setChecked(form == desktop->Active());
            QObject::disconnect(entry, &QAction::triggered, nullptr, nullptr);
            QPointer<TModuleForm> target(form);
            QPointer<TovnDesktop> owner(desktop);
            QObject::connect(entry, &QAction::triggered, entry, [target, owner] {
                if (target && owner)
                    owner->SetActive(target.data());
            });
        }
    }
    if (OnUpdate)
        OnUpdate(nullptr);
}

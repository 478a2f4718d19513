#include "Components/Controller/mail/ComposeMail.h"

#include "Components/Controller/mail/MailRules.h"
#include "Components/Controller/mainwindow/OrvaneBrowser4.h"
#include "Components/Controller/ovnController.h"
#include "Components/Nembra/ovnOndrel.h"
#include "platform/Dialogs.h"
#include "platform/FileReplaceStream.h"
#include "platform/Mask.h"
#include "platform/StdCtrls.h"
#include "platform/Streams.h"
#include "platform/Threads.h"
#include "ui/Lookup.h"

#include <QComboBox>
#include <QFont>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr const char* kTextFilter = "Text Files|*.txt";

TfrmOrvaneBrowser4* Browser()
{
    return Controller ? Controller->Browser() : nullptr;
}

std::unique_ptr<TovnOndrelQuery> PickList(const char* Name, const char* Select, const char* From,
                                          const char* Where, const char* OrderBy)
{
    auto query = std::make_unique<TovnOndrelQuery>();
    query->SetName(Name);
    query->SetDatabaseName("SYSTEM_DATA");
    query->SQLSchema().Select().SetText(Select);
    query->SQLSchema().From().SetText(From);
    query->SQLSchema().Where().SetText(Where);
    query->SQLSchema().OrderBy().SetText(OrderBy);
    TovnOndrelQuery* q = query.get();
    // The key is picked, never shown.
    query->AfterOpen = [q](TDataSet*) {
        if (TField* counter = q->FindField("COUNTER"))
            counter->SetVisible(false);
    };
    return query;
}

} // namespace

std::string ReadMailFile(const std::string& FileName)
{
    TFileStream file(FileName, fmOpenRead | fmShareDenyWrite);
    std::string content(static_cast<size_t>(file.Size()), '\0');
    if (!content.empty())
        file.ReadBuffer(content.data(), static_cast<int64_t>(content.size()));
    return content;
}

TfrmComposeMail::TfrmComposeMail(QWidget* Parent) : TModuleForm(Parent, nullptr)
{
    SetCaption("New Message");
    m_sysMail = std::make_unique<TovnOndrelSystem>();
    m_sysMail->SetName("sysMail");
    m_sysMail->SetProcedureName("SEND_MAIL");
    m_sysMail->SetDatabaseName("SYSTEM_DATA");
    TParams& p = m_sysMail->Params();
    p.CreateParam(ftString, "To", ptInput)->SetSize(3);
    p.CreateParam(ftString, "Recepients", ptInput);
    p.CreateParam(ftInteger, "Counter", ptInput);
    p.CreateParam(ftString, "Subject", ptInput);
    p.CreateParam(ftBlob, "Message", ptInput);
    p.CreateParam(ftBlob, "Attachment", ptInput);
    p.CreateParam(ftString, "FileName", ptInput);

    m_qryUsers = PickList(
        "qryUsers", "TU.USER_ID || '@' || TE.ENTERPRISE AS RECEPIENT, TU.FULL_NAME, TU.USER_TYPE, TU.COUNTER",
        "TBL_USERS TU, TBL_ENTERPRISES TE",
        "(TU.C_ENTERPRISE = TE.COUNTER) AND (TU.CURRENT_USE = 'T') AND (TE.CURRENT_USE = 'T')", "RECEPIENT");
    m_qryRoles =
        PickList("qryRoles", "TR.COUNTER, TR.ROLE_ID, TR.DESCRIPTION, TDB.ALIAS, TE.ENTERPRISE",
                 "TBL_ROLES TR, TBL_ENTERPRISES TE, TBL_DBALIASES TDB",
                 "(TR.PARENT_ROLE IS NULL) AND (TR.C_ALIAS = TDB.COUNTER) AND (TR.C_ENTERPRISE = TE.COUNTER) "
                 "AND (TR.CURRENT_USE = 'T') AND (TE.CURRENT_USE = 'T') AND (TDB.CURRENT_USE = 'T')",
                 "TE.ENTERPRISE, TDB.ALIAS, TR.ROLE_ID");
    BuildControls();
    SetKind(mkUsers);
}

TfrmComposeMail::~TfrmComposeMail() = default;

void TfrmComposeMail::BuildControls()
{
    cbKind = new QComboBox(this);
    cbKind->addItems({QStringLiteral("Selected Users"), QStringLiteral("Specific Role")});
    edTo = new TMaskEdit(this);
    btnSelect = new QPushButton(QStringLiteral("Select..."), this);
    edSubject = new QLineEdit(this);
    memMessage = new QPlainTextEdit(this);
    btnSend = new QPushButton(QStringLiteral("Send"), this);
    btnLoad = new QPushButton(QStringLiteral("Load Message Text"), this);
    btnSave = new QPushButton(QStringLiteral("Save Message Text"), this);
    btnAttach = new QPushButton(QStringLiteral("Attach File To Message"), this);
    btnRemove = new QPushButton(QStringLiteral("Remove Attachment"), this);
    btnRemove->setEnabled(false);
    lblAttachment = new TPlainLabel(this);
    QFont bold = lblAttachment->font();
    bold.setBold(true);
    lblAttachment->setFont(bold);

    TovnPreferences* prefs = Controller ? &Controller->Preferences() : nullptr;
    QFont memoFont(QString::fromStdString(prefs ? prefs->MailFont : std::string("Arial")));
    memoFont.setPointSize(prefs && prefs->MailFontSize > 0 ? prefs->MailFontSize : 12);
    memMessage->setFont(memoFont);

    auto* grid = new QGridLayout();
    grid->addWidget(new TPlainLabel(QStringLiteral("To:"), this), 0, 0);
    grid->addWidget(cbKind, 0, 1);
    grid->addWidget(edTo->Widget(), 0, 2);
    grid->addWidget(btnSelect, 0, 3);
    grid->addWidget(new TPlainLabel(QStringLiteral("Subject:"), this), 1, 0);
    grid->addWidget(edSubject, 1, 1, 1, 3);
    grid->setColumnStretch(2, 1);
    auto* buttons = new QHBoxLayout();
    buttons->addWidget(btnSend);
    buttons->addWidget(btnLoad);
    buttons->addWidget(btnSave);
    buttons->addSpacing(16);
    buttons->addWidget(btnAttach);
    buttons->addWidget(btnRemove);
    buttons->addWidget(lblAttachment, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addLayout(grid);
    layout->addWidget(memMessage, 1);

    QObject::connect(cbKind, qOverload<int>(&QComboBox::activated), this, [this](int index) {
        if (index >= 0)
            SetKind(index);
    });
    QObject::connect(edSubject, &QLineEdit::textChanged, this, [this] {
        if (!m_filling)
            m_modified = true;
    });
    QObject::connect(memMessage, &QPlainTextEdit::textChanged, this, [this] {
        if (!m_filling)
            m_modified = true;
    });
    QObject::connect(btnSelect, &QPushButton::clicked, this,
                     [this] { RunGuarded("Select", &TfrmComposeMail::SelectExec); });
    QObject::connect(btnLoad, &QPushButton::clicked, this,
                     [this] { RunGuarded("LoadText", &TfrmComposeMail::LoadTextExec); });
    QObject::connect(btnSave, &QPushButton::clicked, this,
                     [this] { RunGuarded("SaveText", &TfrmComposeMail::SaveTextExec); });
    QObject::connect(btnAttach, &QPushButton::clicked, this,
                     [this] { RunGuarded("Attach", &TfrmComposeMail::AttachExec); });
    QObject::connect(btnRemove, &QPushButton::clicked, this,
                     [this] { RunGuarded("RemoveAttachment", &TfrmComposeMail::RemoveAttachmentExec); });
    QObject::connect(btnSend, &QPushButton::clicked, this,
                     [this] { RunGuarded("Send", &TfrmComposeMail::SendExec); });
}

void TfrmComposeMail::RunGuarded(const char* Where, void (TfrmComposeMail::*Action)())
{
    try {
        (this->*Action)();
    } catch (...) {
        ApplicationHandleException(ClassName() + "." + Where);
    }
}

void TfrmComposeMail::SetKind(int Value)
{
    m_kind = Value;
    {
        const QSignalBlocker block(cbKind);
        cbKind->setCurrentIndex(Value == mkUsers || Value == mkRole ? Value : -1);
    }
    KindChanged();
}

void TfrmComposeMail::SetKindEnabled(bool Value)
{
    cbKind->setEnabled(Value);
}

void TfrmComposeMail::KindChanged()
{
    const bool picks = m_kind == mkUsers || m_kind == mkRole;
    btnSelect->setEnabled(picks);
    edTo->Widget()->setEnabled(picks);
    edTo->SetReadOnly(m_kind == mkRole);
    switch (m_kind) {
    case mkUsers:
        edTo->SetText(m_savedUsers);
        edTo->Tag = 0;
        break;
    case mkRole:
        edTo->SetText(m_savedRoleText);
        edTo->Tag = m_savedRoleCounter;
        break;
    default:
        edTo->SetText("");
        edTo->Tag = 0;
        break;
    }
}

std::string TfrmComposeMail::ToText() const
{
    return edTo->Text();
}

void TfrmComposeMail::SetToText(const std::string& Value)
{
    edTo->SetText(Value);
}

int32_t TfrmComposeMail::RoleCounter() const
{
    return static_cast<int32_t>(edTo->Tag);
}

std::string TfrmComposeMail::Subject() const
{
    return edSubject->text().toStdString();
}

void TfrmComposeMail::SetSubject(const std::string& Value)
{
    m_filling = true;
    edSubject->setText(QString::fromStdString(Value));
    m_filling = false;
}

std::string TfrmComposeMail::MessageText() const
{
    std::string text;
    for (const std::string& line : MailTextLines(memMessage->toPlainText().toStdString()))
        text += (text.empty() ? "" : "\r\n") + line;
    return text;
}

void TfrmComposeMail::SetMessageText(const std::string& Value)
{
    m_filling = true;
    std::string text;
    bool first = true;
    for (const std::string& line : MailTextLines(Value)) {
        text += (first ? "" : "\n") + line;
        first = false;
    }
    memMessage->setPlainText(QString::fromStdString(text));
    m_filling = false;
}

void TfrmComposeMail::SetAttachment(const std::string& Path)
{
    m_attachment = Path;
    lblAttachment->setText(QString::fromStdString(Path));
    btnRemove->setEnabled(!Path.empty());
}

void TfrmComposeMail::SaveParams()
{
    m_savedUsers = m_kind == mkUsers ? ToText() : std::string();
    m_savedRoleText = m_kind == mkRole ? ToText() : std::string();
    m_savedRoleCounter = m_kind == mkRole ? RoleCounter() : 0;
}

void TfrmComposeMail::SelectExec()
{
    if (TfrmOrvaneBrowser4* browser = Browser())
        if (!browser->dbSys().Active())
            browser->dbSys().Open();
    if (m_kind == mkUsers) {
        // The pick replaces its edit's text: the pick goes to a scratch edit
        // and is appended here.
        TMaskEdit scratch;
        if (ShowLookup2("Users", m_qryUsers.get(), &scratch, "COUNTER", "RECEPIENT") &&
            !scratch.Text().empty()) {
            const std::string text = ToText();
            SetToText(text.empty() ? scratch.Text() : text + ", " + scratch.Text());
        }
    } else if (m_kind == mkRole) {
        ShowLookup2("Roles", m_qryRoles.get(), edTo, "COUNTER", "ROLE_ID");
    }
}

void TfrmComposeMail::LoadTextExec()
{
    TFileDialogRequest request;
    request.Kind = fdOpen;
    request.Title = "Load Message Text";
    request.Filter = kTextFilter;
    request.DefaultExt = "txt";
    std::string fileName;
    if (!PromptForFileName(request, fileName))
        return;
    SetMessageText(ReadMailFile(fileName));
    m_modified = true;
}

void TfrmComposeMail::SaveTextExec()
{
    TFileDialogRequest request;
    request.Kind = fdSave;
    request.Title = "Save Message Text";
    request.Filter = kTextFilter;
    request.DefaultExt = "txt";
    std::string fileName;
    if (!PromptForFileName(request, fileName))
        return;
    ReplaceFileContents(fileName, MessageText());
}

void TfrmComposeMail::AttachExec()
{
    TFileDialogRequest request;
    request.Kind = fdOpen;
    request.Title = "Attach File To Message";
    std::string fileName;
    if (PromptForFileName(request, fileName))
        SetAttachment(fileName);
}

void TfrmComposeMail::RemoveAttachmentExec()
{
    SetAttachment("");
}

void TfrmComposeMail::SendExec()
{
    const std::string error =
        ComposeSendCheck(m_kind, ToText(), RoleCounter(), PresetCounter, Subject(), MessageText());
    if (!error.empty())
        throw Exception(error);
    TParams& p = m_sysMail->Params();
    p.ParamByName("To")->SetAsString("");
    p.ParamByName("Recepients")->SetAsString("");
    p.ParamByName("Counter")->SetAsInteger(-1);
    p.ParamByName("Subject")->SetAsString("");
    for (const char* blob : {"Message", "Attachment"}) {
        p.ParamByName(blob)->Clear();
        p.ParamByName(blob)->SetDataType(ftBlob);
    }
    p.ParamByName("FileName")->SetAsString("");
    const TMailAddressing address =
        MailAddressing(m_kind, ToText(), RoleCounter(), PresetType, PresetCounter);
    p.ParamByName("To")->SetAsString(address.To);
    p.ParamByName("Recepients")->SetAsString(address.Recepients);
    p.ParamByName("Counter")->SetAsInteger(address.Counter);
    p.ParamByName("Subject")->SetAsString(Subject());
    p.ParamByName("Message")->SetAsBlob(MessageText());
    if (!m_attachment.empty()) {
        // An unreadable file stops the send with its name: nothing leaves.
        p.ParamByName("Attachment")->SetAsBlob(ReadMailFile(m_attachment));
        p.ParamByName("FileName")->SetAsString(MailFileName(m_attachment));
    }
    m_sysMail->Execute();
    m_modified = false;
    close();
}

bool TfrmComposeMail::CloseQuery()
{
    if (!m_modified)
        return true;
    return MessageDlg("Discard Message?", mtConfirmation, mbOKCancel) == mrOk;
}

void TfrmComposeMail::FormClose(TFormCloseAction& Action)
{
    Action = fcaFree;
    m_qryUsers->Close();
    m_qryRoles->Close();
    if (TfrmOrvaneBrowser4* browser = Browser())
        browser->AppletClosed(this);
}

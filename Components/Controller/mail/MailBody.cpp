#include "Components/Controller/mail/MailBody.h"

#include "Components/Controller/mail/MailRules.h"
#include "Components/Controller/mainwindow/OrvaneBrowser4.h"
#include "Components/Controller/ovnController.h"
#include "Components/Nembra/ovnOndrel.h"
#include "platform/DateUtils.h"
#include "platform/Dialogs.h"
#include "platform/Fields.h"
#include "platform/FileReplaceStream.h"
#include "platform/StdCtrls.h"

#include <QEvent>
#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPdfWriter>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

TfrmOrvaneBrowser4* Browser()
{
    return Controller ? Controller->Browser() : nullptr;
}

std::string Text(TDataSet& DataSet, const char* Name)
{
    TField* f = DataSet.FindField(Name);
    return f && !f->IsNull() ? f->AsString() : std::string();
}

} // namespace

QFont MailPrintFont()
{
    QFont font;
    if (QFontDatabase::families().contains(QStringLiteral("Courier New")))
        font = QFont(QStringLiteral("Courier New"));
    else
        font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSize(10);
    font.setFixedPitch(true);
    return font;
}

TfrmMailBody::TfrmMailBody(QWidget* Parent) : TModuleForm(Parent, nullptr)
{
    SetCaption("O-Mail Message");
    m_qryMail = std::make_unique<TovnOndrelQuery>();
    m_qryMail->SetName("qryMail");
    m_qryMail->SetDatabaseName("SYSTEM_DATA");
    TSQLQuerySchema& schema = m_qryMail->SQLSchema();
    schema.Select().SetText("TM.MAIL_TYPE, TU.USER_ID, TU.FULL_NAME, TE.ENTERPRISE, TM.DATE_TIME_SENT, "
                            "TM.SUBJECT, TM.MSG, TM.FILE_NAME");
    schema.From().SetText("TBL_MAIL TM LEFT OUTER JOIN TBL_USERS TU ON TM.C_USER_FROM = TU.COUNTER "
                          "LEFT OUTER JOIN TBL_ENTERPRISES TE ON TU.C_ENTERPRISE = TE.COUNTER");
    m_qryAttach = std::make_unique<TovnOndrelQuery>();
    m_qryAttach->SetName("qryAttach");
    m_qryAttach->SetDatabaseName("SYSTEM_DATA");
    m_qryAttach->SetUseSQL(true);

    edFrom = new QLineEdit(this);
    edSubject = new QLineEdit(this);
    for (QLineEdit* e : {edFrom, edSubject})
        e->setReadOnly(true);
    memBody = new QPlainTextEdit(this);
    memBody->setReadOnly(true);
    TovnPreferences* prefs = Controller ? &Controller->Preferences() : nullptr;
    QFont memoFont(QString::fromStdString(prefs ? prefs->MailFont : std::string("Arial")));
    memoFont.setPointSize(prefs && prefs->MailFontSize > 0 ? prefs->MailFontSize : 12);
    memBody->setFont(memoFont);
    btnReply = new QPushButton(QStringLiteral("Reply"), this);
    btnPrint = new QPushButton(QStringLiteral("&Print"), this);
    btnForward = new QPushButton(QStringLiteral("&Forward"), this);
    btnForward->setVisible(false);
    btnAttachment = new QToolButton(this);
    btnAttachment->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
    btnAttachment->setToolTip(QStringLiteral("Save Attachment "));
    btnAttachment->setVisible(false);
    lblFileName = new TPlainLabel(this);
    QFont bold = lblFileName->font();
    bold.setBold(true);
    lblFileName->setFont(bold);
    lblFileName->setCursor(Qt::PointingHandCursor);
    lblFileName->installEventFilter(this);

    auto* buttons = new QHBoxLayout();
    buttons->addWidget(btnReply);
    buttons->addWidget(btnForward);
    buttons->addWidget(btnPrint);
    buttons->addSpacing(16);
    buttons->addWidget(btnAttachment);
    buttons->addWidget(lblFileName, 1);
    auto* fields = new QHBoxLayout();
    fields->addWidget(new TPlainLabel(QStringLiteral("From:"), this));
    fields->addWidget(edFrom, 1);
    auto* subject = new QHBoxLayout();
    subject->addWidget(new TPlainLabel(QStringLiteral("Subject:"), this));
    subject->addWidget(edSubject, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addLayout(fields);
    layout->addLayout(subject);
    layout->addWidget(memBody, 1);

    QObject::connect(btnReply, &QPushButton::clicked, this,
                     [this] { RunGuarded("Reply", &TfrmMailBody::ReplyExec); });
    QObject::connect(btnPrint, &QPushButton::clicked, this,
                     [this] { RunGuarded("Print", &TfrmMailBody::PrintExec); });
    QObject::connect(btnAttachment, &QToolButton::clicked, this,
                     [this] { RunGuarded("SaveAttachment", &TfrmMailBody::SaveAttachmentExec); });
}

TfrmMailBody::~TfrmMailBody() = default;

void TfrmMailBody::RunGuarded(const char* Where, void (TfrmMailBody::*Action)())
{
    try {
        (this->*Action)();
    } catch (...) {
        ApplicationHandleException(ClassName() + "." + Where);
    }
}

bool TfrmMailBody::eventFilter(QObject* Watched, QEvent* Event)
{
    if (Watched == lblFileName && Event->type() == QEvent::MouseButtonRelease &&
        !lblFileName->text().isEmpty()) {
        RunGuarded("SaveAttachment", &TfrmMailBody::SaveAttachmentExec);
        return true;
    }
    return TModuleForm::eventFilter(Watched, Event);
}

void TfrmMailBody::DoUpdateView()
{
    TovnOndrelQuery& q = *m_qryMail;
    m_userID = Text(q, "USER_ID");
    m_enterprise = Text(q, "ENTERPRISE");
    edSubject->setText(QString::fromStdString(Text(q, "SUBJECT")));
    edFrom->setText(QString::fromStdString(MailFromText(m_userID, m_enterprise, Text(q, "FULL_NAME"))));
    std::string body;
    bool first = true;
    for (const std::string& line : MailTextLines(Text(q, "MSG"))) {
        body += (first ? "" : "\n") + line;
        first = false;
    }
    memBody->setPlainText(QString::fromStdString(body));
    const std::string file = Trim(Text(q, "FILE_NAME"));
    lblFileName->setText(QString::fromStdString(file));
    btnAttachment->setVisible(!file.empty());
    btnAttachment->setToolTip(PlainToolTip(file));
    if (!Text(q, "SUBJECT").empty())
        SetCaption(Text(q, "SUBJECT"));
}

std::string TfrmMailBody::FromText() const
{
    return edFrom->text().toStdString();
}

std::string TfrmMailBody::SubjectText() const
{
    return edSubject->text().toStdString();
}

std::string TfrmMailBody::BodyText() const
{
    return memBody->toPlainText().toStdString();
}

void TfrmMailBody::ReplyExec()
{
    const std::string to = ReplyAddress(FromText(), m_userID, m_enterprise);
    const std::string body = ReplyBody(MailTextLines(BodyText()));
    if (TfrmOrvaneBrowser4* browser = Browser())
        browser->SendOMail(to, ReplySubject(SubjectText()), body, "", false, false, -1, "", "URL");
}

void TfrmMailBody::PrintTo(QPagedPaintDevice& Device) const
{
    QPainter painter;
    if (!painter.begin(&Device))
        throw Exception("The printer cannot start the document");
    painter.setFont(MailPrintFont());
    const int h = QFontMetrics(painter.font(), &Device).boundingRect(QStringLiteral("WWW")).height();
    const int pageHeight = painter.viewport().height();
    const std::vector<TMailPrintPage> pages = MailPrintLayout(FromText(), SubjectText(), DateTimeToStr(Now()),
                                                              MailTextLines(BodyText()), h, pageHeight);
    const int ascent = QFontMetrics(painter.font(), &Device).ascent();
    for (size_t page = 0; page < pages.size(); ++page) {
        if (page > 0)
            Device.newPage();
        for (const TMailPrintLine& line : pages[page])
            painter.drawText(0, line.Y + ascent, QString::fromStdString(line.Text));
    }
    painter.end();
}

void TfrmMailBody::PrintExec()
{
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull())
        throw Exception("There is no default printer");
    QPrinter printer(info);
    printer.setDocName(QString::fromStdString(SubjectText()));
    PrintTo(printer);
}

void TfrmMailBody::SaveAttachmentExec()
{
    TovnOndrelQuery& q = *m_qryAttach;
    q.Close();
    q.SQL().SetText("SELECT ATTACHMENT,FILE_NAME FROM TBL_MAIL WHERE COUNTER = " +
                    std::to_string(MailCounter));
    q.Open();
    if (q.IsEmpty() || q.FieldByName("ATTACHMENT")->IsNull()) {
        q.Close();
        MessageDlg("No Attachment", mtError, {mbOK});
        return;
    }
    const std::string content = q.FieldByName("ATTACHMENT")->AsString();
    const std::string stored = Text(q, "FILE_NAME");
    q.Close();
    TFileDialogRequest request;
    request.Kind = fdSave;
    request.Title = "Save Attachment";
    request.FileName = AttachmentSaveName(stored);
    std::string fileName;
    if (!PromptForFileName(request, fileName))
        return;
    // Written whole or not at all: an old file of that name stays as it was.
    ReplaceFileContents(fileName, content);
}

void TfrmMailBody::FormClose(TFormCloseAction& Action)
{
    Action = fcaFree;
    m_qryMail->Close();
    m_qryAttach->Close();
    if (TfrmOrvaneBrowser4* browser = Browser())
        browser->AppletClosed(this);
}

#include "Components/Controller/signin/frmLogin.h"

#include "Components/Controller/ovnController.h"
#include "Components/Nembra/ovnControllerUtils.h"
#include "base/KldLogFile.h"
#include "base/KldProgress.h"
#include "platform/StdCtrls.h"
#include "platform/SysUtils.h"
#include "platform/Threads.h"

#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLinearGradient>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QTextCursor>
#include <QVBoxLayout>

namespace {

constexpr int BannerWidth = 380;
constexpr int BannerHeight = 64;

QString Q(const std::string& s)
{
    return QString::fromStdString(s);
}

// The brand's banner: the brand's name on its colours.
QPixmap BrandBanner(int Brand)
{
    QPixmap banner(BannerWidth, BannerHeight);
    QPainter p(&banner);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient fill(0, 0, BannerWidth, BannerHeight);
    const bool orvane = Brand == 0;
    fill.setColorAt(0, orvane ? QColor(0x20, 0x59, 0xC6) : QColor(0x1F, 0x7A, 0x5C));
    fill.setColorAt(1, orvane ? QColor(0x6F, 0xA8, 0xF0) : QColor(0x8C, 0xCF, 0x9E));
    p.fillRect(banner.rect(), fill);
    // A leaf-like mark on the left, the name beside it.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 200));
    p.drawEllipse(QRectF(14, 12, 40, 40));
    p.setBrush(fill);
    p.drawEllipse(QRectF(24, 22, 20, 20));
    QFont font = QApplication::font();
    font.setPixelSize(26);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRect(68, 0, BannerWidth - 76, BannerHeight), Qt::AlignVCenter | Qt::AlignLeft,
               orvane ? QStringLiteral("Orvane") : QStringLiteral("Tallowin"));
    return banner;
}

QLabel* Caption(const char* text, QWidget* buddy, QWidget* parent)
{
    auto* label = new TPlainLabel(QString::fromUtf8(text), parent);
    label->setBuddy(buddy);
    return label;
}

} // namespace

TLoginStatusStep LoginStatusStep(const std::string& TaskName, const std::string& NoticeText)
{
    TLoginStatusStep step;
    const std::string::size_type slash = TaskName.find('/');
    if (slash == std::string::npos) {
        step.Text = TaskName;
    } else {
        step.Text = TaskName.substr(0, slash);
        step.Suffix = TaskName.substr(slash + 1);
    }
    if (SameText(step.Text, "login"))
        step.Text = Trim(NoticeText);
    return step;
}

std::string LoginCaption(int Brand)
{
    if (Brand == 0)
        return "Orvane Login";
    if (Brand == 1)
        return "Tallowin Login";
    return "Login";
}

TfrmLogin::TfrmLogin(QWidget* parent) : TDialogForm(parent)
{
    setObjectName("frmLogin");
    setWindowTitle(Q(LoginCaption(AppBrand)));
    SetPosition(poMainFormCenter);
    // A single border without border icons.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);

    m_banner0 = new TPlainLabel(this);
    m_banner0->setPixmap(BrandBanner(0));
    m_banner0->setVisible(AppBrand == 0);
    m_banner1 = new TPlainLabel(this);
    m_banner1->setPixmap(BrandBanner(1));
    m_banner1->setVisible(AppBrand == 1);

    m_edtID = new QLineEdit(this);
    m_edtID->setObjectName("edtID");
    m_edtPassword = new QLineEdit(this);
    m_edtPassword->setObjectName("edtPassword");
    SetPasswordChar(m_edtPassword, '*');
    m_cboConnection = new QComboBox(this);
    m_cboConnection->setObjectName("cboConnection");
    m_lbStatus = new QPlainTextEdit(this);
    m_lbStatus->setObjectName("lbStatus");
    m_lbStatus->setReadOnly(true);
    m_lbStatus->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_lbStatus->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_lbStatus->setFocusPolicy(Qt::NoFocus);
    m_lbStatus->setFixedHeight(m_lbStatus->fontMetrics().lineSpacing() * 5 + 12);

    m_btnOK = MakeButton("&OK", mrNone, true);
    m_btnOK->setObjectName("btnOK");
    connect(m_btnOK, &QPushButton::clicked, this, [this] { btnOkClick(); });
    m_btnCancel = MakeButton("&Cancel", mrCancel, false, true);
    m_btnCancel->setObjectName("btnCancel");

    auto* fields = new QGridLayout;
    fields->addWidget(Caption("User:", m_edtID, this), 0, 0);
    fields->addWidget(m_edtID, 0, 1);
    fields->addWidget(Caption("Password:", m_edtPassword, this), 1, 0);
    fields->addWidget(m_edtPassword, 1, 1);
    fields->addWidget(Caption("Connection:", m_cboConnection, this), 2, 0);
    fields->addWidget(m_cboConnection, 2, 1);
    fields->addWidget(Caption("Status:", m_lbStatus, this), 3, 0, Qt::AlignTop);
    fields->addWidget(m_lbStatus, 3, 1);
    fields->setColumnStretch(1, 1);

    auto* body = new QVBoxLayout;
    body->setContentsMargins(12, 10, 12, 10);
    body->addLayout(fields);
    body->addLayout(MakeButtonRow({m_btnOK, m_btnCancel}));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_banner0);
    layout->addWidget(m_banner1);
    layout->addLayout(body);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    // Enter in any of the three fields is OK.
    for (QWidget* field : {static_cast<QWidget*>(m_edtID), static_cast<QWidget*>(m_edtPassword),
                           static_cast<QWidget*>(m_cboConnection)})
        field->installEventFilter(this);
    m_edtID->setFocus();
}

TfrmLogin::~TfrmLogin()
{
    SetRegistered(false);
}

void TfrmLogin::DataToForm(TLoginCallback Callback)
{
    DataToForm(std::move(Callback), Controller->Connections(), Controller->Preferences());
}

void TfrmLogin::DataToForm(TLoginCallback Callback, const TovnConnections& Connections,
                           const TovnPreferences& Preferences)
{
    m_callback = std::move(Callback);
    Connections.Fill("Connection", &m_connectionLines);
    m_cboConnection->clear();
    for (int i = 0; i < m_connectionLines.Count(); ++i)
        m_cboConnection->addItem(Q(m_connectionLines.Strings(i)));
    int selected = -1;
    if (const TovnConnectionItem* item = Connections.GetDefault())
        selected = m_connectionLines.IndexOfObject(const_cast<TovnConnectionItem*>(item));
    if (selected < 0 && m_connectionLines.Count() > 0)
        selected = 0;
    m_cboConnection->setCurrentIndex(selected);
    m_edtID->setText(Preferences.RememberID ? Q(Preferences.UserID) : QString());
    if (!TrimmedText(m_edtID).empty())
        m_edtPassword->setFocus();
    else
        m_edtID->setFocus();
}

void TfrmLogin::btnOkClick()
{
    if (m_busy)
        return;
    if (TrimmedText(m_edtID).empty()) {
        m_edtID->setFocus();
        return;
    }
    if (TrimmedText(m_edtPassword).empty()) {
        m_edtPassword->setFocus();
        return;
    }
    SetControlsEnabled(false);
    m_lastStatus.clear();
    m_busy = true;
    bool signedIn = false;
    try {
        if (m_callback)
            signedIn = m_callback(this, m_edtID->text().toStdString(), m_edtPassword->text().toStdString(),
                                  m_cboConnection->currentText().toStdString());
    } catch (...) {
        m_busy = false;
        SetControlsEnabled(true);
        // The click is the boundary: the error is shown, the dialog stays.
        ShowCurrentException();
        return;
    }
    m_busy = false;
    SetControlsEnabled(true);
    if (signedIn)
        SetModalResult(mrOk);
}

std::vector<std::string> TfrmLogin::StatusLines() const
{
    std::vector<std::string> lines;
    const QTextDocument* document = m_lbStatus->document();
    if (document->isEmpty())
        return lines;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
        lines.push_back(block.text().toStdString());
    return lines;
}

void TfrmLogin::WndProc(TMessage& Message)
{
    if (Message.Msg != WM_KLDPROGRESS)
        return;
    const auto* info = reinterpret_cast<const TKldProgressInfo*>(Message.LParam);
    if (!info || !MainThread::IsMainThread())
        return;
    ShowProgress(info->Message);
}

void TfrmLogin::ShowProgress(const std::string& NoticeText)
{
    const TLoginStatusStep step = LoginStatusStep(Progress.GetCurrentTask(), NoticeText);
    if (step.Text.empty())
        return;
    if (step.Text != m_lastStatus) {
        Log.Debug(step.Text, ClassName());
        m_lbStatus->appendPlainText(Q(step.Text));
        m_lbStatus->repaint();
        m_lastStatus = step.Text;
    }
    if (!step.Suffix.empty()) {
        QTextCursor cursor(m_lbStatus->document()->lastBlock());
        cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        cursor.insertText(Q(step.Text + " " + step.Suffix));
        m_lbStatus->repaint();
    }
    // The sign-in works on this thread: keep the dialog painted and
    // responsive between its steps.
    QApplication::processEvents();
    MainThread::ProcessPending();
}

void TfrmLogin::CloseQuery(bool& CanClose)
{
    // Nothing closes the dialog while the callback runs.
    CanClose = !m_busy;
}

void TfrmLogin::SetControlsEnabled(bool Value)
{
    for (QWidget* w : {static_cast<QWidget*>(m_btnOK), static_cast<QWidget*>(m_btnCancel),
                       static_cast<QWidget*>(m_edtID), static_cast<QWidget*>(m_edtPassword),
                       static_cast<QWidget*>(m_cboConnection)})
        w->setEnabled(Value);
}

void TfrmLogin::SetRegistered(bool Value)
{
    if (Value == m_registered)
        return;
    m_registered = Value;
    if (Value)
        Progress.RegisterHandler(this);
    else
        Progress.UnRegisterHandler(this);
}

void TfrmLogin::showEvent(QShowEvent* event)
{
    TDialogForm::showEvent(event);
    SetRegistered(true);
}

void TfrmLogin::hideEvent(QHideEvent* event)
{
    SetRegistered(false);
    TDialogForm::hideEvent(event);
}

bool TfrmLogin::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            btnOkClick();
            return true;
        }
    }
    return TDialogForm::eventFilter(watched, event);
}

#include "Components/Controller/mainwindow/LogoutConfirmForm.h"

#include "Components/Controller/ovnController.h"
#include "platform/Messages.h"
#include "platform/StdCtrls.h"
#include "platform/SysUtils.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

namespace {

// The form's outer size and its inner border.
constexpr int FormWidth = 470;
constexpr int FormHeight = 150;
constexpr int BorderWidth = 4;

} // namespace

std::string LogoutConfirmText(int32_t Minutes, int32_t Seconds)
{
    return Format("You have been inactive for %d minutes.\r\nFor your security your session will be terminated "
                  "within %d seconds.\r\nWould you like to continue your current session?",
                  Minutes, Seconds);
}

TLogoutConfirmForm::TLogoutConfirmForm(QWidget* Owner, int32_t Minutes) : TDialogForm(Owner), m_minutes(Minutes)
{
    setObjectName("LogoutConfirmForm");
    setWindowTitle("Terminate Session");
    // A dialog frame without the title bar's buttons: only an answer ends it.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    SetPosition(poMainFormCenter);
    setFixedSize(FormWidth, FormHeight);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QApplication::palette().color(QPalette::Button));
    pal.setColor(QPalette::WindowText, QApplication::palette().color(QPalette::WindowText));
    setPalette(pal);
    QFont font("Tahoma");
    font.setPointSize(10);
    setFont(font);

    // Coordinates inside the inner border.
    const int clientWidth = FormWidth - 2 * BorderWidth;
    const int clientHeight = FormHeight - 2 * BorderWidth;
    const int centre = BorderWidth + clientWidth / 2;
    m_icon = new TPlainLabel(this);
    m_icon->setObjectName("imgQuestion");
    m_icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(32, 32));
    m_icon->setGeometry(BorderWidth + 10, BorderWidth + 10, 32, 32);
    m_label = new TPlainLabel(this);
    m_label->setObjectName("lblMessage");
    m_label->setWordWrap(true);
    m_label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_label->setTextFormat(Qt::PlainText);
    m_label->setGeometry(BorderWidth + 46, BorderWidth + 10, clientWidth - 50, 100);
    // "&Yes" is the default and the cancel button: Enter and Escape keep
    // the session.
    m_btnYes = MakeButton("&Yes", mrYes, true, false);
    m_btnYes->setObjectName("btnYes");
    m_btnNo = MakeButton("&No", mrNo);
    m_btnNo->setObjectName("btnNo");
    const int top = BorderWidth + clientHeight - 8 - 23;
    m_btnYes->setGeometry(centre - 8 - 70, top, 70, 23);
    m_btnNo->setGeometry(centre + 8, top, 70, 23);
    m_btnYes->setFocus();

    connect(this, &QDialog::finished, this, [this] { Closed(); });
    SetText();
    m_timer.SetInterval(1000);
    m_timer.OnTimer = [this](TTimer*) { Tick(); };
    m_timer.SetEnabled(true);
}

TLogoutConfirmForm::~TLogoutConfirmForm()
{
    m_timer.SetEnabled(false);
}

void TLogoutConfirmForm::SetText()
{
    m_text = LogoutConfirmText(m_minutes, m_countdown);
    m_label->setText(QString::fromStdString(StringReplace(m_text, "\r\n", "\n", rfReplaceAll)));
}

void TLogoutConfirmForm::Tick()
{
    if (m_countdown <= 0) {
        m_timer.SetEnabled(false);
        // A close by the countdown is no Yes.
        SetModalResult(mrCancel);
        return;
    }
    SetText();
    --m_countdown;
}

void TLogoutConfirmForm::keyPressEvent(QKeyEvent* Event)
{
    if (Event->key() == Qt::Key_Escape) {
        m_btnYes->click();
        return;
    }
    TDialogForm::keyPressEvent(Event);
}

void TLogoutConfirmForm::Closed()
{
    m_timer.SetEnabled(false);
    if (ModalResult() == mrYes || !Controller)
        return;
    PostMessage(Controller->GetBrowserHandle(), WM_AUTOLOGOUT, 1, 0);
}

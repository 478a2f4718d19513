#include "platform/Forms.h"

#include "platform/SysUtils.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>

#include <exception>

void ShowCurrentException()
{
    std::string message;
    try {
        throw;
    } catch (const Exception& e) {
        message = e.Message();
    } catch (const std::exception& e) {
        message = e.what();
    } catch (...) {
        message = "Unknown error";
    }
    MessageDlg(message, mtError, {mbOK}, 0);
}

QHBoxLayout* MakeButtonRow(std::initializer_list<QPushButton*> Buttons)
{
    auto* row = new QHBoxLayout;
    row->addStretch();
    for (QPushButton* button : Buttons)
        row->addWidget(button);
    return row;
}

std::string TrimmedText(const QLineEdit* Edit)
{
    return Trim(Edit->text().toStdString());
}

void SetPasswordChar(QLineEdit* Edit, char Char)
{
    Edit->setEchoMode(QLineEdit::Password);
    Edit->setStyleSheet(QStringLiteral("lineedit-password-character: %1").arg(static_cast<int>(Char)));
}

TDialogForm::TDialogForm(QWidget* parent) : QDialog(parent)
{
    setModal(true);
    // The system's dialogs have no help button in their title bar.
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
}

TDialogForm::~TDialogForm() = default;

void TDialogForm::SetModalResult(int Value)
{
    if (Value == mrNone)
        return;
    TryClose(Value);
}

int TDialogForm::ShowModal()
{
    m_modalResult = mrNone;
    exec();
    return m_modalResult;
}

QPushButton* TDialogForm::MakeButton(const std::string& Caption, int ModalResult, bool Default, bool Cancel)
{
    auto* button = new QPushButton(QString::fromStdString(Caption), this);
    button->setDefault(Default);
    button->setAutoDefault(false);
    if (Cancel)
        m_cancelButton = button;
    if (ModalResult != mrNone)
        connect(button, &QPushButton::clicked, this, [this, ModalResult] { SetModalResult(ModalResult); });
    return button;
}

void TDialogForm::CloseQuery(bool& CanClose) {}

void TDialogForm::HandleCloseError()
{
    ShowCurrentException();
}

bool TDialogForm::TryClose(int Value)
{
    // A close asked for while CloseQuery runs (a nested click) is ignored.
    if (m_closing)
        return false;
    m_closing = true;
    m_modalResult = Value;
    bool canClose = true;
    try {
        CloseQuery(canClose);
    } catch (...) {
        canClose = false;
        m_closing = false;
        m_modalResult = mrNone;
        HandleCloseError();
        return false;
    }
    m_closing = false;
    if (!canClose) {
        m_modalResult = mrNone;
        return false;
    }
    QDialog::done(Value == mrOk ? QDialog::Accepted : QDialog::Rejected);
    return true;
}

void TDialogForm::reject()
{
    // Escape and the close box answer what the cancel button would.
    if (m_cancelButton && !m_cancelButton->isEnabled())
        return;
    TryClose(mrCancel);
}

void TDialogForm::accept()
{
    TryClose(mrOk);
}

void TDialogForm::done(int r)
{
    TryClose(r == QDialog::Accepted ? mrOk : mrCancel);
}

void TDialogForm::closeEvent(QCloseEvent* event)
{
    // The close box: the dialog closes only through a modal result.
    event->ignore();
    if (isVisible())
        reject();
}

void TDialogForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        PlaceOnScreen();
}

void TDialogForm::PlaceOnScreen()
{
    if (m_position == poDesigned)
        return;
    QRect area;
    if (m_position == poMainFormCenter && parentWidget())
        area = parentWidget()->window()->frameGeometry();
    else if (const QScreen* screen = QGuiApplication::primaryScreen())
        area = screen->availableGeometry();
    if (area.isEmpty())
        return;
    QRect frame = frameGeometry();
    frame.moveCenter(area.center());
    move(frame.topLeft());
}

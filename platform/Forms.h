#pragma once
// Modal dialogs in the manner the system's forms expect (`TDialogForm`, a
// QDialog):
//
// - A dialog closes by getting a modal result other than mrNone: a button
//   with a modal result sets it when clicked, the default button answers
//   Enter, the cancel button and Escape answer mrCancel, and so does the
//   window's close box. ShowModal starts with mrNone and answers the result
//   the dialog closed with.
// - Every close first asks CloseQuery. A close it refuses leaves the modal
//   result at mrNone and the dialog open. An exception raised by CloseQuery
//   refuses the close too; it is handed to HandleCloseError, which by default
//   shows the platform's standard error box (the message with an error icon
//   and OK), as the old platform's application did for errors of a form.
// - Position: poScreenCenter centres on the screen, poMainFormCenter on the
//   parent window (a dialog's parent is the program's main window), falling
//   back to the screen without one.
// - Tag is the small integer the system's dialogs report their result in.
//
// User-interface thread only.

#include "platform/Dialogs.h"
#include "platform/Persistent.h"

#include <QDialog>

#include <initializer_list>

#include <string>

class QHBoxLayout;
class QLineEdit;
class QPushButton;

enum TPosition
{
    poDesigned,
    poScreenCenter,
    poMainFormCenter
};

class TDialogForm : public QDialog, public TObject
{
  public:
    explicit TDialogForm(QWidget* parent = nullptr);
    ~TDialogForm() override;
    std::string ClassName() const override { return "TDialogForm"; }

    int ModalResult() const { return m_modalResult; }
    // mrNone does nothing; any other value closes the dialog with it once
    // CloseQuery allows.
    void SetModalResult(int Value);
    // Shows the dialog modally; answers the modal result it closed with.
    int ShowModal();

    TPosition Position() const { return m_position; }
    void SetPosition(TPosition Value) { m_position = Value; }

    // A push button that closes the dialog with ModalResult when clicked
    // (mrNone: a button that only runs its own handler). The default
    // button answers Enter, the cancel button Escape.
    QPushButton* MakeButton(const std::string& Caption, int ModalResult, bool Default = false, bool Cancel = false);

    int Tag = 0;

  protected:
    // Asked before every close; CanClose starts True. ModalResult() tells
    // which close it is.
    virtual void CloseQuery(bool& CanClose);
    // Called inside the catch block of an exception raised by CloseQuery:
    // shows it in the standard error box.
    virtual void HandleCloseError();

    void reject() override;
    void accept() override;
    void done(int r) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    bool TryClose(int Value);
    void PlaceOnScreen();

    int m_modalResult = mrNone;
    TPosition m_position = poDesigned;
    QPushButton* m_cancelButton = nullptr;
    bool m_closing = false;
};

// Shows the exception being handled in the standard error box (its
// message, an error icon and OK). Call inside a catch block.
void ShowCurrentException();

// A dialog's row of buttons: right-aligned, in the order given.
QHBoxLayout* MakeButtonRow(std::initializer_list<QPushButton*> Buttons);
// An edit's text without blanks around it.
std::string TrimmedText(const QLineEdit* Edit);
// A password edit: every character shows as Char (the style's own mask
// character differs from one platform theme to another).
void SetPasswordChar(QLineEdit* Edit, char Char);

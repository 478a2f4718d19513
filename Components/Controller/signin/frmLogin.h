#pragma once
// The sign-in dialog `TfrmLogin`: user ID, password and connection, and the
// progress of the sign-in while the login callback runs.
//
// OK hands the three values to the login callback (the main window's
// OnUserLogin); True closes the dialog with mrOk, False keeps it open for
// another try. The callback reports its steps and errors as progress
// notices, which the dialog shows as lines of its status memo while it is
// the receiver of progress notices (from showing to closing). While the
// callback runs the fields and buttons are disabled and the dialog cannot
// be closed. An exception that the callback lets out is shown in the
// standard error box; the dialog stays open.
//
// User-interface thread only; notices reported on other threads are not
// shown (the memo belongs to this thread).

#include "platform/Forms.h"
#include "platform/Messages.h"
#include "platform/StringList.h"

#include <functional>
#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class TovnConnections;
class TovnPreferences;

using TLoginCallback = std::function<bool(TObject* Sender, const std::string& UserID, const std::string& Password,
                                          const std::string& Connection)>;

// What one progress notice shows in the status memo: the task name's part
// before the first "/" (the notice's own text, trimmed, when that part is
// "login" in any case), and the part after it, which rewrites the last line
// ("Downloading updates:/3 of 7" shows "Downloading updates: 3 of 7").
struct TLoginStatusStep
{
    std::string Text;
    std::string Suffix;
    bool operator==(const TLoginStatusStep&) const = default;
};
TLoginStatusStep LoginStatusStep(const std::string& TaskName, const std::string& NoticeText);

// The dialog's caption: "Orvane Login" for brand 0, the product's name and
// " Login" for brand 1, "Login" for any other brand.
std::string LoginCaption(int Brand);

class TfrmLogin : public TDialogForm, public IMessageReceiver
{
  public:
    // Takes its caption and banner from AppBrand; centred on `parent` (the
    // main window).
    explicit TfrmLogin(QWidget* parent = nullptr);
    ~TfrmLogin() override;
    std::string ClassName() const override { return "TfrmLogin"; }

    // Stores the callback and fills the fields from the controller's
    // connection list and user preferences.
    void DataToForm(TLoginCallback Callback);
    // The same from the lists given: the connection choice lists every
    // entry and selects the default one (else the first); the user ID is
    // the remembered one when RememberID is set; the password gets the
    // focus when the user ID is not blank, else the user ID.
    void DataToForm(TLoginCallback Callback, const TovnConnections& Connections, const TovnPreferences& Preferences);

    // OK: a blank user ID or password takes the focus and nothing else
    // happens; otherwise the callback runs with the values as typed.
    void btnOkClick();

    bool Busy() const { return m_busy; }
    const std::string& LastStatus() const { return m_lastStatus; }
    // The status memo's lines.
    std::vector<std::string> StatusLines() const;

    QLineEdit* edtID() const { return m_edtID; }
    QLineEdit* edtPassword() const { return m_edtPassword; }
    QComboBox* cboConnection() const { return m_cboConnection; }
    QPlainTextEdit* lbStatus() const { return m_lbStatus; }
    QPushButton* btnOK() const { return m_btnOK; }
    QPushButton* btnCancel() const { return m_btnCancel; }
    // The brand banners; the one of AppBrand is shown.
    QLabel* imgBanner(int Brand) const { return Brand == 0 ? m_banner0 : m_banner1; }

    // Message 5024: shows the notice as a status line.
    void WndProc(TMessage& Message) override;

  protected:
    void CloseQuery(bool& CanClose) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void ShowProgress(const std::string& NoticeText);
    void SetControlsEnabled(bool Value);
    void SetRegistered(bool Value);

    TLoginCallback m_callback;
    TStringList m_connectionLines; // lines with their entries as objects
    std::string m_lastStatus;
    bool m_busy = false;
    bool m_registered = false;

    QLabel* m_banner0 = nullptr;
    QLabel* m_banner1 = nullptr;
    QLineEdit* m_edtID = nullptr;
    QLineEdit* m_edtPassword = nullptr;
    QComboBox* m_cboConnection = nullptr;
    QPlainTextEdit* m_lbStatus = nullptr;
    QPushButton* m_btnOK = nullptr;
    QPushButton* m_btnCancel = nullptr;
};

#pragma once
// Message boxes behind one replaceable service, so that every dialog path
// can run headless in tests (TScriptedDialogs) and with Qt in the program.
//
// The service in use: the one installed with SetDialogService; else the Qt
// message box when a QApplication exists; else a headless fallback that
// writes the text to stderr and answers the cancelling button (Cancel, else
// No, else OK, else the first offered).

#include "platform/SysUtils.h"

#include <deque>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

enum TMsgDlgType
{
    mtWarning,
    mtError,
    mtInformation,
    mtConfirmation,
    mtCustom
};

enum TMsgDlgBtn
{
    mbYes,
    mbNo,
    mbOK,
    mbCancel,
    mbAbort,
    mbRetry,
    mbIgnore,
    mbAll,
    mbNoToAll,
    mbYesToAll,
    mbHelp
};

// A set of buttons: MessageDlg(text, mtConfirmation, {mbYes, mbNo}, 0).
class TMsgDlgButtons
{
  public:
    TMsgDlgButtons() = default;
    TMsgDlgButtons(std::initializer_list<TMsgDlgBtn> buttons)
    {
        for (TMsgDlgBtn b : buttons)
            m_bits |= Bit(b);
    }
    bool Contains(TMsgDlgBtn b) const { return (m_bits & Bit(b)) != 0; }
    bool Empty() const { return m_bits == 0; }
    // In the order the dialog shows them.
    std::vector<TMsgDlgBtn> Buttons() const;
    bool operator==(const TMsgDlgButtons& other) const { return m_bits == other.m_bits; }

  private:
    static unsigned Bit(TMsgDlgBtn b) { return 1u << unsigned(b); }
    unsigned m_bits = 0;
};

const TMsgDlgButtons mbYesNoCancel = {mbYes, mbNo, mbCancel};
const TMsgDlgButtons mbYesAllNoAllCancel = {mbYes, mbYesToAll, mbNo, mbNoToAll, mbCancel};
const TMsgDlgButtons mbOKCancel = {mbOK, mbCancel};
const TMsgDlgButtons mbAbortRetryIgnore = {mbAbort, mbRetry, mbIgnore};
const TMsgDlgButtons mbAbortIgnore = {mbAbort, mbIgnore};

// Modal results.
constexpr int mrNone = 0;
constexpr int mrOk = 1;
constexpr int mrCancel = 2;
constexpr int mrAbort = 3;
constexpr int mrRetry = 4;
constexpr int mrIgnore = 5;
constexpr int mrYes = 6;
constexpr int mrNo = 7;
constexpr int mrAll = 8;
constexpr int mrNoToAll = 9;
constexpr int mrYesToAll = 10;

// The modal result of a button (mbHelp: mrNone).
int ModalResultOf(TMsgDlgBtn button);
// The button that Escape or closing the box answers: Cancel, else No, else OK.
TMsgDlgBtn CancelButtonOf(const TMsgDlgButtons& buttons);
// The button that starts focused: OK, else Yes, else Retry, else the first.
TMsgDlgBtn DefaultButtonOf(const TMsgDlgButtons& buttons);
// The box's caption for a type ("Warning", "Error", "Information",
// "Confirm"; the application's name for mtCustom).
std::string DialogCaptionOf(TMsgDlgType type);

// A file chooser: open (the file must exist) or save (asks before
// replacing). Filter pairs captions and patterns with '|', as in
// "Text Files|*.txt|All Files|*".
enum TFileDialogKind
{
    fdOpen,
    fdSave
};

struct TFileDialogRequest
{
    TFileDialogKind Kind = fdOpen;
    std::string Title;
    std::string Filter;
    // Added to a typed name without an extension (without the dot).
    std::string DefaultExt;
    // The name the dialog starts with.
    std::string FileName;
};

// Qt's form of a '|' filter: "Text Files (*.txt);;All Files (*)".
std::string QtFileFilter(const std::string& Filter);

class IDialogService
{
  public:
    virtual ~IDialogService() = default;
    virtual int MessageDlg(const std::string& text, TMsgDlgType type, const TMsgDlgButtons& buttons,
                           int helpCtx) = 0;
    virtual void ShowMessage(const std::string& text) = 0;
    // True with the chosen file's path in FileName; false when cancelled.
    // A service without file choosers cancels.
    virtual bool PromptForFileName(const TFileDialogRequest& request, std::string& FileName);
};

// Installs `service` (null: back to the default) and answers the previous one.
std::unique_ptr<IDialogService> SetDialogService(std::unique_ptr<IDialogService> service);
IDialogService& DialogService();

int MessageDlg(const std::string& text, TMsgDlgType type, const TMsgDlgButtons& buttons, int helpCtx = 0);
void ShowMessage(const std::string& text);
bool PromptForFileName(const TFileDialogRequest& request, std::string& FileName);

KLD_DECLARE_EXCEPTION(EScriptedDialog, Exception);

// A dialog service for tests: records every box and answers from a queue.
// A box with no answer queued, or an answer that is not one of the offered
// buttons, raises EScriptedDialog so that an unexpected dialog fails the test.
class TScriptedDialogs : public IDialogService
{
  public:
    struct Call
    {
        std::string Text;
        TMsgDlgType Type = mtCustom;
        TMsgDlgButtons Buttons;
        int HelpCtx = 0;
        bool IsShowMessage = false;
    };

    void QueueAnswer(int modalResult);
    // The next file chooser answers FileName; an empty one cancels it.
    void QueueFileName(const std::string& FileName);
    int MessageDlg(const std::string& text, TMsgDlgType type, const TMsgDlgButtons& buttons,
                   int helpCtx) override;
    void ShowMessage(const std::string& text) override;
    bool PromptForFileName(const TFileDialogRequest& request, std::string& FileName) override;
    // The file choosers asked for, in order.
    std::vector<TFileDialogRequest> FileRequests() const;

    std::vector<Call> Calls() const;
    std::vector<std::string> Texts() const;
    std::size_t PendingAnswers() const;

  private:
    mutable std::mutex m_mutex;
    std::deque<int> m_answers;
    std::vector<Call> m_calls;
    std::deque<std::string> m_fileNames;
    std::vector<TFileDialogRequest> m_fileRequests;
};

#include "platform/Dialogs.h"

#include "platform/Threads.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

#include <iostream>
#include <map>

std::vector<TMsgDlgBtn> TMsgDlgButtons::Buttons() const
{
    std::vector<TMsgDlgBtn> out;
    for (int b = mbYes; b <= mbHelp; ++b)
        if (Contains(TMsgDlgBtn(b)))
            out.push_back(TMsgDlgBtn(b));
    return out;
}

int ModalResultOf(TMsgDlgBtn button)
{
    switch (button) {
    case mbYes:
        return mrYes;
    case mbNo:
        return mrNo;
    case mbOK:
        return mrOk;
    case mbCancel:
        return mrCancel;
    case mbAbort:
        return mrAbort;
    case mbRetry:
        return mrRetry;
    case mbIgnore:
        return mrIgnore;
    case mbAll:
        return mrAll;
    case mbNoToAll:
        return mrNoToAll;
    case mbYesToAll:
        return mrYesToAll;
    case mbHelp:
        return mrNone;
    }
    return mrNone;
}

TMsgDlgBtn CancelButtonOf(const TMsgDlgButtons& buttons)
{
    if (buttons.Contains(mbCancel))
        return mbCancel;
    if (buttons.Contains(mbNo))
        return mbNo;
    return mbOK;
}

TMsgDlgBtn DefaultButtonOf(const TMsgDlgButtons& buttons)
{
    if (buttons.Contains(mbOK))
        return mbOK;
    if (buttons.Contains(mbYes))
        return mbYes;
    // Enter in an Abort/Retry/Ignore box retries; it must not abort.
    if (buttons.Contains(mbRetry))
        return mbRetry;
    const auto all = buttons.Buttons();
    return all.empty() ? mbOK : all.front();
}

std::string DialogCaptionOf(TMsgDlgType type)
{
    switch (type) {
    case mtWarning:
        return "Warning";
    case mtError:
        return "Error";
    case mtInformation:
        return "Information";
    case mtConfirmation:
        return "Confirm";
    case mtCustom:
        break;
    }
    return QCoreApplication::instance() ? QCoreApplication::applicationName().toStdString() : std::string();
}

std::string QtFileFilter(const std::string& Filter)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t bar = Filter.find('|', start);
        parts.push_back(Filter.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
        if (bar == std::string::npos)
            break;
        start = bar + 1;
    }
    std::string out;
    for (size_t i = 0; i + 1 < parts.size(); i += 2) {
        std::string patterns = parts[i + 1];
        for (char& c : patterns)
            if (c == ';')
                c = ' ';
        if (!out.empty())
            out += ";;";
        out += parts[i] + " (" + patterns + ")";
    }
    return out;
}

bool IDialogService::PromptForFileName(const TFileDialogRequest&, std::string&)
{
    return false;
}

namespace {

const char* ButtonCaption(TMsgDlgBtn button)
{
    switch (button) {
    case mbYes:
        return "&Yes";
    case mbNo:
        return "&No";
    case mbOK:
        return "OK";
    case mbCancel:
        return "Cancel";
    case mbAbort:
        return "&Abort";
    case mbRetry:
        return "&Retry";
    case mbIgnore:
        return "&Ignore";
    case mbAll:
        return "&All";
    case mbNoToAll:
        return "N&o to All";
    case mbYesToAll:
        return "Yes to &All";
    case mbHelp:
        return "&Help";
    }
    return "";
}

// With no buttons a box still needs one way out.
TMsgDlgButtons EffectiveButtons(const TMsgDlgButtons& buttons)
{
    return buttons.Empty() ? TMsgDlgButtons{mbOK} : buttons;
}

class TQtDialogs : public IDialogService
{
  public:
    int MessageDlg(const std::string& text, TMsgDlgType type, const TMsgDlgButtons& buttons,
                   int helpCtx) override
    {
        int result = mrNone;
        // Widgets live on the main thread; a worker's box is shown there.
        MainThread::Synchronize([&] { result = Show(text, type, EffectiveButtons(buttons)); });
        return result;
    }

    void ShowMessage(const std::string& text) override { MessageDlg(text, mtCustom, {mbOK}, 0); }

    bool PromptForFileName(const TFileDialogRequest& request, std::string& FileName) override
    {
        bool chosen = false;
        MainThread::Synchronize([&] {
            QFileDialog dialog(QApplication::activeWindow(), QString::fromStdString(request.Title));
            dialog.setAcceptMode(request.Kind == fdSave ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
            dialog.setFileMode(request.Kind == fdSave ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
            if (!request.Filter.empty())
                dialog.setNameFilter(QString::fromStdString(QtFileFilter(request.Filter)));
            if (!request.DefaultExt.empty())
                dialog.setDefaultSuffix(QString::fromStdString(request.DefaultExt));
            if (!request.FileName.empty())
                dialog.selectFile(QString::fromStdString(request.FileName));
            if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
                FileName = dialog.selectedFiles().front().toStdString();
                chosen = true;
            }
        });
        return chosen;
    }

  private:
    static int Show(const std::string& text, TMsgDlgType type, const TMsgDlgButtons& buttons)
    {
        QMessageBox box(QApplication::activeWindow());
        box.setWindowTitle(QString::fromStdString(DialogCaptionOf(type)));
        // Messages carry the server's and other users' texts: never markup.
        box.setTextFormat(Qt::PlainText);
        box.setText(QString::fromStdString(text));
        switch (type) {
        case mtWarning:
            box.setIcon(QMessageBox::Warning);
            break;
        case mtError:
            box.setIcon(QMessageBox::Critical);
            break;
        case mtInformation:
            box.setIcon(QMessageBox::Information);
            break;
        case mtConfirmation:
            box.setIcon(QMessageBox::Question);
            break;
        case mtCustom:
            box.setIcon(QMessageBox::NoIcon);
            break;
        }
        std::map<QAbstractButton*, TMsgDlgBtn> byButton;
        for (TMsgDlgBtn b : buttons.Buttons()) {
            QPushButton* button = box.addButton(QString::fromUtf8(ButtonCaption(b)), QMessageBox::ActionRole);
            byButton[button] = b;
            if (b == DefaultButtonOf(buttons))
                box.setDefaultButton(button);
            if (b == CancelButtonOf(buttons))
                box.setEscapeButton(button);
        }
        box.exec();
        auto it = byButton.find(box.clickedButton());
        if (it == byButton.end())
            return ModalResultOf(CancelButtonOf(buttons));
        return ModalResultOf(it->second);
    }
};

class THeadlessDialogs : public IDialogService
{
  public:
    int MessageDlg(const std::string& text, TMsgDlgType type, const TMsgDlgButtons& buttons,
                   int helpCtx) override
    {
        const TMsgDlgButtons offered = EffectiveButtons(buttons);
        TMsgDlgBtn answer = CancelButtonOf(offered);
        if (!offered.Contains(answer))
            answer = offered.Buttons().front();
        std::cerr << "[" << DialogCaptionOf(type) << "] " << text << std::endl;
        return ModalResultOf(answer);
    }
    void ShowMessage(const std::string& text) override { std::cerr << text << std::endl; }
    bool PromptForFileName(const TFileDialogRequest& request, std::string&) override
    {
        std::cerr << "[" << (request.Title.empty() ? "File" : request.Title) << "] cancelled: no display" << std::endl;
        return false;
    }
};

std::mutex g_serviceMutex;
std::unique_ptr<IDialogService> g_service;

} // namespace

std::unique_ptr<IDialogService> SetDialogService(std::unique_ptr<IDialogService> service)
{
    std::lock_guard<std::mutex> lock(g_serviceMutex);
    std::swap(g_service, service);
    return service;
}

IDialogService& DialogService()
{
    {
        std::lock_guard<std::mutex> lock(g_serviceMutex);
        if (g_service)
            return *g_service;
    }
    static TQtDialogs qtDialogs;
    static THeadlessDialogs headless;
    if (qobject_cast<QApplication*>(QCoreApplication::instance()))
        return qtDialogs;
    return headless;
}

int MessageDlg(const std::string& text, TMsgDlgType type, const TMsgDlgButtons& buttons, int helpCtx)
{
    return DialogService().MessageDlg(text, type, buttons, helpCtx);
}

void ShowMessage(const std::string& text)
{
    DialogService().ShowMessage(text);
}

bool PromptForFileName(const TFileDialogRequest& request, std::string& FileName)
{
    return DialogService().PromptForFileName(request, FileName);
}

// ---------------------------------------------------------------------------
// TScriptedDialogs

void TScriptedDialogs::QueueAnswer(int modalResult)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_answers.push_back(modalResult);
}

int TScriptedDialogs::MessageDlg(const std::string& text, TMsgDlgType type, const TMsgDlgButtons& buttons,
                                 int helpCtx)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.push_back(Call{text, type, buttons, helpCtx, false});
    if (m_answers.empty())
        throw EScriptedDialog("No answer queued for the dialog: " + text);
    const int answer = m_answers.front();
    m_answers.pop_front();
    bool offered = false;
    for (TMsgDlgBtn b : EffectiveButtons(buttons).Buttons())
        offered = offered || ModalResultOf(b) == answer;
    if (!offered)
        throw EScriptedDialog("Answer " + std::to_string(answer) + " is not a button of the dialog: " + text);
    return answer;
}

void TScriptedDialogs::ShowMessage(const std::string& text)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.push_back(Call{text, mtCustom, {mbOK}, 0, true});
}

void TScriptedDialogs::QueueFileName(const std::string& FileName)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_fileNames.push_back(FileName);
}

bool TScriptedDialogs::PromptForFileName(const TFileDialogRequest& request, std::string& FileName)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_fileRequests.push_back(request);
    if (m_fileNames.empty())
        throw EScriptedDialog("No file name queued for the file dialog: " + request.Title);
    const std::string answer = m_fileNames.front();
    m_fileNames.pop_front();
    if (answer.empty())
        return false;
    FileName = answer;
    return true;
}

std::vector<TFileDialogRequest> TScriptedDialogs::FileRequests() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_fileRequests;
}

std::vector<TScriptedDialogs::Call> TScriptedDialogs::Calls() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_calls;
}

std::vector<std::string> TScriptedDialogs::Texts() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<std::string> texts;
    for (const Call& c : m_calls)
        texts.push_back(c.Text);
    return texts;
}

std::size_t TScriptedDialogs::PendingAnswers() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_answers.size();
}

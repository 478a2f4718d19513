#include "platform/Dialogs.h"

#include "platform/Threads.h"

#include "support/TempFolder.h"

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <gtest/gtest.h>

namespace {

// Installs a scripted service for one test and restores the previous one.
class ScriptedDialogsTest : public testing::Test
{
  protected:
    void SetUp() override
    {
        auto scripted = std::make_unique<TScriptedDialogs>();
        m_dialogs = scripted.get();
        m_previous = SetDialogService(std::move(scripted));
    }
    void TearDown() override { SetDialogService(std::move(m_previous)); }

    TScriptedDialogs* m_dialogs = nullptr;

  private:
    std::unique_ptr<IDialogService> m_previous;
};

} // namespace

TEST_F(ScriptedDialogsTest, AnswersFromTheQueueAndRecordsTheBoxes)
{
    m_dialogs->QueueAnswer(mrYes);
    m_dialogs->QueueAnswer(mrCancel);
    EXPECT_EQ(MessageDlg("End the other session?", mtConfirmation, {mbYes, mbNo}, 0), mrYes);
    EXPECT_EQ(MessageDlg("Save changes?", mtWarning, mbYesNoCancel, 7), mrCancel);
    ShowMessage("Done.");
    const auto calls = m_dialogs->Calls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].Text, "End the other session?");
    EXPECT_EQ(calls[0].Type, mtConfirmation);
    EXPECT_TRUE(calls[0].Buttons == (TMsgDlgButtons{mbYes, mbNo}));
    EXPECT_EQ(calls[1].HelpCtx, 7);
    EXPECT_TRUE(calls[2].IsShowMessage);
    EXPECT_EQ(m_dialogs->Texts(),
              (std::vector<std::string>{"End the other session?", "Save changes?", "Done."}));
    EXPECT_EQ(m_dialogs->PendingAnswers(), 0u);
}

TEST_F(ScriptedDialogsTest, AnUnexpectedBoxOrAnswerFailsLoudly)
{
    EXPECT_THROW(MessageDlg("Surprise", mtError, {mbOK}, 0), EScriptedDialog);
    m_dialogs->QueueAnswer(mrYes);
    EXPECT_THROW(MessageDlg("Only OK here", mtInformation, {mbOK}, 0), EScriptedDialog);
    EXPECT_EQ(m_dialogs->Calls().size(), 2u);
}

TEST_F(ScriptedDialogsTest, WorksFromAWorkerThread)
{
    m_dialogs->QueueAnswer(mrRetry);
    int answer = mrNone;
    TAnonymousThread worker([&] { answer = MessageDlg("Retry?", mtError, mbAbortRetryIgnore, 0); });
    worker.Start();
    worker.WaitFor();
    EXPECT_EQ(answer, mrRetry);
}

TEST(MessageDlgRules, ButtonsResultsAndCaptions)
{
    struct Case
    {
        TMsgDlgBtn button;
        int result;
    };
    const Case cases[] = {
        {mbYes, 6},    {mbNo, 7},  {mbOK, 1},      {mbCancel, 2},    {mbAbort, 3}, {mbRetry, 4},
        {mbIgnore, 5}, {mbAll, 8}, {mbNoToAll, 9}, {mbYesToAll, 10}, {mbHelp, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.button));
        EXPECT_EQ(ModalResultOf(c.button), c.result);
    }
    EXPECT_EQ(CancelButtonOf(mbYesNoCancel), mbCancel);
    EXPECT_EQ(CancelButtonOf({mbYes, mbNo}), mbNo);
    EXPECT_EQ(CancelButtonOf({mbOK}), mbOK);
    EXPECT_EQ(DefaultButtonOf(mbOKCancel), mbOK);
    EXPECT_EQ(DefaultButtonOf(mbYesNoCancel), mbYes);
    EXPECT_EQ(DefaultButtonOf(mbAbortRetryIgnore), mbRetry);
    EXPECT_EQ(DefaultButtonOf({mbRetry, mbCancel}), mbRetry);
    EXPECT_EQ(DefaultButtonOf(mbAbortIgnore), mbAbort);
    EXPECT_EQ(DialogCaptionOf(mtConfirmation), "Confirm");
    EXPECT_EQ(DialogCaptionOf(mtError), "Error");
    EXPECT_EQ((TMsgDlgButtons{mbCancel, mbYes}.Buttons()), (std::vector<TMsgDlgBtn>{mbYes, mbCancel}));
}

TEST(MessageDlgRules, QtServiceIsTheDefaultUnderAQApplication)
{
    // Without a scripted service the Qt box is used: answer it by pressing
    // Escape, which gives the cancelling button.
    ASSERT_FALSE(SetDialogService(nullptr));
    MainThread::Queue([] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(w))
                box->reject();
    });
    EXPECT_EQ(MessageDlg("Close?", mtConfirmation, {mbYes, mbNo}, 0), mrNo);
}

TEST(MessageDlgRules, TheQtBoxShowsAServersTextAsPlainText)
{
    // A message carrying markup and a local picture, as a server error text
    // may: the box shows the characters, on one line, without the picture.
    QImage red(200, 200, QImage::Format_RGB32);
    red.fill(qRgb(255, 0, 0));
    TTempFolder folder;
    const QString picture = QString::fromStdString(folder / "red.png");
    ASSERT_TRUE(red.save(picture, "PNG"));
    const std::string text = "<b>ORA-20001</b> <img src=\"file://" + picture.toStdString() + "\">";
    ASSERT_FALSE(SetDialogService(nullptr));
    Qt::TextFormat format = Qt::RichText;
    QString shown;
    int height = 0;
    MainThread::Queue([&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(w)) {
                if (auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
                    format = label->textFormat();
                    shown = label->text();
                    height = label->sizeHint().height();
                }
                box->reject();
            }
    });
    MessageDlg(text, mtError, {mbOK}, 0);
    EXPECT_EQ(format, Qt::PlainText);
    EXPECT_EQ(shown.toStdString(), text);
    EXPECT_GT(height, 0);
    EXPECT_LT(height, 100) << "the picture was shown";
}

TEST_F(ScriptedDialogsTest, FileChoosersAnswerFromTheirQueueAndCancelOnAnEmptyName)
{
    TFileDialogRequest request;
    request.Kind = fdSave;
    request.Title = "Save Attachment";
    request.FileName = "plan.pdf";
    std::string chosen = "before";
    EXPECT_THROW(PromptForFileName(request, chosen), EScriptedDialog);
    m_dialogs->QueueFileName("/tmp/a.pdf");
    m_dialogs->QueueFileName("");
    EXPECT_TRUE(PromptForFileName(request, chosen));
    EXPECT_EQ(chosen, "/tmp/a.pdf");
    EXPECT_FALSE(PromptForFileName(request, chosen));
    EXPECT_EQ(chosen, "/tmp/a.pdf");
    const auto asked = m_dialogs->FileRequests();
    ASSERT_EQ(asked.size(), 3u);
    EXPECT_EQ(asked[1].Kind, fdSave);
    EXPECT_EQ(asked[1].FileName, "plan.pdf");
    EXPECT_EQ(asked[1].Title, "Save Attachment");
}

TEST(FileDialogRules, BarFiltersBecomeQtFilters)
{
    EXPECT_EQ(QtFileFilter("Text Files|*.txt"), "Text Files (*.txt)");
    EXPECT_EQ(QtFileFilter("Pictures|*.png;*.bmp|All Files|*"), "Pictures (*.png *.bmp);;All Files (*)");
    EXPECT_EQ(QtFileFilter(""), "");
    EXPECT_EQ(QtFileFilter("Caption without pattern"), "");
}

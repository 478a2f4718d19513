#pragma once
// The O-Mail mailbox (unit ReadMail): a module window with the Inbox and
// the Sent Mail box, one grid each over the system database's TBL_MAIL
// (qryRead, qrySent). It keeps the unread count, re-reads the Inbox on a
// timer (tmrCheckMail, from the preferences MailCheck and MailCheckEvery),
// and reports the exact count to the main window with 1434 (wParam the
// count, lParam 1). There is at most one; the main window's DoOpenOMail
// opens it. Main thread only.

#include "Components/Controller/applets/KldForms.h"
#include "platform/Timers.h"

#include <QMetaObject>

#include <memory>
#include <string>
#include <vector>

class QAction;
class QLabel;
class QSplitter;
class QToolBar;
class TDBGrid;
class TDataSource;
class TDataSet;
class TovnOndrelQuery;

enum TMailBox
{
    mbxInbox = 1,
    mbxSent = 2
};

// The grid titles of a box's fields: a blank status column, "From" (Inbox)
// or "To User" (Sent Mail), "Subject", "Sent" and the hidden "User Name",
// "User Type" and "User Enterprise".
void MailGridLabels(TDataSet& DataSet, bool Inbox);

class TfrmReadMail : public TModuleForm
{
  public:
    explicit TfrmReadMail(QWidget* Parent = nullptr);
    ~TfrmReadMail() override;
    std::string ClassName() const override { return "TfrmReadMail"; }

    // The queries' parameters from the signed-in user, then CheckMail.
    void Populate();
    // Re-opens the Inbox (which updates the count) and restarts the timer.
    void CheckMail();
    // The timer from the preferences: MailCheckInterval(MailCheckEvery),
    // running when MailCheck is on and the interval is not 0.
    void ResetTimer();
    void ShowMail(int Box, TovnOndrelQuery& Query);
    void SetMailRead(int32_t Counter, const std::string& Value);
    // Counts the Inbox's unread rows, posts 1434 (count, 1) to the main
    // window and updates the Inbox label.
    void DoUpDateMailCount();

    int CurrentBox() const { return m_box; }
    int UnreadCount() const { return m_unread; }
    TTimer& tmrCheckMail() { return m_tmrCheckMail; }
    TovnOndrelQuery& qryRead() const { return *m_qryRead; }
    TovnOndrelQuery& qrySent() const { return *m_qrySent; }
    // The query of the current box.
    TovnOndrelQuery& CurrentQuery() const;

    // The actions; errors raise to the caller (the toolbar hands them to
    // the application's exception handler).
    void ComposeExec();
    void ReadExec();
    void KeepAsNewExec();
    void DeleteExec();
    void UnsendExec();
    void FilterExec();
    void RefreshExec();
    // The actions' enabled, visible and caption state from the boxes.
    void UpdateActions();

    void FormClose(TFormCloseAction& Action) override;

    QSplitter* Splitter = nullptr;
    QWidget* pnlLeft = nullptr;
    QLabel* lblInbox = nullptr;
    QLabel* lblSent = nullptr;
    QLabel* lblArchived = nullptr;
    QToolBar* ToolBar = nullptr;
    QAction* actCompose = nullptr;
    QAction* actRead = nullptr;
    QAction* actKeepAsNew = nullptr;
    QAction* actDelete = nullptr;
    QAction* actUnsend = nullptr;
    QAction* actFilter = nullptr;
    QAction* actRefresh = nullptr;
    TDBGrid* grdInbox = nullptr;
    TDBGrid* grdSent = nullptr;

  protected:
    void resizeEvent(QResizeEvent* Event) override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;

  private:
    void BuildControls();
    void LayoutGrid(TDBGrid* Grid, bool Inbox);
    void FitSubjectColumn(TDBGrid* Grid);
    void UpdateLabels();
    void SelectBox(int Box);
    void RunStatement(const std::string& Sql);
    void RunGuarded(const char* Where, void (TfrmReadMail::*Action)());

    int m_box = 0;
    int m_unread = 0;
    TTimer m_tmrCheckMail;
    std::unique_ptr<TovnOndrelQuery> m_qryRead;
    std::unique_ptr<TovnOndrelQuery> m_qrySent;
    std::unique_ptr<TDataSource> m_dsRead;
    std::unique_ptr<TDataSource> m_dsSent;
    std::vector<QMetaObject::Connection> m_links;
};

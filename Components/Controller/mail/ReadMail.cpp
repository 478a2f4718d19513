#include "Components/Controller/mail/ReadMail.h"

#include "Components/Controller/mail/MailRules.h"
#include "Components/Controller/mainwindow/OrvaneBrowser4.h"
#include "Components/Controller/ovnAdmin.h"
#include "Components/Controller/ovnController.h"
#include "Components/Nembra/ovnOndrel.h"
#include "platform/DBGrids.h"
#include "platform/DataSetModel.h"
#include "platform/Dialogs.h"
#include "platform/Fields.h"
#include "platform/StdCtrls.h"

#include <QAction>
#include <QEvent>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QResizeEvent>
#include <QScrollBar>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QToolBar>
#include <QVBoxLayout>

#include <map>

namespace {

TfrmOrvaneBrowser4* Browser()
{
    return Controller ? Controller->Browser() : nullptr;
}

constexpr const char* kFullUserName =
    "NVL(TU.FULL_NAME, '')||' ['||TU.USER_ID||'@'||TE.ENTERPRISE||']' AS FULL_USER_NAME";

int ColumnOf(const TDataSetModel& Model, const std::string& Name)
{
    for (int c = 0; c < Model.columnCount(); ++c)
        if (TField* f = Model.ColumnField(c); f && SameText(f->FieldName(), Name))
            return c;
    return -1;
}

std::string Cell(const TDataSetModel& Model, int Row, const std::string& Name)
{
    const int column = ColumnOf(Model, Name);
    return column < 0 ? std::string() : Model.index(Row, column).data().toString().toStdString();
}

// The status column: the unread picture at x 20 (Inbox only) and the
// attachment picture at x 2.
class TMailStatusDelegate : public QStyledItemDelegate
{
  public:
    TMailStatusDelegate(QObject* Parent, bool Inbox) : QStyledItemDelegate(Parent), m_inbox(Inbox) {}

    void paint(QPainter* Painter, const QStyleOptionViewItem& Option, const QModelIndex& Index) const override
    {
        const auto* model = qobject_cast<const TDataSetModel*>(Index.model());
        if (!model || Index.column() != ColumnOf(*model, "HAS_BEEN_READ")) {
            QStyledItemDelegate::paint(Painter, Option, Index);
            return;
        }
        QStyleOptionViewItem option(Option);
        initStyleOption(&option, Index);
        option.text.clear();
        option.widget->style()->drawControl(QStyle::CE_ItemViewItem, &option, Painter, option.widget);
        const QRect r = Option.rect;
        const int top = r.top() + (r.height() - 16) / 2;
        Painter->save();
        Painter->setRenderHint(QPainter::Antialiasing);
        if (!Cell(*model, Index.row(), "FILE_NAME").empty())
            DrawClip(*Painter, QRect(r.left() + 2, top, 16, 16));
        if (m_inbox && Cell(*model, Index.row(), "HAS_BEEN_READ") == "F")
            DrawEnvelope(*Painter, QRect(r.left() + 20, top, 16, 16));
        Painter->restore();
    }

    static void DrawEnvelope(QPainter& P, const QRect& R)
    {
        const QRectF body(R.left() + 1.5, R.top() + 3.5, 13, 9);
        P.setPen(QPen(QColor(0x1F, 0x4E, 0x9A), 1));
        P.setBrush(QColor(0xFF, 0xF2, 0xB0));
        P.drawRect(body);
        QPainterPath flap;
        flap.moveTo(body.topLeft());
        flap.lineTo(body.center().x(), body.top() + 5);
        flap.lineTo(body.topRight());
        P.setBrush(Qt::NoBrush);
        P.drawPath(flap);
    }

    static void DrawClip(QPainter& P, const QRect& R)
    {
        P.setPen(QPen(QColor(0x50, 0x50, 0x50), 1.4));
        P.setBrush(Qt::NoBrush);
        QPainterPath clip;
        const double x = R.left() + 5, y = R.top() + 2;
        clip.moveTo(x + 5, y + 4);
        clip.lineTo(x + 5, y + 10);
        clip.arcTo(QRectF(x + 1, y + 8, 4, 4), 0, -180);
        clip.lineTo(x + 1, y + 2);
        clip.arcTo(QRectF(x + 1, y - 1, 6, 6), 180, -180);
        clip.lineTo(x + 7, y + 11);
        clip.arcTo(QRectF(x - 1, y + 7, 8, 7), 0, -180);
        clip.lineTo(x - 1, y + 5);
        P.drawPath(clip);
    }

  private:
    bool m_inbox;
};

std::unique_ptr<TovnOndrelQuery> MailQuery(const char* Name, bool Inbox)
{
    auto query = std::make_unique<TovnOndrelQuery>();
    query->SetName(Name);
    query->SetDatabaseName("SYSTEM_DATA");
    TSQLQuerySchema& schema = query->SQLSchema();
    schema.BeginUpdate();
    if (Inbox) {
        schema.Select().SetText(
            std::string("TM.COUNTER, TM.MAIL_TYPE, TM.DATE_TIME_SENT, TM.SUBJECT, TM.HAS_BEEN_READ, "
                        "TM.C_USER_TO, TM.C_USER_FROM, TM.FILE_NAME, TU.USER_ID, "
                        "TU.FULL_NAME AS USER_NAME, TU.USER_TYPE, TE.ENTERPRISE, ") +
            kFullUserName);
        schema.From().SetText("TBL_MAIL TM LEFT OUTER JOIN TBL_USERS TU ON TM.C_USER_FROM = TU.COUNTER "
                              "LEFT OUTER JOIN TBL_ENTERPRISES TE ON TU.C_ENTERPRISE = TE.COUNTER");
        schema.Where().SetText(
            "(TM.MAIL_TYPE <> 'HID') AND (TM.C_USER_TO IN (1, :C_USER)) AND "
            "((:USER_TYPE = 'SYS') OR (TU.USER_TYPE = 'SYS') OR (TM.C_USER_FROM IS NULL) OR "
            "(TU.C_ENTERPRISE = :C_ENTERPRISE))");
    } else {
        schema.Select().SetText(
            std::string("TM.COUNTER, TM.MAIL_TYPE, TM.DATE_TIME_SENT, TM.SUBJECT, TM.HAS_BEEN_READ, "
                        "TM.FILE_NAME, TU.USER_ID, TU.FULL_NAME AS USER_NAME, TU.USER_TYPE, "
                        "TE.ENTERPRISE, ") +
            kFullUserName);
        schema.From().SetText("TBL_MAIL TM LEFT OUTER JOIN TBL_USERS TU ON TM.C_USER_TO = TU.COUNTER "
                              "LEFT OUTER JOIN TBL_ENTERPRISES TE ON TU.C_ENTERPRISE = TE.COUNTER");
        schema.Where().SetText("(TM.MAIL_TYPE <> 'HID') AND (TM.C_USER_FROM = :C_USER)");
    }
    schema.OrderBy().SetText("TM.DATE_TIME_SENT DESC");
    schema.EndUpdate();
    if (Inbox) {
        // The list never needs the bodies; read marks are kept in memory.
        query->SetFetchBlobs(false);
        query->AllowMemoryPost = true;
    }
    TovnOndrelQuery* q = query.get();
    query->AfterOpen = [q, Inbox](TDataSet*) {
        for (const char* hidden : {"COUNTER", "C_USER_TO", "C_USER_FROM"})
            if (TField* f = q->FindField(hidden))
                if (Inbox || std::string(hidden) == "COUNTER")
                    f->SetVisible(false);
        MailGridLabels(*q, Inbox);
    };
    return query;
}

} // namespace

void MailGridLabels(TDataSet& DataSet, bool Inbox)
{
    const std::map<std::string, std::string> labels = {
        {"HAS_BEEN_READ", " "},           {"FULL_USER_NAME", Inbox ? "From" : "To User"},
        {"SUBJECT", "Subject"},           {"DATE_TIME_SENT", "Sent"},
        {"USER_NAME", "User Name"},       {"USER_TYPE", "User Type"},
        {"ENTERPRISE", "User Enterprise"}};
    for (const auto& [name, label] : labels)
        if (TField* f = DataSet.FindField(name))
            f->SetDisplayLabel(label);
}

TfrmReadMail::TfrmReadMail(QWidget* Parent) : TModuleForm(Parent, nullptr)
{
    SetCaption("O-Mail");
    m_qryRead = MailQuery("qryRead", true);
    m_qrySent = MailQuery("qrySent", false);
    m_dsRead = std::make_unique<TDataSource>();
    m_dsRead->SetDataSet(m_qryRead.get());
    m_dsSent = std::make_unique<TDataSource>();
    m_dsSent->SetDataSet(m_qrySent.get());
    m_tmrCheckMail.SetEnabled(false);
    m_tmrCheckMail.OnTimer = [this](TTimer*) { RunGuarded("tmrCheckMail", &TfrmReadMail::CheckMail); };
    BuildControls();
    m_qryRead->AfterOpen = [this, previous = m_qryRead->AfterOpen](TDataSet* DataSet) {
        if (previous)
            previous(DataSet);
        DoUpDateMailCount();
    };
    // The Inbox first; Populate gives its query the user and opens it.
    SelectBox(mbxInbox);
}

TfrmReadMail::~TfrmReadMail()
{
    // The grids outlive this part of the window: nothing of theirs may call
    // back into it.
    for (const QMetaObject::Connection& link : m_links)
        QObject::disconnect(link);
    m_tmrCheckMail.SetEnabled(false);
    grdInbox->SetDataSource(nullptr);
    grdSent->SetDataSource(nullptr);
    m_qryRead->AfterOpen = nullptr;
}

void TfrmReadMail::BuildControls()
{
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    Splitter = new QSplitter(Qt::Horizontal, this);
    pnlLeft = new QWidget(Splitter);
    pnlLeft->setMinimumWidth(130);
    pnlLeft->setMaximumWidth(250);
    pnlLeft->setAutoFillBackground(true);
    pnlLeft->setBackgroundRole(QPalette::Base);
    auto* left = new QVBoxLayout(pnlLeft);
    lblInbox = new TPlainLabel(QStringLiteral("Inbox"), pnlLeft);
    lblSent = new TPlainLabel(QStringLiteral("Sent"), pnlLeft);
    lblArchived = new TPlainLabel(QStringLiteral("Archived"), pnlLeft);
    lblArchived->setVisible(false);
    for (QLabel* label : {lblInbox, lblSent, lblArchived}) {
        label->setCursor(Qt::PointingHandCursor);
        label->installEventFilter(this);
        left->addWidget(label);
    }
    left->addStretch(1);

    auto* right = new QWidget(Splitter);
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    ToolBar = new QToolBar(right);
    ToolBar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    auto action = [this](const char* Caption, const char* Where, void (TfrmReadMail::*Run)()) {
        QAction* a = ToolBar->addAction(QString::fromUtf8(Caption));
        QObject::connect(a, &QAction::triggered, this, [this, Where, Run] { RunGuarded(Where, Run); });
        return a;
    };
    actCompose = action("Compose", "Compose", &TfrmReadMail::ComposeExec);
    actRead = action("Read", "Read", &TfrmReadMail::ReadExec);
    actKeepAsNew = action("Keep As New", "KeepAsNew", &TfrmReadMail::KeepAsNewExec);
    actDelete = action("Delete", "Delete", &TfrmReadMail::DeleteExec);
    actUnsend = action("Unsend", "Unsend", &TfrmReadMail::UnsendExec);
    actFilter = action("Filter...", "Filter", &TfrmReadMail::FilterExec);
    actRefresh = action("Refresh", "Refresh", &TfrmReadMail::RefreshExec);
    rightLayout->addWidget(ToolBar);
    grdInbox = new TDBGrid(right);
    grdSent = new TDBGrid(right);
    for (TDBGrid* grid : {grdInbox, grdSent}) {
        const bool inbox = grid == grdInbox;
        grid->SetDataSource(inbox ? m_dsRead.get() : m_dsSent.get());
        grid->setItemDelegate(new TMailStatusDelegate(grid, inbox));
        grid->setSelectionBehavior(QAbstractItemView::SelectRows);
        grid->setSelectionMode(QAbstractItemView::SingleSelection);
        grid->verticalHeader()->setVisible(false);
        grid->horizontalHeader()->setVisible(true);
        grid->installEventFilter(this);
        rightLayout->addWidget(grid, 1);
        m_links.push_back(QObject::connect(grid->selectionModel(), &QItemSelectionModel::currentRowChanged,
                                           grid, [this, grid](const QModelIndex& current) {
                                               if (current.isValid())
                                                   grid->Model().SetCurrentRow(current.row());
                                               UpdateActions();
                                           }));
        m_links.push_back(QObject::connect(grid, &QAbstractItemView::doubleClicked, this,
                                           [this] { RunGuarded("Read", &TfrmReadMail::ReadExec); }));
        m_links.push_back(
            QObject::connect(&grid->Model(), &QAbstractItemModel::modelReset, grid, [this, grid, inbox] {
                LayoutGrid(grid, inbox);
                UpdateActions();
            }));
        m_links.push_back(QObject::connect(&grid->Model(), &QAbstractItemModel::rowsRemoved, this,
                                           [this] { UpdateActions(); }));
    }
    Splitter->addWidget(pnlLeft);
    Splitter->addWidget(right);
    Splitter->setStretchFactor(1, 1);
    Splitter->setSizes({160, 800});
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Splitter);
}

void TfrmReadMail::LayoutGrid(TDBGrid* Grid, bool Inbox)
{
    const TDataSetModel& model = Grid->Model();
    QHeaderView* header = Grid->horizontalHeader();
    const std::vector<std::pair<const char*, int>> shown = {{"HAS_BEEN_READ", Inbox ? 40 : 20},
                                                            {"FULL_USER_NAME", 300},
                                                            {"SUBJECT", 250},
                                                            {"DATE_TIME_SENT", 150}};
    for (int c = 0; c < model.columnCount(); ++c)
        Grid->setColumnHidden(c, true);
    int visual = 0;
    for (const auto& [name, width] : shown) {
        const int column = ColumnOf(model, name);
        if (column < 0)
            continue;
        Grid->setColumnHidden(column, false);
        header->moveSection(header->visualIndex(column), visual++);
        Grid->setColumnWidth(column, width);
    }
    // The user's columns are there, hidden, after the shown ones.
    for (const char* name : {"USER_NAME", "USER_TYPE", "ENTERPRISE"}) {
        const int column = ColumnOf(model, name);
        if (column >= 0)
            header->moveSection(header->visualIndex(column), visual++);
    }
    FitSubjectColumn(Grid);
}

void TfrmReadMail::FitSubjectColumn(TDBGrid* Grid)
{
    const TDataSetModel& model = Grid->Model();
    const int status = ColumnOf(model, "HAS_BEEN_READ");
    const int from = ColumnOf(model, "FULL_USER_NAME");
    const int subject = ColumnOf(model, "SUBJECT");
    const int sent = ColumnOf(model, "DATE_TIME_SENT");
    if (subject < 0)
        return;
    int width = Grid->width() - 2 * Grid->frameWidth() - Grid->verticalScrollBar()->sizeHint().width();
    for (int c : {status, from, sent})
        if (c >= 0)
            width -= Grid->columnWidth(c);
    Grid->setColumnWidth(subject, std::max(100, width));
}

void TfrmReadMail::resizeEvent(QResizeEvent* Event)
{
    TModuleForm::resizeEvent(Event);
    FitSubjectColumn(grdInbox);
    FitSubjectColumn(grdSent);
}

bool TfrmReadMail::eventFilter(QObject* Watched, QEvent* Event)
{
    if (Event->type() == QEvent::Resize && (Watched == grdInbox || Watched == grdSent))
        FitSubjectColumn(static_cast<TDBGrid*>(Watched));
    if (Event->type() == QEvent::MouseButtonRelease) {
        if (Watched == lblInbox) {
            try {
                ShowMail(mbxInbox, *m_qryRead);
            } catch (...) {
                ApplicationHandleException(ClassName() + ".Inbox");
            }
            return true;
        }
        if (Watched == lblSent) {
            try {
                ShowMail(mbxSent, *m_qrySent);
            } catch (...) {
                ApplicationHandleException(ClassName() + ".Sent");
            }
            return true;
        }
    }
    return TModuleForm::eventFilter(Watched, Event);
}

void TfrmReadMail::RunGuarded(const char* Where, void (TfrmReadMail::*Action)())
{
    if (!Action)
        return;
    try {
        (this->*Action)();
    } catch (...) {
        ApplicationHandleException(ClassName() + "." + Where);
    }
    UpdateActions();
}

TovnOndrelQuery& TfrmReadMail::CurrentQuery() const
{
    return m_box == mbxSent ? *m_qrySent : *m_qryRead;
}

void TfrmReadMail::Populate()
{
    TfrmOrvaneBrowser4* browser = Browser();
    if (!browser)
        return;
    const TAdminUser& user = browser->GetUser();
    for (TovnOndrelQuery* q : {m_qryRead.get(), m_qrySent.get()}) {
        q->Close();
        q->Params().ParamByName("C_USER")->SetAsInteger(user.Counter);
    }
    m_qryRead->Params().ParamByName("USER_TYPE")->SetAsString(user.UserType);
    m_qryRead->Params().ParamByName("C_ENTERPRISE")->SetAsInteger(user.C_Enterprise);
    CheckMail();
}

void TfrmReadMail::CheckMail()
{
    m_qryRead->Close();
    m_qryRead->Open();
    ResetTimer();
}

void TfrmReadMail::ResetTimer()
{
    bool check = true;
    int32_t every = 10;
    if (Controller) {
        check = Controller->Preferences().MailCheck;
        every = Controller->Preferences().MailCheckEvery;
    }
    const int32_t interval = MailCheckInterval(every);
    m_tmrCheckMail.SetEnabled(false);
    m_tmrCheckMail.SetInterval(static_cast<uint32_t>(interval));
    m_tmrCheckMail.SetEnabled(MailCheckRuns(check, interval));
}

void TfrmReadMail::ShowMail(int Box, TovnOndrelQuery& Query)
{
    if (Box == m_box) {
        Query.Close();
        Query.Open();
        return;
    }
    if (!Query.Active())
        Query.Open();
    SelectBox(Box);
}

void TfrmReadMail::SelectBox(int Box)
{
    m_box = Box;
    setUpdatesEnabled(false);
    UpdateLabels();
    grdInbox->setVisible(Box == mbxInbox);
    grdSent->setVisible(Box == mbxSent);
    setUpdatesEnabled(true);
    update();
    UpdateActions();
}

void TfrmReadMail::UpdateLabels()
{
    auto apply = [](QLabel* Label, const TMailBoxLabel& Look) {
        Label->setText(QString::fromStdString(Look.Text));
        QFont f = Label->font();
        f.setBold(Look.Bold);
        Label->setFont(f);
        QPalette palette = Label->palette();
        const QColor color = Look.Color == clBlue ? QColor(0, 0, 255) : QColor(Qt::black);
        // On the pane's base colour a label draws in the text role.
        palette.setColor(QPalette::WindowText, color);
        palette.setColor(QPalette::Text, color);
        Label->setPalette(palette);
    };
    apply(lblInbox, MailBoxLabel("Inbox", m_unread, m_box == mbxInbox));
    apply(lblSent, MailBoxLabel("Sent", 0, m_box == mbxSent));
}

void TfrmReadMail::DoUpDateMailCount()
{
    TovnOndrelQuery& q = *m_qryRead;
    int count = 0;
    if (q.Active()) {
        const TBookmark place = q.GetBookmark();
        q.DisableControls();
        try {
            for (q.First(); !q.Eof(); q.Next())
                if (q.FieldByName("HAS_BEEN_READ")->AsString() == "F")
                    ++count;
            if (!place.empty() && q.BookmarkValid(place))
                q.GotoBookmark(place);
            else
                q.First();
        } catch (...) {
            q.EnableControls();
            throw;
        }
        q.EnableControls();
    }
    m_unread = count;
    if (TfrmOrvaneBrowser4* browser = Browser())
        PostMessage(browser->Handle(), WM_NEWMAIL, static_cast<WPARAM>(count), 1);
    UpdateLabels();
}

void TfrmReadMail::RunStatement(const std::string& Sql)
{
    TovnOndrelQuery statement;
    statement.SetDatabaseName("SYSTEM_DATA");
    statement.SetUseSQL(true);
    statement.SQL().SetText(Sql);
    statement.Execute();
}

void TfrmReadMail::SetMailRead(int32_t Counter, const std::string& Value)
{
    RunStatement(Format("UPDATE TBL_MAIL SET HAS_BEEN_READ = '%s' WHERE COUNTER = %d", Value, Counter));
    TovnOndrelQuery& q = *m_qryRead;
    if (q.Active() && !q.IsEmpty() && q.FieldByName("COUNTER")->AsInteger() == Counter) {
        q.Edit();
        q.FieldByName("HAS_BEEN_READ")->SetAsString(Value);
        q.Post();
    }
}

void TfrmReadMail::ComposeExec()
{
    if (TfrmOrvaneBrowser4* browser = Browser())
        browser->SendOMail("", "", "", "", false, false, -1, "", "URL");
}

void TfrmReadMail::ReadExec()
{
    TovnOndrelQuery& q = CurrentQuery();
    if (!q.Active() || q.IsEmpty())
        return;
    const int32_t counter = q.FieldByName("COUNTER")->AsInteger();
    const bool unread = m_box == mbxInbox && q.FieldByName("HAS_BEEN_READ")->AsString() != "T";
    if (TfrmOrvaneBrowser4* browser = Browser())
        browser->ViewMail(counter);
    if (unread) {
        SetMailRead(counter, "T");
        DoUpDateMailCount();
    }
}

void TfrmReadMail::KeepAsNewExec()
{
    TovnOndrelQuery& q = *m_qryRead;
    if (m_box != mbxInbox || !q.Active() || q.IsEmpty())
        return;
    const int32_t counter = q.FieldByName("COUNTER")->AsInteger();
    SetMailRead(counter, q.FieldByName("HAS_BEEN_READ")->AsString() != "T" ? "T" : "F");
    DoUpDateMailCount();
}

void TfrmReadMail::DeleteExec()
{
    TovnOndrelQuery& q = *m_qryRead;
    if (m_box != mbxInbox || !q.Active() || q.IsEmpty())
        return;
    if (MessageDlg("Delete selected mail?", mtConfirmation, mbOKCancel) != mrOk)
        return;
    TfrmOrvaneBrowser4* browser = Browser();
    const std::string userType = browser ? browser->GetUser().UserType : std::string("SYS");
    const int32_t user = browser ? browser->GetUser().Counter : 0;
    if (userType != "SYS" && q.FieldByName("C_USER_TO")->AsInteger() == 1 &&
        q.FieldByName("C_USER_FROM")->AsInteger() != user)
        throw Exception("Board messages may be romoved only by their owners");
    RunStatement("DELETE FROM TBL_MAIL WHERE COUNTER = " +
                 std::to_string(q.FieldByName("COUNTER")->AsInteger()));
    q.Delete();
}

void TfrmReadMail::UnsendExec()
{
    TovnOndrelQuery& q = *m_qrySent;
    if (m_box != mbxSent || !q.Active() || q.IsEmpty())
        return;
    if (q.FieldByName("HAS_BEEN_READ")->AsString() == "T")
        throw Exception("Selected Mail was already read, and can not be unsent");
    if (MessageDlg("Unsent selected mail?", mtConfirmation, mbOKCancel) == mrCancel)
        return;
    RunStatement("DELETE FROM TBL_MAIL WHERE COUNTER = " +
                 std::to_string(q.FieldByName("COUNTER")->AsInteger()));
    q.Delete();
}

void TfrmReadMail::FilterExec()
{
    TovnOndrelQuery& q = CurrentQuery();
    if (q.Active() && !q.IsEmpty())
        q.ExecFilter("");
}

void TfrmReadMail::RefreshExec()
{
    TovnOndrelQuery& q = CurrentQuery();
    q.Close();
    q.Open();
}

void TfrmReadMail::UpdateActions()
{
    if (!actRead)
        return;
    const bool inbox = m_box == mbxInbox;
    const TovnOndrelQuery& q = CurrentQuery();
    const bool rows = q.Active() && !const_cast<TovnOndrelQuery&>(q).IsEmpty();
    actRead->setEnabled(rows);
    actKeepAsNew->setVisible(inbox);
    actKeepAsNew->setEnabled(inbox && rows);
    if (inbox && rows) {
        TField* read = m_qryRead->FindField("HAS_BEEN_READ");
        actKeepAsNew->setText(read && read->AsString() == "F" ? QStringLiteral("Mark Read")
                                                              : QStringLiteral("Mark Unread"));
    }
    actDelete->setVisible(inbox && rows);
    actDelete->setEnabled(inbox && rows);
    actUnsend->setVisible(m_box == mbxSent);
    actUnsend->setEnabled(m_box == mbxSent && rows);
    actFilter->setEnabled(rows);
}

void TfrmReadMail::FormClose(TFormCloseAction& Action)
{
    Action = fcaFree;
    m_tmrCheckMail.SetEnabled(false);
    m_qryRead->Close();
    m_qrySent->Close();
    if (TfrmOrvaneBrowser4* browser = Browser())
        browser->AppletClosed(this);
}

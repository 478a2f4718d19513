#include "admin/ExplorerConsoles.h"

#include "Components/KldDBComponents/KldDataTable.h"
#include "Components/Nembra/NembraDBDataSets.h"
#include "Components/Nembra/ovnOndrel.h"
#include "admin/ConsoleRules.h"
#include "admin/SQLHistory.h"
#include "platform/ComCtrls.h"
#include "platform/DBGrids.h"
#include "platform/DataSource.h"
#include "platform/Dialogs.h"
#include "platform/Fields.h"
#include "platform/Menus.h"
#include "platform/StockControls.h"
#include "platform/StringList.h"
#include "ui/KldCollectionView.h"
#include "ui/KldTabControl.h"

#include <QMenu>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSplitter>
#include <QVBoxLayout>

#include <exception>

namespace {

constexpr int ExecuteLogTab = 0;
constexpr int ResultSetTab = 1;
constexpr int ResultTabsHeight = 25;
constexpr int SplitterWidth = 5;
constexpr int MaxDisplayWidth = 20;

// The splitter between editor and result area: the area takes half of the
// page the first time it shows with a height to share, and keeps its own
// height when the page is resized later (the editor takes the change).
class TConsoleSplitter : public QSplitter
{
  public:
    explicit TConsoleSplitter(QWidget* parent) : QSplitter(Qt::Vertical, parent)
    {
        setHandleWidth(SplitterWidth);
        setChildrenCollapsible(false);
        // $E9E9E9: the same grey in either byte order.
        setStyleSheet("QSplitter::handle { background-color: #E9E9E9; }");
    }

    // The result area should take half of the height when it can.
    void RequestHalf()
    {
        m_wantHalf = true;
        ApplyHalf();
    }

  protected:
    void resizeEvent(QResizeEvent* event) override
    {
        QSplitter::resizeEvent(event);
        ApplyHalf();
    }

  private:
    void ApplyHalf()
    {
        if (!m_wantHalf || count() < 2 || widget(1)->isHidden())
            return;
        // Until the page's layout has given the splitter the page's height,
        // its own height says nothing about the page.
        if (parentWidget() && height() != parentWidget()->contentsRect().height())
            return;
        const int total = height() - handleWidth();
        if (total <= 0)
            return;
        setSizes({total - total / 2, total / 2});
        m_wantHalf = false;
    }

    bool m_wantHalf = false;
};

QFont CourierNew(int pointSize)
{
    QFont font(QStringLiteral("Courier New"));
    font.setPointSize(pointSize);
    font.setStyleHint(QFont::TypeWriter);
    return font;
}

// A memo with both scroll bars (lines are not wrapped).
void ShowBothScrollBars(QPlainTextEdit& memo)
{
    memo.setLineWrapMode(QPlainTextEdit::NoWrap);
    memo.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
}

std::string MessageOf(const std::exception_ptr& failure)
{
    try {
        std::rethrow_exception(failure);
    } catch (const Exception& e) {
        return e.Message();
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "Unknown error";
    }
}

// The rows the dataset's table holds and its fields, for the log.
TFetchedCount FetchedOf(TNembraDBDataSet& dataSet)
{
    TFetchedCount fetched;
    if (TKldDataTable* table = dataSet.GetDataTable())
        fetched.Rows = table->RowCount();
    fetched.Columns = dataSet.FieldCount();
    return fetched;
}

} // namespace

// ---------------------------------------------------------------------------
// TEditorObject

TEditorObject::TEditorObject(TPageControl& pages, TDataSource& dataSource, bool fixed, std::string kind,
                             const std::string& caption, int imageIndex)
    : m_dataSource(&dataSource), m_fixed(fixed), m_kind(std::move(kind))
{
    m_sheet = new TTabSheet(&pages);
    m_sheet->SetCaption(caption);
    m_sheet->SetImageIndex(imageIndex);
    // The page control draws the close icon on pages whose Tag is not 0.
    m_sheet->SetTag(fixed ? 0 : 1);
}

TEditorObject::~TEditorObject()
{
    DestroyPage();
}

void TEditorObject::DestroyPage()
{
    if (!m_sheet)
        return;
    if (m_grid)
        m_grid->SetDataSource(nullptr);
    TTabSheet* sheet = m_sheet;
    m_sheet = nullptr;
    delete sheet;
}

void TEditorObject::ReleaseDataSet()
{
    TNembraDBDataSet& dataSet = DataSet();
    if (m_dataSource && m_dataSource->DataSet() == &dataSet)
        m_dataSource->SetDataSet(nullptr);
    try {
        dataSet.Close();
    } catch (const Exception&) {
        // A console that goes away keeps nothing to show an error in.
    }
    DestroyPage();
}

void TEditorObject::CreateControls()
{
    auto* layout = new QVBoxLayout(m_sheet);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* splitter = new TConsoleSplitter(m_sheet);
    m_splitter = splitter;
    layout->addWidget(splitter);

    m_editorHost = new QWidget(splitter);
    auto* editorLayout = new QVBoxLayout(m_editorHost);
    editorLayout->setContentsMargins(0, 0, 0, 0);
    editorLayout->setSpacing(0);

    m_resultPanel = new QWidget(splitter);
    m_resultPanel->setObjectName("pnlResult");
    auto* resultLayout = new QVBoxLayout(m_resultPanel);
    resultLayout->setContentsMargins(0, 0, 0, 0);
    resultLayout->setSpacing(0);

    m_grid = new TDBGrid(m_resultPanel);
    m_grid->setObjectName("grdResult");
    m_grid->SetReadOnly(true);
    resultLayout->addWidget(m_grid, 1);

    m_log = new TMemo(m_resultPanel);
    m_log->setObjectName("mmLog");
    m_log->SetReadOnly(true);
    m_log->setFont(CourierNew(8));
    ShowBothScrollBars(*m_log);
    resultLayout->addWidget(m_log, 1);

    m_tabs = new TKldTabControl(m_resultPanel);
    m_tabs->setObjectName("tabResult");
    m_tabs->SetTabStyle(ctsVS2005);
    m_tabs->SetTabPosition(tpBottom);
    m_tabs->Tabs().Add("Execute Log");
    m_tabs->Tabs().Add("Result Set");
    m_tabs->setFixedHeight(ResultTabsHeight);
    m_tabs->OnChange = [this](TObject*) { ResultTabChanged(); };
    resultLayout->addWidget(m_tabs);

    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 0);
    m_tabs->SetTabIndex(ExecuteLogTab);
    ShowPane(false);
    // Nothing ran yet.
    m_resultPanel->hide();
}

bool TEditorObject::DataSetOpen() const
{
    return DataSet().Active();
}

bool TEditorObject::ResultAreaVisible() const
{
    return m_resultPanel && !m_resultPanel->isHidden();
}

void TEditorObject::ShowPane(bool grid)
{
    m_grid->setVisible(grid);
    m_log->setVisible(!grid);
}

void TEditorObject::ShowResultArea()
{
    const bool grid = DataSetOpen();
    m_tabs->SetTabIndex(grid ? ResultSetTab : ExecuteLogTab);
    ShowPane(grid);
    const bool wasHidden = m_resultPanel->isHidden();
    m_resultPanel->show();
    if (wasHidden && !m_halfSized) {
        m_halfSized = true;
        static_cast<TConsoleSplitter*>(m_splitter)->RequestHalf();
    }
}

void TEditorObject::HideResultArea()
{
    m_resultPanel->hide();
}

bool TEditorObject::ToggleResultArea()
{
    if (ResultAreaVisible())
        HideResultArea();
    else
        ShowResultArea();
    return ResultAreaVisible();
}

void TEditorObject::ResultTabChanged()
{
    ShowPane(m_tabs->TabIndex() == ResultSetTab && DataSetOpen());
}

std::string TEditorObject::LogText() const
{
    return m_log->toPlainText().toStdString();
}

void TEditorObject::ClearLog()
{
    m_log->clear();
}

void TEditorObject::AddLogLines(const std::vector<std::string>& lines)
{
    for (const std::string& line : lines) {
        // The texts carry CR LF; the memo keeps lines apart by LF.
        QString text = QString::fromStdString(line);
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        m_log->appendPlainText(text);
    }
}

void TEditorObject::CutDisplayWidths()
{
    TNembraDBDataSet& dataSet = DataSet();
    for (int i = 0; i < dataSet.FieldCount(); ++i) {
        TField* field = dataSet.Fields()[i];
        if (field->DisplayWidth() > MaxDisplayWidth)
            field->SetDisplayWidth(MaxDisplayWidth);
    }
}

void TEditorObject::BindDataSource()
{
    TNembraDBDataSet* dataSet = &DataSet();
    if (m_dataSource->DataSet() != dataSet) {
        // Controls bound to the data source must not see the dataset change
        // under them.
        m_dataSource->SetEnabled(false);
        m_dataSource->SetDataSet(dataSet);
        m_dataSource->SetEnabled(true);
    }
    m_grid->SetDataSource(m_dataSource);
}

void TEditorObject::UnbindGrid()
{
    m_grid->SetDataSource(nullptr);
}

void TEditorObject::ApplyPopup(QWidget* widget)
{
    if (!widget)
        return;
    if (auto* view = dynamic_cast<TKldGridView*>(widget)) {
        // The grid shows a platform pop-up menu itself.
        view->SetPopupMenu(m_qmenu ? nullptr : m_popup);
        if (!m_qmenu)
            return;
    }
    widget->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::disconnect(widget, &QWidget::customContextMenuRequested, nullptr, nullptr);
    QObject::connect(widget, &QWidget::customContextMenuRequested, widget, [this, widget](const QPoint& pos) {
        QWidget* origin = widget;
        if (auto* area = dynamic_cast<QAbstractScrollArea*>(widget))
            origin = area->viewport();
        const QPoint global = origin->mapToGlobal(pos);
        if (m_qmenu)
            m_qmenu->popup(global);
        else if (m_popup)
            m_popup->Popup(global.x(), global.y());
    });
}

void TEditorObject::SetPopupMenu(TPopupMenu* menu)
{
    m_popup = menu;
    m_qmenu = nullptr;
    for (QWidget* widget : {Editor(), static_cast<QWidget*>(m_grid), static_cast<QWidget*>(m_log)})
        ApplyPopup(widget);
}

void TEditorObject::SetPopupMenu(QMenu* menu)
{
    m_qmenu = menu;
    m_popup = nullptr;
    for (QWidget* widget : {Editor(), static_cast<QWidget*>(m_grid), static_cast<QWidget*>(m_log)})
        ApplyPopup(widget);
}

void TEditorObject::ExportToCSV()
{
    if (!DataSetOpen())
        throw Exception("There is no result to export: the console's dataset is not open");
    TFileDialogRequest request;
    request.Kind = fdSave;
    request.Filter = "CSV files|*.csv|All Files|*.*";
    request.DefaultExt = "csv";
    std::string fileName;
    if (!PromptForFileName(request, fileName))
        return;
    ExportToCSVFile(fileName);
}

void TEditorObject::ExportToCSVFile(const std::string& fileName)
{
    TNembraDBDataSet& dataSet = DataSet();
    if (!dataSet.Active())
        throw Exception("There is no result to export: the console's dataset is not open");
    dataSet.DisableControls();
    const TBookmark mark = dataSet.GetBookmark();
    const auto restore = [&] {
        if (!mark.empty() && dataSet.Active() && dataSet.BookmarkValid(mark))
            dataSet.GotoBookmark(mark);
        dataSet.EnableControls();
    };
    try {
        TStringList lines;
        std::vector<std::string> values;
        for (int i = 0; i < dataSet.FieldCount(); ++i)
            values.push_back(dataSet.Fields()[i]->FieldName());
        lines.Add(CSVLine(values));
        dataSet.First();
        while (!dataSet.Eof()) {
            values.clear();
            for (int i = 0; i < dataSet.FieldCount(); ++i)
                values.push_back(dataSet.Fields()[i]->Text());
            lines.Add(CSVLine(values));
            dataSet.Next();
        }
        // A string list saves through the whole-file replace: a failed write
        // leaves an existing file as it was.
        lines.SaveToFile(fileName);
        ShowMessage("Done!");
    } catch (...) {
        restore();
        throw;
    }
    restore();
}

// ---------------------------------------------------------------------------
// TSQLEditorObject

TSQLEditorObject::TSQLEditorObject(TPageControl& pages, TDataSource& dataSource, TSQLHistory& history,
                                   TNembraDatabase* database, bool fixed)
    : TEditorObject(pages, dataSource, fixed, "SQL", database ? database->DatabaseName() : std::string(),
                    SQLConsoleImageIndex),
      m_history(&history), m_query(std::make_unique<TovnOndrelQuery>())
{
    m_query->SetUseSQL(true);
    m_query->SetReportProgress(true);
    if (database) {
        m_query->SetDatabaseName(database->DatabaseName());
        m_query->SetDatabase(database);
    }
    CreateControls();
}

TSQLEditorObject::~TSQLEditorObject()
{
    ResetHistory();
    ReleaseDataSet();
}

TNembraDBDataSet& TSQLEditorObject::DataSet() const
{
    return *m_query;
}

TNembraDatabase* TSQLEditorObject::Database() const
{
    return m_query->GetDatabase();
}

QWidget* TSQLEditorObject::Editor() const
{
    return m_editor;
}

void TSQLEditorObject::CreateControls()
{
    TEditorObject::CreateControls();
    m_editor = new TMemo(EditorHost());
    m_editor->setObjectName("mmSQL");
    m_editor->setFont(CourierNew(10));
    ShowBothScrollBars(*m_editor);
    EditorHost()->layout()->addWidget(m_editor);
    // First in the tab order of the page.
    QWidget::setTabOrder(m_editor, ResultGrid());
}

std::string TSQLEditorObject::SQLText() const
{
    return m_editor->Text();
}

void TSQLEditorObject::SetSQLText(const std::string& text)
{
    m_editor->SetText(text);
}

void TSQLEditorObject::FocusEditor()
{
    m_editor->setFocus();
}

bool TSQLEditorObject::CanRun()
{
    return Database() != nullptr && m_editor->document()->lineCount() > 0 &&
           !m_editor->toPlainText().isEmpty();
}

void TSQLEditorObject::ResetHistory()
{
    m_history->Reset(this, m_historyPosition, m_historyCount);
}

void TSQLEditorObject::ExecuteSQL(bool script, int fetchSize)
{
    TNembraDatabase* database = Database();
    if (!database)
        throw Exception(SUnknownDatabase);
    TovnOndrelQuery& query = *m_query;
    query.DisableControls();
    std::exception_ptr failure;
    std::string error;
    std::optional<TFetchedCount> fetched;
    int rowsAffected = 0;
    std::string profiling;
    TStringList lines;
    lines.SetText(SQLText());
    try {
        query.SetFetchBy(fetchSize);
        query.SetShowWaitCursor(true);
        query.Close();
        if (IsQueryText(SQLText(), script)) {
            query.SQL().Assign(lines);
            try {
                query.Open();
                profiling = ProfilingToString(query.Profiling());
                BindDataSource();
                CutDisplayWidths();
                fetched = FetchedOf(query);
            } catch (...) {
                error = MessageOf(std::current_exception());
                if (DataSource()->DataSet() == &query)
                    DataSource()->SetDataSet(nullptr);
                throw;
            }
        } else {
            TNembraProfiling timings;
            try {
                rowsAffected = database->ExecBatch(lines, script, &timings);
            } catch (...) {
                // The server's refusal (an ORA- text) is what the user needs
                // to see in the log.
                error = MessageOf(std::current_exception());
                throw;
            }
            profiling = ProfilingToString(timings);
        }
    } catch (...) {
        failure = std::current_exception();
    }
    try {
        ShowResultArea();
        ClearLog();
        if (!failure) {
            AddLogLines(SQLExecutedLog(profiling, fetched, rowsAffected));
            m_history->AddText(this, SQLText(), m_historyPosition, m_historyCount);
        } else {
            AddLogLines(SQLFailedLog(error));
        }
    } catch (...) {
        query.EnableControls();
        throw;
    }
    query.EnableControls();
    if (failure)
        std::rethrow_exception(failure);
}

void TSQLEditorObject::PreviousSQL()
{
    if (m_historyPosition < 1)
        return;
    --m_historyPosition;
    SetSQLText(m_history->EntryOf(this, m_historyPosition));
}

void TSQLEditorObject::NextSQL()
{
    if (m_historyPosition >= m_historyCount - 1)
        return;
    ++m_historyPosition;
    SetSQLText(m_history->EntryOf(this, m_historyPosition));
}

namespace {

TFileDialogRequest SQLFileRequest(TFileDialogKind kind)
{
    TFileDialogRequest request;
    request.Kind = kind;
    request.Filter = "SQL files|*.sql|All Files|*.*";
    request.DefaultExt = "sql";
    return request;
}

} // namespace

void TSQLEditorObject::LoadSQL()
{
    std::string fileName;
    if (PromptForFileName(SQLFileRequest(fdOpen), fileName))
        LoadSQLFromFile(fileName);
}

void TSQLEditorObject::SaveSQL()
{
    std::string fileName;
    if (PromptForFileName(SQLFileRequest(fdSave), fileName))
        SaveSQLToFile(fileName);
}

void TSQLEditorObject::LoadSQLFromFile(const std::string& fileName)
{
    TStringList lines;
    lines.LoadFromFile(fileName);
    std::string text;
    for (int i = 0; i < lines.Count(); ++i)
        text += (i > 0 ? "\n" : "") + lines[i];
    m_editor->SetText(text);
}

void TSQLEditorObject::SaveSQLToFile(const std::string& fileName)
{
    TStringList lines;
    lines.SetText(SQLText());
    // Through the whole-file replace: a failed save leaves the old file.
    lines.SaveToFile(fileName);
}

// ---------------------------------------------------------------------------
// TParamsEditorObject

namespace {

enum TParamColumn
{
    pcName,
    pcParamType,
    pcDataType,
    pcValue
};

} // namespace

TParamsEditorObject::TParamsEditorObject(TPageControl& pages, TDataSource& dataSource, std::string kind,
                                         const std::string& caption, int imageIndex)
    : TEditorObject(pages, dataSource, true, std::move(kind), caption, imageIndex)
{
}

TParamsEditorObject::~TParamsEditorObject() = default;

QWidget* TParamsEditorObject::Editor() const
{
    return m_grid;
}

TParam* TParamsEditorObject::ParamAtRow(int row) const
{
    TParams& params = DataSet().Params();
    return row >= 0 && row < params.Count() ? params.Items(row) : nullptr;
}

void TParamsEditorObject::CreateControls()
{
    TEditorObject::CreateControls();
    m_grid = new TKldCollectionView(EditorHost());
    m_grid->setObjectName("grdParams");
    m_grid->SetAlignment(taCenter);
    m_grid->SetBorders(bsNone);
    m_grid->SetShowOptions({soVerticalGrid, soHorizontalGrid, soCaption, soHeader, soMarker, soRowSelect,
                            soAutoWidth, soColSizing});
    m_grid->SetAutoAddRow(arNone);
    m_grid->SetReadOnly(false);
    m_grid->SetNumberedRow(nrAscending);
    m_grid->SetRowHeight(17);
    m_grid->SetMarkerWidth(24);
    m_grid->SetCaptionHeight(21);
    m_grid->SetHeaderHeight(21);
    const struct
    {
        const char* Caption;
        int Width;
        bool Auto;
        TKldEditType EditType;
    } columns[] = {{"Name", 0, true, etNone},
                   {"Param Type", 90, false, etNone},
                   {"Data Type", 90, false, etNone},
                   {"Value", 150, false, etValue}};
    for (const auto& c : columns) {
        TKldColumn* column = m_grid->Columns().Add();
        column->SetCaption(c.Caption);
        if (c.Auto)
            column->SetAutoWidth(true);
        else
            column->SetWidth(c.Width);
        column->SetEditType(c.EditType);
    }
    m_grid->OnGetCellText = [this](TObject*, int col, int row, std::string& text) {
        const TParam* param = ParamAtRow(row);
        if (!param)
            return;
        switch (col) {
        case pcName:
            text = param->Name();
            break;
        case pcParamType:
            text = ParamTypeText(param->ParamType());
            break;
        case pcDataType:
            text = FieldTypeName(param->DataType());
            break;
        case pcValue:
            text = ParamValueText(*param);
            break;
        }
    };
    m_grid->OnSetCellText = [this](TObject*, int col, int row, std::string& text) {
        TParam* param = ParamAtRow(row);
        if (col == pcValue && param && !ParamValueReadOnly(param->ParamType()))
            SetParamValueText(*param, text);
    };
    m_grid->OnCellStateExt = [this](TObject*, int col, int row, TKldCellStates& states) {
        const TParam* param = ParamAtRow(row);
        if (col != pcValue || (param && ParamValueReadOnly(param->ParamType())))
            states.Include(csReadOnly);
    };
    m_grid->Loaded();
    EditorHost()->layout()->addWidget(m_grid);
    m_grid->SetCollection(&DataSet().Params());
}

void TParamsEditorObject::FocusEditor()
{
    m_grid->setFocus();
}

void TParamsEditorObject::SetCaptions(const std::string& caption)
{
    m_grid->SetCaption(caption);
    TabSheet()->SetCaption(caption);
}

void TParamsEditorObject::LoadParams()
{
    m_ready = false;
    m_returnsRows = true;
    std::exception_ptr failure;
    try {
        DataSet().UpdateParams();
        m_ready = true;
        m_returnsRows = ParamsReturnRows(DataSet().Params());
    } catch (...) {
        failure = std::current_exception();
    }
    // The grid shows what there is, also when the server refused.
    m_grid->SetCollection(&DataSet().Params());
    m_grid->Refresh();
    if (failure)
        std::rethrow_exception(failure);
}

void TParamsEditorObject::Run()
{
    if (!m_ready)
        return;
    // A value still being typed belongs to this run.
    if (m_grid->EditorMode())
        m_grid->ApplyEdits();
    TNembraDBDataSet& dataSet = DataSet();
    ClearLog();
    std::exception_ptr failure;
    std::optional<TFetchedCount> fetched;
    try {
        dataSet.Close();
        if (m_returnsRows) {
            dataSet.Open();
            BindDataSource();
            CutDisplayWidths();
            fetched = FetchedOf(dataSet);
        } else {
            dataSet.Execute();
        }
    } catch (...) {
        failure = std::current_exception();
    }
    // Output values came back into the parameters.
    m_grid->Refresh();
    ShowResultArea();
    if (!failure) {
        AddLogLines(ProcExecutedLog(Kind(), ProfilingToString(dataSet.Profiling()), fetched));
        return;
    }
    AddLogLines(ProcFailedLog(Kind(), MessageOf(failure)));
    std::rethrow_exception(failure);
}

// ---------------------------------------------------------------------------
// TStoredProcEditorObject

TStoredProcEditorObject::TStoredProcEditorObject(TPageControl& pages, TDataSource& dataSource)
    : TParamsEditorObject(pages, dataSource, "StoredProc", "StoredProc", StoredProcConsoleImageIndex),
      m_proc(std::make_unique<TNembraStoredProc>())
{
    m_proc->SetReportProgress(true);
    CreateControls();
}

TStoredProcEditorObject::~TStoredProcEditorObject()
{
    ReleaseDataSet();
}

TNembraDBDataSet& TStoredProcEditorObject::DataSet() const
{
    return *m_proc;
}

void TStoredProcEditorObject::LoadStoredProc(TNembraDatabase* database, const std::string& procName)
{
    TNembraStoredProc& proc = *m_proc;
    const bool same = proc.GetDatabase() == database && AnsiSameText(proc.ProcedureName(), procName);
    if (same && (proc.Active() || Ready()))
        return;
    proc.Close();
    HideResultArea();
    // The name is set while no database is bound, so that the parameters are
    // fetched once, below.
    proc.SetDatabase(nullptr);
    proc.SetDatabaseName("");
    proc.SetProcedureName(procName);
    if (database) {
        proc.SetDatabaseName(database->DatabaseName());
        proc.SetDatabase(database);
    }
    SetCaptions(database ? database->DatabaseName() + "." + procName : procName);
    LoadParams();
}

// ---------------------------------------------------------------------------
// TPluginEditorObject

TPluginEditorObject::TPluginEditorObject(TPageControl& pages, TDataSource& dataSource)
    : TParamsEditorObject(pages, dataSource, "Plugin", "Plugin", PluginConsoleImageIndex),
      m_plugin(std::make_unique<TovnOndrelPlugIn>())
{
    m_plugin->SetReportProgress(true);
    CreateControls();
}

TPluginEditorObject::~TPluginEditorObject()
{
    ReleaseDataSet();
}

TNembraDBDataSet& TPluginEditorObject::DataSet() const
{
    return *m_plugin;
}

void TPluginEditorObject::LoadPluginProc(const std::string& connectionName, const std::string& pluginName,
                                         const std::string& procName)
{
    TovnOndrelPlugIn& plugin = *m_plugin;
    const bool same = AnsiSameText(plugin.GetConnectionName(), connectionName) &&
                      AnsiSameText(plugin.PluginName(), pluginName) &&
                      AnsiSameText(plugin.ProcedureName(), procName);
    if (same && (plugin.Active() || Ready()))
        return;
    plugin.Close();
    HideResultArea();
    plugin.SetConnectionName(connectionName);
    plugin.SetPluginName(pluginName);
    plugin.SetProcedureName(procName);
    SetCaptions(pluginName + "." + procName);
    LoadParams();
}

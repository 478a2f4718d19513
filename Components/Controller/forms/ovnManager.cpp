#include "Components/Controller/forms/ovnManager.h"

#include "Components/Controller/applets/KldForms.h"
#include "Components/Controller/applets/ovnApplet.h"
#include "Components/Controller/applets/ovnAppletForm.h"
#include "Components/Controller/forms/ovnMembers.h"
#include "Components/Controller/forms/ovnStack.h"
#include "Components/Controller/ovnController.h"
#include "platform/Buttons.h"
#include "platform/ComCtrls.h"
#include "platform/DBGrids.h"
#include "platform/DataSet.h"
#include "platform/Dialogs.h"
#include "platform/Fields.h"
#include "platform/FormParts.h"
#include "platform/Messages.h"
#include "platform/StockControls.h"

#include <memory>

const char* const SManagerWithoutForm = "Trying to create TovnManager instance without form";
const char* const SRecordDoesNotExist = "Record does not exist";
const char* const SRecordWillBeDeleted = "This record will be deleted";

namespace {

const char* const kNone = "[ None ]";
const char* const kSep = "\n\r";

TComponent* FormOwner(TComponent* Owner)
{
    if (!IsFormComponentRoot(Owner) || !FormOfComponent(Owner))
        throw EovnManagerError(SManagerWithoutForm);
    return Owner;
}

void ShowButton(QAbstractButton* Button, bool Visible)
{
    if (Button)
        Button->setVisible(Visible);
}

void CaptionButton(QAbstractButton* Button, const char* Caption)
{
    if (Button)
        Button->setText(QString::fromUtf8(Caption));
}

void SetBold(TSpeedButton* Button, bool Bold)
{
    if (!Button)
        return;
    TFontStyles style = Button->Font().Style();
    if (Bold)
        style.Include(fsBold);
    else
        style.Exclude(fsBold);
    Button->Font().SetStyle(style);
    Button->Invalidate();
}

bool Editing(TDataSet* DataSet) { return DataSet && (DataSet->State() == dsInsert || DataSet->State() == dsEdit); }

bool IsIdentChar(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_'; }

// Replaces ":" + Name where no further identifier character follows.
std::string ReplaceParam(const std::string& Text, const std::string& Name, const std::string& Value)
{
    const std::string key = ":" + Name;
    std::string out;
    size_t pos = 0;
    while (true) {
        const size_t at = Text.find(key, pos);
        if (at == std::string::npos)
            break;
        const size_t end = at + key.size();
        if (end < Text.size() && IsIdentChar(Text[end])) {
            out.append(Text, pos, end - pos);
        } else {
            out.append(Text, pos, at - pos);
            out += Value;
        }
        pos = end;
    }
    out.append(Text, pos, std::string::npos);
    return out;
}

TColor GridColor(QWidget* Grid)
{
    return ColorFromQColor(Grid->palette().color(QPalette::Base));
}

} // namespace

// ---------------------------------------------------------------------------
// TSimpleFilter

TComboBox* TSimpleFilter::FieldBox() const { return dynamic_cast<TComboBox*>(m_fieldBox.data()); }
void TSimpleFilter::SetFieldBox(TComboBox* Value) { m_fieldBox = Value; }
TComboBox* TSimpleFilter::RelatesBox() const { return dynamic_cast<TComboBox*>(m_relatesBox.data()); }
void TSimpleFilter::SetRelatesBox(TComboBox* Value) { m_relatesBox = Value; }
TEdit* TSimpleFilter::ValueBox() const { return dynamic_cast<TEdit*>(m_valueBox.data()); }
void TSimpleFilter::SetValueBox(TEdit* Value) { m_valueBox = Value; }
TGroupBox* TSimpleFilter::FilterBox() const { return dynamic_cast<TGroupBox*>(m_filterBox.data()); }
void TSimpleFilter::SetFilterBox(TGroupBox* Value) { m_filterBox = Value; }
TSpeedButton* TSimpleFilter::ApplyButton() const { return dynamic_cast<TSpeedButton*>(m_apply.data()); }
void TSimpleFilter::SetApplyButton(TSpeedButton* Value) { m_apply = Value; }
TSpeedButton* TSimpleFilter::AdvancedButton() const { return dynamic_cast<TSpeedButton*>(m_advanced.data()); }
void TSimpleFilter::SetAdvancedButton(TSpeedButton* Value) { m_advanced = Value; }

void TSimpleFilter::UpdateFilterButtons(TovnOndrelQuery* Query)
{
    if (!Query)
        return;
    SetBold(ApplyButton(), Query->IsSimpleFiltered());
    SetBold(AdvancedButton(), Query->IsFiltered());
}

// ---------------------------------------------------------------------------
// TovnManager

TovnManager::TovnManager(TComponent* Owner) : TComponent(FormOwner(Owner)), m_form(FormOfComponent(Owner)) {}

TovnManager::~TovnManager()
{
    if (m_detail && m_newRecordTaken)
        m_detail->OnNewRecord = m_previousNewRecord;
}

void TovnManager::Notification(TComponent* Component, TOperation Operation)
{
    TComponent::Notification(Component, Operation);
    if (Operation != opRemove)
        return;
    if (Component == m_masterSource)
        m_masterSource = nullptr;
    if (Component == m_detailSource)
        m_detailSource = nullptr;
    if (Component == m_master)
        m_master = nullptr;
    if (Component == m_detail) {
        m_detail = nullptr;
        m_newRecordTaken = false;
        m_wrappedDetail = nullptr;
    }
}

void TovnManager::SetDetailTable(const std::string& Value) { m_detailTable = UpperCase(Value); }

TPageControl* TovnManager::PageBook() const { return dynamic_cast<TPageControl*>(m_pageBook.data()); }
void TovnManager::SetPageBook(TPageControl* Value) { m_pageBook = Value; }
TDBGrid* TovnManager::DatabaseGrid() const { return dynamic_cast<TDBGrid*>(m_grid.data()); }
void TovnManager::SetDatabaseGrid(TDBGrid* Value) { m_grid = Value; }

void TovnManager::SetMasterDataSource(TDataSource* Value)
{
    m_masterSource = Value;
    if (Value)
        Value->FreeNotification(this);
}

void TovnManager::SetDetailDataSource(TDataSource* Value)
{
    m_detailSource = Value;
    if (Value)
        Value->FreeNotification(this);
}

TovnApplet* TovnManager::Applet() const { return m_applet.Get(); }

bool TovnManager::IsDB() const { return m_ready && Controller && Controller->GetDBConnected(); }

int TovnManager::AppletMode() const { return Applet() ? Applet()->Mode : 0; }

void TovnManager::SetModified(bool Value)
{
    if (TovnApplet* applet = Applet())
        applet->Modified = Value;
}

std::vector<TovnGeneralControl*> TovnManager::TemplateControls() const
{
    std::vector<TovnGeneralControl*> controls;
    ForEachFormPart(m_form.data(), [&](const TFormPart& part) {
        if (auto* control = dynamic_cast<TovnGeneralControl*>(part.Object))
            if (control->TemplateSlave)
                controls.push_back(control);
    });
    return controls;
}

void TovnManager::SetFilterBoxEnabled(bool Value)
{
    TGroupBox* box = m_simpleFilter.FilterBox();
    if (!box)
        return;
    for (QObject* child : box->children())
        if (auto* widget = qobject_cast<QWidget*>(child))
            widget->setEnabled(Value);
}

void TovnManager::ShowRecordMissing() { MessageDlg(SRecordDoesNotExist, mtError, TMsgDlgButtons{mbOK}); }

int TovnManager::MasterCounter() const { return m_master ? m_master->FieldByName("COUNTER")->AsInteger() : -1; }

// ---------------------------------------------------------------------------
// Start

void TovnManager::Initialize(TovnApplet* Applet)
{
    m_applet = Applet;
    if (Applet && m_form) {
        if (auto* form = dynamic_cast<TovnAppletForm*>(m_form.data()))
            form->SetCaption(Applet->Caption);
        else
            m_form->setWindowTitle(QString::fromStdString(Applet->Caption));
    }
    m_sender = aStack ? aStack->GetSender() : nullptr;
    InitCombos();
    TPageControl* pages = PageBook();
    switch (AppletMode()) {
    case 0:
        if (QWidget* grid = DatabaseGrid())
            m_gridColor = GridColor(grid);
        ResetToView();
        ForEachFormPart(m_form.data(), [this](const TFormPart& part) {
            if (auto* control = dynamic_cast<TovnGeneralControl*>(part.Object))
                control->OnSlaveClick = [this](TObject* Sender) { SlaveClicked(Sender); };
        });
        break;
    case 1:
    case 2:
        m_status = AppletMode() == 1 ? msPlus : msEdit;
        if (pages && pages->PageCount() > 0)
            pages->Pages(0)->SetTabVisible(false);
        EnableDetail();
        break;
    case 3:
        ResetToView();
        m_status = msQuickView;
        if (pages && pages->PageCount() > 1)
            pages->SetActivePage(pages->Pages(1));
        if (pages && pages->PageCount() > 0)
            pages->Pages(0)->SetTabVisible(false);
        for (QAbstractButton* button : {ButtonEdit(), ButtonNew(), ButtonClone(), ButtonDelete(), ButtonAccept(),
                                        ButtonPrint()})
            ShowButton(button, false);
        break;
    default:
        break;
    }
}

void TovnManager::InitCombos()
{
    TovnApplet* applet = Applet();
    for (TovnGeneralControl* control : TemplateControls())
        if (MemberIsCombo(control))
            MemberInitCombo(control, applet);
}

void TovnManager::PrepareDetailWhere()
{
    TStrings& where = m_detail->SQLSchema().Where();
    const std::string old = Trim(where.Text());
    // InitializeDB may run again (a form reopening its data); wrapping the
    // condition again would only nest it deeper each time.
    if (m_detail != m_wrappedDetail || old != m_wrappedWhere) {
        where.SetText(old.empty() ? std::string("T1.COUNTER = :V") : "(" + old + ") AND (T1.COUNTER = :V)");
        m_wrappedDetail = m_detail;
        m_wrappedWhere = Trim(where.Text());
    }
    if (m_detail->Params().Count() == 0)
        m_detail->Params().CreateParam(ftInteger, "COUNTER", ptInput);
}

void TovnManager::DetailNewRecord(TDataSet* DataSet)
{
    if (!IgnoreAutoCounter && Controller)
        DataSet->FieldByName("COUNTER")->SetAsInteger(Controller->GetAutoCounter(m_detailTable));
    if (m_previousNewRecord)
        m_previousNewRecord(DataSet);
}

void TovnManager::InitializeDB()
{
    if (!m_masterSource || !m_detailSource)
        return;
    auto* master = dynamic_cast<TovnOndrelQuery*>(m_masterSource->DataSet());
    auto* detail = dynamic_cast<TovnOndrelTable*>(m_detailSource->DataSet());
    if (!master || !detail || m_detailTable.empty())
        return;
    if (m_master != master) {
        m_master = master;
        master->FreeNotification(this);
    }
    if (m_detail != detail) {
        m_detail = detail;
        detail->FreeNotification(this);
    }
    master->Close();
    detail->Close();
    master->AllowMemoryPost = true;
    master->SetFetchBlobs(false);
    if (Trim(master->SQLSchema().Select().Text()).empty() || Trim(master->SQLSchema().From().Text()).empty())
        return;
    if (!m_newRecordTaken) {
        m_previousNewRecord = detail->OnNewRecord;
        detail->OnNewRecord = [this](TDataSet* DataSet) { DetailNewRecord(DataSet); };
        m_newRecordTaken = true;
    }
    if (OnBeforeQueryOpen)
        OnBeforeQueryOpen(this);
    switch (m_status) {
    case msView: {
        if (!SkipMasterOpen) {
            try {
                master->Open();
            } catch (const Exception& e) {
                throw EovnManagerError(std::string("TovnManager: Could not open master query in InitializeDB") + kSep +
                                       e.Message());
            }
            if (master->FieldCount() == 0 || UpperCase(master->Fields().Fields(0)->FieldName()) != "COUNTER") {
                master->Close();
                return;
            }
        }
        PrepareDetailWhere();
        if (TComboBox* fields = m_simpleFilter.FieldBox()) {
            fields->ClearItems();
            fields->AddItem(kNone);
            if (!SkipMasterOpen)
                for (int i = 0; i < master->FieldCount(); ++i)
                    if (master->Fields().Fields(i)->Visible())
                        fields->AddItem(master->Fields().Fields(i)->FieldName());
            fields->SetItemIndex(0);
        }
        if (TComboBox* relates = m_simpleFilter.RelatesBox())
            relates->SetItemIndex(0);
        break;
    }
    case msQuickView:
        try {
            detail->SetTableName(m_detailTable);
            detail->Close();
            const std::string first = Applet() && Applet()->Params.Count() > 0 ? Applet()->Params.Strings(0) : "";
            detail->SQLSchema().Where().SetText("T1.COUNTER = " + std::to_string(StrToInt(first)));
            detail->Open();
        } catch (const Exception& e) {
            throw EovnManagerError(std::string("TovnManager: Could not open detail table in InitializeDB for QuickView") +
                                   kSep + e.Message());
        }
        break;
    case msPlus:
        try {
            PrepareDetailWhere();
            detail->Close();
            detail->Params().Items(0)->SetAsInteger(-1);
            detail->Open();
            detail->Append();
        } catch (const Exception& e) {
            throw EovnManagerError(std::string("TovnManager: Could not open or append detail table in InitializeDB") +
                                   kSep + e.Message());
        }
        break;
    default:
        break;
    }
    detail->SetKeyFieldName("COUNTER");
    if (OnAfterQueryOpen)
        OnAfterQueryOpen(this);
    m_ready = true;
    if (aStack)
        aStack->Run(m_sender.data(), m_form.data(), rmStandard, false);
}

// ---------------------------------------------------------------------------
// View and edit states

void TovnManager::ResetToView()
{
    m_status = msView;
    if (TPageControl* pages = PageBook(); pages && pages->PageCount() > 0)
        pages->SetActivePage(pages->Pages(0));
    if (QWidget* grid = DatabaseGrid()) {
        grid->setEnabled(true);
        ApplyWidgetColor(grid, m_gridColor);
    }
    SetFilterBoxEnabled(true);
    for (TovnGeneralControl* control : TemplateControls()) {
        control->SetEnabled(false);
        control->SetMarked(false);
    }
    for (QAbstractButton* button : {ButtonEdit(), ButtonNew(), ButtonClone(), ButtonDelete(), ButtonAccept()})
        ShowButton(button, false);
    CaptionButton(ButtonCancel(), "&Close");
    ShowButton(ButtonCancel(), true);
    ShowButton(ButtonPrint(), true);
    const TSecurityFlag level =
        Controller && Applet() ? Controller->GetSecurity(Applet()->SecurityIndex).Level : sfNo;
    if (level > sfView) {
        ShowButton(ButtonEdit(), true);
        CaptionButton(ButtonNew(), "&New");
        ShowButton(ButtonNew(), true);
        ShowButton(ButtonClone(), true);
    }
    if (level == sfFull)
        ShowButton(ButtonDelete(), true);
    SetModified(false);
}

void TovnManager::EnableDetail()
{
    if (QWidget* grid = DatabaseGrid()) {
        grid->setEnabled(false);
        ApplyWidgetColor(grid, 0xC0C0C0);
    }
    SetFilterBoxEnabled(false);
    for (QAbstractButton* button : {ButtonEdit(), ButtonClone(), ButtonDelete(), ButtonPrint()})
        ShowButton(button, false);
    ShowButton(ButtonNew(), m_status == msNew || m_status == msClone);
    ShowButton(ButtonAccept(), true);
    CaptionButton(ButtonCancel(), "&Cancel");
    ShowButton(ButtonCancel(), true);
    const std::vector<TovnGeneralControl*> controls = TemplateControls();
    switch (m_status) {
    case msEdit:
        for (TovnGeneralControl* control : controls)
            control->SetEnabled(control->TemplateEnableOnEdit);
        break;
    case msPlus:
        for (TovnGeneralControl* control : controls)
            control->SetEnabled(true);
        break;
    case msNew:
        for (TovnGeneralControl* control : controls)
            control->SetEnabled(true);
        CaptionButton(ButtonNew(), "C&ycle");
        ShowButton(ButtonNew(), true);
        break;
    case msClone:
        for (TovnGeneralControl* control : controls) {
            control->SetEnabled(true);
            if (MemberHasReadOnly(control)) {
                control->TagBoolean = MemberReadOnly(control);
                MemberSetReadOnly(control, true);
            }
            if (MemberIsCombo(control))
                MemberSetComboButtonsEnabled(control, TComboButtons{});
        }
        ShowButton(ButtonNew(), true);
        ShowButton(ButtonAccept(), false);
        break;
    default:
        break;
    }
    if (TPageControl* pages = PageBook(); pages && pages->PageCount() > 1) {
        pages->SetActivePage(pages->Pages(1));
        for (QWidget* candidate : TabOrderList(pages->Pages(1)))
            if (candidate->isEnabled() && candidate->isVisibleTo(pages->Pages(1)) &&
                (candidate->focusPolicy() & Qt::TabFocus)) {
                candidate->setFocus();
                break;
            }
    }
    SetModified(true);
}

void TovnManager::RestoreReadOnly()
{
    for (TovnGeneralControl* control : TemplateControls()) {
        if (MemberHasReadOnly(control))
            MemberSetReadOnly(control, control->TagBoolean);
        if (MemberIsCombo(control))
            MemberSetComboButtonsEnabled(control, TComboButtons{cbLookup, cbPlus});
    }
}

void TovnManager::SlaveClicked(TObject* Sender)
{
    if (m_status != msClone)
        return;
    if (auto* control = dynamic_cast<TovnGeneralControl*>(Sender))
        control->SetMarked(!control->Marked());
}

// ---------------------------------------------------------------------------
// Buttons

void TovnManager::OpenDetail(int Counter)
{
    m_detail->Close();
    m_detail->Params().Items(0)->SetAsInteger(Counter);
    m_detail->Open();
}

void TovnManager::EditClicked()
{
    if (!IsDB())
        return;
    m_status = msEdit;
    int counter = MasterCounter();
    if (OnEditRequest)
        OnEditRequest(this, counter);
    try {
        OpenDetail(counter);
    } catch (const Exception& e) {
        m_status = msView;
        throw EovnManagerError(std::string("TovnManager: Could not open detail query in EditClicked") + kSep +
                               e.Message());
    }
    if (m_detail->IsEmpty()) {
        m_status = msView;
        m_detail->Close();
        ShowRecordMissing();
        return;
    }
    m_detail->Edit();
    m_master->Edit();
    EnableDetail();
}

void TovnManager::PageChanging(bool& AllowChange)
{
    if (!IsDB() || m_status != msView)
        return;
    TPageControl* pages = PageBook();
    if (!pages || pages->ActivePageIndex() != 0)
        return;
    try {
        OpenDetail(MasterCounter());
    } catch (const Exception& e) {
        AllowChange = false;
        throw EovnManagerError(std::string("TovnManager: Could not open detail query in PageChanging") + kSep +
                               e.Message());
    }
    if (m_detail->IsEmpty()) {
        m_detail->Close();
        ShowRecordMissing();
        AllowChange = false;
    }
}

void TovnManager::AppendRecords()
{
    m_detail->Append();
    m_master->Append();
}

void TovnManager::RestoreMarkedValues()
{
    std::vector<TovnGeneralControl*> marked;
    for (TovnGeneralControl* control : TemplateControls())
        if (control->Marked()) {
            control->SetEnabled(false);
            control->TagString = control->GetValue();
            marked.push_back(control);
        }
    AppendRecords();
    for (TovnGeneralControl* control : marked)
        control->SetValue(control->TagString);
}

void TovnManager::NewClicked()
{
    if (!IsDB())
        return;
    switch (m_status) {
    case msView:
        m_status = msNew;
        try {
            OpenDetail(-1);
        } catch (const Exception& e) {
            m_status = msView;
            throw EovnManagerError(std::string("TovnManager: Could not open detail query in NewClicked") + kSep +
                                   e.Message());
        }
        AppendRecords();
        EnableDetail();
        break;
    case msNew:
        PostDetail();
        PostMaster();
        AppendRecords();
        break;
    case msClone:
        m_status = msCloned;
        CaptionButton(ButtonNew(), "C&ycle");
        ShowButton(ButtonAccept(), true);
        RestoreReadOnly();
        RestoreMarkedValues();
        break;
    case msCloned:
        PostDetail();
        PostMaster();
        RestoreMarkedValues();
        break;
    default:
        break;
    }
}

void TovnManager::CloneClicked()
{
    if (!IsDB())
        return;
    m_status = msClone;
    try {
        OpenDetail(MasterCounter());
    } catch (const Exception& e) {
        m_status = msView;
        throw EovnManagerError(std::string("TovnManager: Could not open detail query in CloneClicked") + kSep +
                               e.Message());
    }
    if (m_detail->IsEmpty()) {
        m_status = msView;
        ShowRecordMissing();
        return;
    }
    EnableDetail();
}

void TovnManager::DeleteClicked()
{
    if (!IsDB() || !ButtonDelete())
        return;
    if (MessageDlg(SRecordWillBeDeleted, mtWarning, TMsgDlgButtons{mbOK, mbCancel}) != mrOk)
        return;
    // A row without a COUNTER names no record on the server, as an empty
    // list names none.
    TField* counter = m_master->IsEmpty() ? nullptr : m_master->FieldByName("COUNTER");
    if (!counter || counter->IsNull()) {
        ShowRecordMissing();
        return;
    }
    {
        auto query = std::make_unique<TovnOndrelQuery>();
        query->SetDatabaseName(m_master->DatabaseName());
        query->SetUseSQL(true);
        query->SQL().SetText("DELETE FROM " + m_detailTable + " WHERE COUNTER = " + counter->AsString());
        query->Execute();
    }
    m_master->Delete();
}

void TovnManager::PrintClicked()
{
    const char quote = '"';
    std::string params;
    auto* master = m_masterSource ? dynamic_cast<TovnOndrelQuery*>(m_masterSource->DataSet()) : nullptr;
    if (master) {
        params = quote + master->SQLSchema().UserFilter() + quote + "," + quote + master->SQLSchema().UserSort() +
                 quote;
        for (int i = 0; i < master->Params().Count(); ++i) {
            TParam* param = master->Params().Items(i);
            params = ReplaceParam(params, param->Name(), param->AsString());
        }
    } else
        params = std::string(2, quote) + "," + std::string(2, quote);
    if (!Trim(PrintParams).empty())
        params += "," + Trim(PrintParams);
    if (TovnApplet* applet = Applet())
        applet->RunApplet("_" + applet->Resource, 0, params);
}

void TovnManager::AcceptClicked()
{
    if (!IsDB())
        return;
    if (m_status == msPlus) {
        PostDetail();
        PostMaster();
        if (!ReturnValue.empty()) {
            TField* field = m_detail->FindField(ReturnValue);
            if (!field)
                throw EovnManagerError("TovnManager: the return value names no field of the detail table: " +
                                       ReturnValue);
            ReturnValue = m_detail->FieldByName("COUNTER")->AsString() + '\x02' + field->AsString();
        }
        if (aStack)
            aStack->Run(m_sender.data(), m_form.data(), rmReturn, false);
        m_detail->Close();
        ClosePapa();
    } else if (m_status == msEdit && AppletMode() == 2) {
        PostDetail();
        PostMaster();
        if (aStack)
            aStack->Run(m_sender.data(), m_form.data(), rmReturn, false);
        m_detail->Close();
        ClosePapa();
    } else {
        PostDetail();
        PostMaster();
        m_detail->Close();
        ResetToView();
    }
}

void TovnManager::CancelClicked()
{
    if (!IsDB())
        return;
    if (Editing(m_detail))
        m_detail->Cancel();
    if (Editing(m_master))
        m_master->Cancel();
    if (m_status == msClone)
        RestoreReadOnly();
    if (m_status == msView || m_status == msQuickView) {
        m_master->Close();
        ClosePapa();
    } else if (m_status == msPlus) {
        if (aStack)
            aStack->Run(m_sender.data(), m_form.data(), rmIgnore, false);
        SetModified(false);
        m_detail->Close();
        ClosePapa();
    } else if (m_status == msEdit && AppletMode() == 2) {
        if (aStack)
            aStack->Run(m_sender.data(), m_form.data(), rmIgnore, false);
        m_detail->Close();
        ClosePapa();
    } else
        ResetToView();
}

// ---------------------------------------------------------------------------
// Posting

void TovnManager::PostDetail()
{
    if (!Editing(m_detail))
        return;
    if (RecordStamp && Controller) {
        if (!RecordUser.empty())
            m_detail->FieldByName(RecordUser)->SetAsString(Controller->User().ID);
        if (!RecordDateTime.empty())
            m_detail->FieldByName(RecordDateTime)->SetAsSQLTimeStamp(Controller->SYSSQLDATETIME());
    }
    m_detail->Post();
    SetModified(false);
}

void TovnManager::PostMaster()
{
    if (!Editing(m_master))
        return;
    if (!m_detail || !m_detail->Active()) {
        m_master->Cancel();
        return;
    }
    try {
        for (int i = 0; i < m_detail->FieldCount(); ++i) {
            TField* source = m_detail->Fields().Fields(i);
            TField* target = m_master->FindField(source->FieldName());
            if (target && target->FieldKind() == fkData)
                target->SetValue(source->Value());
        }
        m_master->Post();
    } catch (...) {
        m_master->Cancel();
        throw;
    }
}

// ---------------------------------------------------------------------------
// Filters

void TovnManager::DoSimpleFilter()
{
    TComboBox* fields = m_simpleFilter.FieldBox();
    TComboBox* relates = m_simpleFilter.RelatesBox();
    TEdit* value = m_simpleFilter.ValueBox();
    if (!IsDB() || !m_master || !fields || !relates || !value)
        return;
    TSQLQuerySchema& schema = m_master->SQLSchema();
    if (fields->ItemIndex() > 0) {
        const std::string filter = schema.CreateFilterExpression(fields->Text(), relates->Text(), value->Text(), false);
        const std::string sort = schema.CreateOrderByExpression(fields->Text(), false, false);
        schema.ApplySimpleFilter(filter, sort);
    } else
        schema.ApplySimpleFilter("", "");
    m_simpleFilter.UpdateFilterButtons(m_master);
}

void TovnManager::AdvanceFilter()
{
    if (!IsDB() || !m_master)
        return;
    m_master->ExecFilter("");
    m_simpleFilter.UpdateFilterButtons(m_master);
}

void TovnManager::RefreshLookup()
{
    if (!IsDB() || !m_master)
        return;
    try {
        m_master->Close();
        m_master->Open();
    } catch (const Exception& e) {
        throw EovnManagerError(std::string("TovnManager: Could not re-execute query in RefreshLookup") + kSep +
                               e.Message());
    }
}

void TovnManager::ResetMasterDataSet(TovnOndrelQuery* Query)
{
    m_master = Query;
    if (Query)
        Query->FreeNotification(this);
}

void TovnManager::ClosePapa()
{
    TovnApplet* applet = Applet();
    if (applet && applet->Host)
        PostMessage(applet->Host->Handle(), WM_CLOSE, 0, 0);
}

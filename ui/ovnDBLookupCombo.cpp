#include "ui/ovnDBLookupCombo.h"

#include "platform/DataSet.h"
#include "platform/Fields.h"
#include "ui/DataEntryForm.h"
#include "ui/ovnButtons.h"
#include "ui/ovnComboRules.h"
#include "ui/ovnDBEdit.h"
#include "ui/ovnPictures.h"

namespace {

// The field name without a leading "C_" (any case): C_FACILITY names the
// caption "Facility".
std::string WithoutKeyPrefix(const std::string& Name)
{
    if (Name.size() >= 2 && (Name[0] == 'C' || Name[0] == 'c') && Name[1] == '_')
        return Name.substr(2);
    return Name;
}

} // namespace

TovnDBLookupCombo::TovnDBLookupCombo(QWidget* Parent, bool Designing)
    : TovnComboBase(Parent, new TDBEdit(), Designing, ckLookupCombo), m_keyEdit(std::make_unique<TDBEdit>()),
      m_query(std::make_unique<TovnOndrelQuery>())
{
    m_displayEdit = static_cast<TDBEdit*>(&Editor());
    m_query->SetDatabaseName("DATA");
    SetSchema(&m_query->SQLSchema());
    m_infoButtonControl = new TovnControlButton(this);
    m_infoButtonControl->SetFlat(true);
    m_infoButtonControl->SetWidth(20);
    m_infoButtonControl->SetHeight(20);
    m_infoButtonControl->SetVisible(false);
    m_infoButtonControl->SetPngPicture(&ovnPictures().pngInfo);
    m_infoButtonControl->SetHandCursor(true);
    m_infoButtonControl->OnClick = [this](TObject*) { ShowInfo(); };
    m_keyEdit->OnChange = [this](TObject*) { KeyChanged(); };
    UpdateInteriorControls();
}

TovnDBLookupCombo::~TovnDBLookupCombo()
{
    m_keyEdit->OnChange = nullptr;
    m_infoButtonControl->OnClick = nullptr;
}

void TovnDBLookupCombo::SetInfoButton(bool Value)
{
    m_infoButton = Value;
    UpdateInteriorControls();
}

void TovnDBLookupCombo::SetDataSource(TDataSource* Value)
{
    m_keyEdit->SetDataSource(Value);
    m_displayEdit->SetDataSource(Value);
}

void TovnDBLookupCombo::SetDataField(const std::string& Value)
{
    m_keyEdit->SetDataField(Value);
    if (Designing()) {
        if (m_dataFieldSet || Caption() == "Caption")
            SetCaption(CaptionFromFieldName(WithoutKeyPrefix(Value)));
        m_dataFieldSet = true;
    }
}

bool TovnDBLookupCombo::InfoVisible() const
{
    return m_infoButton;
}

int TovnDBLookupCombo::InfoWidth() const
{
    return m_infoButtonControl ? m_infoButtonControl->Width() : 20;
}

void TovnDBLookupCombo::PlaceInfo(int Left, int Height)
{
    // The base lays out once before the button exists.
    if (!m_infoButtonControl)
        return;
    m_infoButtonControl->SetVisible(m_infoButton && !isHidden());
    m_infoButtonControl->SetBounds(Left, 0, m_infoButtonControl->Width(), Height);
}

void TovnDBLookupCombo::EnableContents(bool Value)
{
    TovnComboBase::EnableContents(Value);
    m_infoButtonControl->SetEnabled(Value && m_infoButton);
}

void TovnDBLookupCombo::Loaded()
{
    TovnComboBase::Loaded();
}

void TovnDBLookupCombo::SetValue(const std::string& Value)
{
    const TValueText v = SplitValueText(Value);
    TField* keyField = m_keyEdit->Field();
    TField* displayField = m_displayEdit->Field();
    if (!keyField || !displayField || !keyField->DataSet())
        return;
    const TDataSetState state = keyField->DataSet()->State();
    if (state != dsInsert && state != dsEdit)
        return;
    keyField->SetAsString(v.Key);
    if (v.HasDisplay) {
        displayField->SetAsString(v.Display);
        m_displayEdit->SetText(v.Display);
    } else {
        displayField->SetAsString(m_displayEdit->Text());
    }
}

std::string TovnDBLookupCombo::GetValue()
{
    return JoinValueText(m_keyEdit->Text(), m_displayEdit->Text());
}

void TovnDBLookupCombo::RaiseError(const std::string& Message) const
{
    throw EovnDBLookupCombo(Message);
}

void TovnDBLookupCombo::EditKeyDataSet()
{
    TDataSet* dataSet = m_keyEdit->DataSource() ? m_keyEdit->DataSource()->DataSet() : nullptr;
    if (dataSet && dataSet->Active() && dataSet->State() != dsInsert && dataSet->State() != dsEdit)
        dataSet->Edit();
}

void TovnDBLookupCombo::ClearChoice()
{
    ResetExtraValues();
    EditKeyDataSet();
    m_displayEdit->SetText("");
    SetValue("");
}

void TovnDBLookupCombo::TakeRow(TDataSet& Rows)
{
    EditKeyDataSet();
    m_displayEdit->SetText(Rows.FieldByName(m_lookupDisplayField)->AsString());
    SetValue(Rows.FieldByName(LookupField())->AsString());
    for (int i = 0; i < LookupExtraFields().Count(); ++i) {
        const std::string name = LookupExtraFields()[i];
        if (!name.empty())
            LookupExtraValues().Add(Rows.FieldByName(name)->AsString());
    }
}

void TovnDBLookupCombo::TakeLine(const std::string& Line)
{
    EditKeyDataSet();
    m_displayEdit->SetText(ItemDisplay(Line, LookupCut()));
    SetValue(ItemCode(Line, LookupCut()));
}

void TovnDBLookupCombo::QuickTyped(char32_t Typed)
{
    // The popup lives to the end of the action.
    const std::unique_ptr<TfrmDataEntry> popup = RunQuickTypePopup(Typed);
    if (popup->Tag < 1) {
        Lookup();
        return;
    }
    bool doLookup = true;
    std::string field = LookupField();
    if (OnLookupPrepare)
        OnLookupPrepare(this, doLookup, &LookupSQL(), &LookupItems(), field);
    SetLookupField(field);
    const std::string text = popup->Edt->Text();
    m_savedFilter = text;
    auto query = std::make_unique<TovnOndrelQuery>();
    query->SetDatabaseName(LookupDatabaseName());
    query->SQLSchema().Assign(LookupSQL());
    query->Params().Assign(LookupParams());
    const std::string search = SearchByField().empty() ? m_lookupDisplayField : SearchByField();
    query->SQLSchema().Where().SetText(LookupComboQuickWhere(
        Trim(LookupSQL().Where().Text()), m_quickTypeWhere, LookupSQL().GetOriginalField(search), text));
    query->Open();
    query->Next();
    if (!query->Eof()) {
        query.reset();
        RaiseError("Dispaly table search returned multiple records\n\rComponent: " + Name() + "\n\r" +
                   "Revise QuickTypeWhere clause");
    }
    query->First();
    if (query->IsEmpty()) {
        Lookup();
    } else {
        m_displayEdit->SetText(query->FieldByName(m_lookupDisplayField)->AsString());
        SetValue(query->FieldByName(LookupField())->AsString());
        m_savedFilter = text;
        FocusNext(true);
        try {
            FillExtraValues(*query, true);
        } catch (const Exception& e) {
            query.reset();
            RaiseError(ComboErrorText("Could not populate LookupExtraValues", "Component: ", Name(),
                                      "Exception Text: ", e.Message()));
        }
        FireAfterLookup();
    }
    query.reset();
    FocusNext(true);
}

void TovnDBLookupCombo::KeyChanged()
{
    // Writing the key below changes the key editor again.
    if (m_inKeyChange)
        return;
    m_inKeyChange = true;
    try {
        if (m_displayEdit->ReadOnly()) {
            SetHint("");
            UpdateHintFromItems();
        }
        const std::string key = m_keyEdit->Text();
        SetValue(key);
        if (key.empty())
            m_displayEdit->SetText("");
    } catch (...) {
        m_inKeyChange = false;
        throw;
    }
    m_inKeyChange = false;
}

void TovnDBLookupCombo::ReconnectForeignKey()
{
    if (m_query->Active())
        m_query->Close();
    KeyChanged();
}

void TovnDBLookupCombo::ShowInfo()
{
    if (m_infoButton && Applet && !Trim(PlusResource()).empty() && !Trim(KeyText()).empty())
        Applet->RunApplet(PlusResource(), 3, "\"" + KeyText() + "\"");
}

#include "ui/ovnCombo.h"

#include "Components/Nembra/NembraDataSet.h"
#include "platform/Fields.h"
#include "platform/Mask.h"
#include "ui/LookupFormDBCombo.h"
#include "ui/ovnCalendar.h"
#include "ui/ovnComboRules.h"

// Holds the lookup dataset by free notification, so that a destroyed
// dataset is forgotten.
class TovnCombo::TDatasetLink : public TComponent
{
  public:
    ~TDatasetLink() override { Set(nullptr); }
    std::string ClassName() const override { return "TovnCombo.TDatasetLink"; }
    TNembraDataSet* DataSet() const { return m_dataSet; }
    void Set(TNembraDataSet* Value)
    {
        if (m_dataSet)
            m_dataSet->RemoveFreeNotification(this);
        m_dataSet = Value;
        if (m_dataSet)
            m_dataSet->FreeNotification(this);
    }

  protected:
    void Notification(TComponent* Component, TOperation Operation) override
    {
        TComponent::Notification(Component, Operation);
        if (Operation == opRemove && Component == m_dataSet)
            m_dataSet = nullptr;
    }

  private:
    TNembraDataSet* m_dataSet = nullptr;
};

TovnCombo::TovnCombo(QWidget* Parent, bool Designing)
    : TovnComboBase(Parent, new TMaskEdit(), Designing, ckCombo),
      m_datasetLink(std::make_unique<TDatasetLink>())
{
}

TovnCombo::~TovnCombo() = default;

void TovnCombo::SetLookupTool(TLookupTool Value)
{
    m_tool = Value;
    if (Value == TLookupTool::ltNone) {
        MaskEdit().SetEditMask("");
        return;
    }
    MaskEdit().SetEditMask(CalendarToolMask(Value));
    SetReadOnly(false);
    SetQuickType(false);
}

TNembraDataSet* TovnCombo::LookupDataset() const
{
    return m_datasetLink->DataSet();
}

void TovnCombo::SetLookupDataset(TNembraDataSet* Value)
{
    m_datasetLink->Set(Value);
}

void TovnCombo::SetColor(TColor Value)
{
    SetColorValue(Value);
    if (!m_focused)
        Editor().SetColor(Value);
}

void TovnCombo::SetColorFocused(TColor Value)
{
    TovnCaptionedEdit::SetColorFocused(Value);
    if (m_focused)
        Editor().SetColor(Value);
}

void TovnCombo::SetValue(const std::string& Value)
{
    SetText(Value);
}

std::string TovnCombo::GetValue()
{
    return Text();
}

void TovnCombo::RaiseError(const std::string& Message) const
{
    throw EovnCombo(Message);
}

void TovnCombo::PrepareWindow(TfrmDBCombo& Window)
{
    TNembraDataSet* dataSet = LookupDataset();
    Window.LookupDataSet = dataSet;
    if (!dataSet)
        return;
    for (int i = 0; i < LookupInvisibleFields().Count(); ++i)
        if (TField* field = dataSet->FindField(Trim(LookupInvisibleFields()[i])))
            field->SetVisible(false);
}

bool TovnCombo::FoundInLookupDataset(const std::string& Text)
{
    TNembraDataSet* dataSet = LookupDataset();
    if (!dataSet)
        return false;
    // A text the filter cannot hold would raise for every row, and a row
    // whose filter raises passes: such a text is not looked up.
    if (!LookupFilterAccepts(dataSet->FindField(LookupField()), Text))
        return false;
    const bool filtered = dataSet->Filtered();
    const std::string filter = dataSet->Filter();
    bool found = false;
    try {
        dataSet->SetFilter(LookupDatasetFilter(LookupField(), Text));
        dataSet->SetFiltered(true);
        if (!dataSet->IsEmpty()) {
            found = true;
            FillExtraValues(*dataSet, true);
        }
    } catch (...) {
        dataSet->SetFilter(filter);
        dataSet->SetFiltered(filtered);
        throw;
    }
    dataSet->SetFilter(filter);
    dataSet->SetFiltered(filtered);
    return found;
}

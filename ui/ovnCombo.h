#pragma once
// Unit ovnCombo: `TovnCombo`, the unbound combo: a caption, a borderless
// mask edit holding a code and the lookup and plus buttons. The code comes
// from the lookup window (a server query, the fixed list or an in-memory
// dataset), from quick typing or from the calendar tool.

#include "platform/Component.h"
#include "platform/SysUtils.h"
#include "ui/ovnComboBase.h"

class TNembraDataSet;

KLD_DECLARE_EXCEPTION(EovnCombo, Exception);

class TovnCombo : public TovnComboBase
{
  public:
    explicit TovnCombo(QWidget* Parent = nullptr, bool Designing = false);
    ~TovnCombo() override;
    std::string ClassName() const override { return "TovnCombo"; }

    TMaskEdit& MaskEdit() { return static_cast<TMaskEdit&>(Editor()); }
    TLookupTool LookupTool() const { return m_tool; }
    // A calendar tool gives the editor its mask, makes it editable and
    // switches quick typing off; ltNone empties the mask only.
    void SetLookupTool(TLookupTool Value);
    // Not owned; forgotten when the dataset is destroyed.
    TNembraDataSet* LookupDataset() const;
    void SetLookupDataset(TNembraDataSet* Value);

    void SetColor(TColor Value) override;
    void SetColorFocused(TColor Value) override;
    void SetValue(const std::string& Value) override;
    std::string GetValue() override;

  protected:
    TLookupTool Tool() const override { return m_tool; }
    [[noreturn]] void RaiseError(const std::string& Message) const override;
    void PrepareWindow(TfrmDBCombo& Window) override;
    // The lookup dataset holds a row whose LookupField is Text.
    bool FoundInLookupDataset(const std::string& Text) override;

  private:
    class TDatasetLink;

    TLookupTool m_tool = TLookupTool::ltNone;
    std::unique_ptr<TDatasetLink> m_datasetLink;
};

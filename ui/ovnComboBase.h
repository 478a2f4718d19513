#pragma once
// What the three combos share: the caption and editor of the captioned
// edits, the lookup and plus buttons on the right, the settings of the
// lookup window and the quick-type popup, the plus button's run through the
// command stack, and the fixed-list hint. Where the combos differ (which
// setter lays out, who is the key press's sender, what a choice writes and
// which texts the errors carry) the base asks its kind or a virtual step.
// Not a member of the family on its own: only the three combos derive from it.

#include "Components/Nembra/SQLQuerySchema.h"
#include "platform/Params.h"
#include "platform/StringList.h"
#include "ui/ovnCaptionedEdit.h"

#include <QImage>

#include <memory>
#include <string>

class TDataSet;
class TfrmDBCombo;
class TfrmDataEntry;
class TovnControlButton;

class TovnComboBase : public TovnCaptionedEdit
{
  public:
    enum TComboKind
    {
        ckCombo,
        ckDBCombo,
        ckLookupCombo
    };

    ~TovnComboBase() override;
    std::string ClassName() const override { return "TovnComboBase"; }
    TComboKind Kind() const { return m_kind; }

    // --- Settings
    bool QuickType() const { return m_quickType; }
    void SetQuickType(bool Value) { m_quickType = Value; }
    TComboButtons ComboButtons() const { return m_comboButtons; }
    void SetComboButtons(TComboButtons Value);
    TComboButtons ComboButtonsEnabled() const { return m_comboButtonsEnabled; }
    void SetComboButtonsEnabled(TComboButtons Value);
    bool FlatButtons() const;
    void SetFlatButtons(bool Value);
    int ButtonsWidth() const;
    void SetButtonsWidth(int Value);
    // The buttons paint their PNG picture; these bitmaps are only stored.
    const QImage& GlyphLookup() const;
    void SetGlyphLookup(const QImage& Value);
    const QImage& GlyphPlus() const;
    void SetGlyphPlus(const QImage& Value);
    // "[Store]" when a glyph bitmap was modified, else "[Dont Store]";
    // writing anything gives the buttons their module pictures again.
    std::string RestoreGlyphs() const;
    void SetRestoreGlyphs(const std::string& Value);

    TStringList& LookupItems() { return m_lookupItems; }
    void SetLookupItems(const TStrings& Value) { m_lookupItems.Assign(Value); }
    TSQLQuerySchema& LookupSQL() { return *m_lookupSQL; }
    void SetLookupSQL(const TSQLQuerySchema& Value) { m_lookupSQL->Assign(Value); }
    const std::string& LookupDatabaseName() const { return m_lookupDatabaseName; }
    void SetLookupDatabaseName(const std::string& Value) { m_lookupDatabaseName = Value; }
    const std::string& LookupField() const { return m_lookupField; }
    void SetLookupField(const std::string& Value) { m_lookupField = Value; }
    int LookupCut() const { return m_lookupCut; }
    void SetLookupCut(int Value) { m_lookupCut = Value; }
    const std::string& PlusResource() const { return m_plusResource; }
    void SetPlusResource(const std::string& Value) { m_plusResource = Value; }
    const std::string& PlusReturnFrom() const { return m_plusReturnFrom; }
    void SetPlusReturnFrom(const std::string& Value) { m_plusReturnFrom = Value; }
    TStringList& LookupInvisibleFields() { return m_lookupInvisibleFields; }
    TStringList& LookupExtraFields() { return m_lookupExtraFields; }
    TStringList& LookupExtraValues() { return m_lookupExtraValues; }
    const std::string& SearchByField() const { return m_searchByField; }
    void SetSearchByField(const std::string& Value) { m_searchByField = Value; }
    TParams& LookupParams() { return m_lookupParams; }
    void SetLookupParams(const TParams& Value) { m_lookupParams.Assign(Value); }
    const std::string& SavedFilter() const { return m_savedFilter; }
    std::string Hint() const;

    // The module whose forms hold the combo; the data-form manager sets it
    // with Applet.
    int ModuleNumber() const { return m_moduleNumber; }
    void SetModuleNumber(int Value) { m_moduleNumber = Value; }

    TovnControlButton& LookupButton() { return *m_lookupButton; }
    TovnControlButton& PlusButton() { return *m_plusButton; }

    // --- Operations
    // The lookup button and Enter: the calendar or the lookup window.
    void Lookup();
    // The plus button: starts PlusResource through the command stack.
    void Plus();
    void EnableContents(bool Value) override;
    void UpdateInteriorControls() override;
    void Loaded() override;

    TOnLookupPrepare OnLookupPrepare;
    TOnPlusPrepare OnPlusPrepare;
    TNotifyEvent AfterLookupExecuted;

  protected:
    TovnComboBase(QWidget* Parent, TCustomMaskEdit* Editor, bool Designing, TComboKind Kind);

    void Paint() override;
    void DoEnter() override;
    void DoExit() override;

    // The layout with or without the information button (placed at every
    // layout).
    virtual bool InfoVisible() const { return false; }
    virtual int InfoWidth() const { return 0; }
    virtual void PlaceInfo(int /*Left*/, int /*Height*/) {}
    // The calendar tool (the lookup combo has none).
    virtual TLookupTool Tool() const { return TLookupTool::ltNone; }
    // Raises the class's exception with Message.
    [[noreturn]] virtual void RaiseError(const std::string& Message) const = 0;
    // Result 1 of the lookup window, and Backspace while read-only (the
    // combos: the editor and the extra values emptied).
    virtual void ClearChoice();
    // Result 100 on the database sheet, with the window's current row (the
    // combos: the editor takes LookupField, the extra values their fields).
    virtual void TakeRow(TDataSet& Rows);
    // Result 100 on the hard-coded sheet, with the selected line (the
    // combos: the editor takes the code).
    virtual void TakeLine(const std::string& Line);
    // A character the quick-type rules let through: the popup and the
    // combos' checks a to d.
    virtual void QuickTyped(char32_t Typed);
    // Check b: the unbound combo's lookup dataset.
    virtual bool FoundInLookupDataset(const std::string& /*Text*/) { return false; }
    // The value the plus button sends to a started "MANAGER".
    virtual std::string PlusDisplayField() const { return {}; }
    // The lookup window's search field when SearchByField is empty.
    virtual std::string DefaultSearchField() const { return m_lookupField; }
    // Hands the class's own settings to the lookup window before it shows.
    virtual void PrepareWindow(TfrmDBCombo& /*Window*/) {}
    // Key down in the editor before the shared steps.
    virtual void EditorKeyDownFirst(uint16_t& /*Key*/) {}
    // The text the fixed-list hint is taken for.
    virtual std::string HintKey() const { return Text(); }

    // The buttons' picture and enabling.
    void ApplyButtonPictures();
    void SetHint(const std::string& Value);
    void UpdateHintFromItems();
    // Parses the parameter names of LookupSQL's clauses into LookupParams.
    void ParseLookupParams();
    // LookupExtraValues := one entry per field name, each the row's field of
    // that name as text; an empty name gives an empty entry with EmptyNames
    // and none without.
    void FillExtraValues(TDataSet& Rows, bool EmptyNames);
    // LookupExtraValues := one empty entry per non-empty name.
    void ResetExtraValues();
    void FireAfterLookup();
    // The quick-type popup over the editor holding Typed, after it closed
    // (frmDataEntry while it shows).
    std::unique_ptr<TfrmDataEntry> RunQuickTypePopup(char32_t Typed);
    // The popup for Key when the rules allow (read-only editor, blank to
    // "z", QuickType); answers whether it opened.
    bool QuickTypeAllowed(char32_t Key) const;
    // Takes the combo's LookupSQL as the schema (the lookup combo gives its
    // own query's).
    void SetSchema(TSQLQuerySchema* Schema) { m_lookupSQL = Schema; }

    std::string m_savedFilter;

  private:
    void EditorKeyDown(uint16_t& Key, TShiftState Shift);
    void EditorKeyPress(char32_t& Key);
    void RunCalendar();
    void RunLookupWindow();

    TComboKind m_kind;
    TovnControlButton* m_lookupButton;
    TovnControlButton* m_plusButton;
    TComboButtons m_comboButtons;
    TComboButtons m_comboButtonsEnabled;
    bool m_glyphsModified = false;
    bool m_quickType = true;
    TStringList m_lookupItems;
    std::unique_ptr<TSQLQuerySchema> m_ownSchema;
    TSQLQuerySchema* m_lookupSQL;
    std::string m_lookupDatabaseName = "DATA";
    std::string m_lookupField;
    int m_lookupCut = 3;
    std::string m_plusResource;
    std::string m_plusReturnFrom;
    TStringList m_lookupInvisibleFields;
    TStringList m_lookupExtraFields;
    TStringList m_lookupExtraValues;
    std::string m_searchByField;
    TParams m_lookupParams;
    std::string m_hint;
    int m_moduleNumber = 0;
};

// The text of a combo error: Text, the name line, "Exception text: " and
// the message, each line ended by LF CR.
std::string ComboErrorText(const std::string& Text, const std::string& NameLabel, const std::string& Name,
                           const std::string& ExceptionLabel, const std::string& Message);

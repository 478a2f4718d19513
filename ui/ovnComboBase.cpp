#include "ui/ovnComboBase.h"

#include "Components/Nembra/ovnOndrel.h"
#include "base/KldProgress.h"
#include "platform/ComCtrls.h"
#include "platform/DataSet.h"
#include "platform/Fields.h"
#include "platform/FormParts.h"
#include "platform/ListBox.h"
#include "platform/StdCtrls.h"
#include "ui/DataEntryForm.h"
#include "ui/LookupFormDBCombo.h"
#include "ui/ovnButtons.h"
#include "ui/ovnCalendar.h"
#include "ui/ovnComboRules.h"
#include "ui/ovnPictures.h"
#include "ui/ovnStackIntf.h"

#include <QCheckBox>
#include <QWidget>

namespace {

constexpr char32_t kFirstQuickChar = 32;
constexpr char32_t kLastQuickChar = 122; // "z"
// The stock edit's width before the first layout.
constexpr int kEditorStartWidth = 121;

void ScreenCursorToDefault()
{
    if (const TScreenCursorProc proc = ScreenCursorProc.load())
        proc(0);
}

} // namespace

std::string ComboErrorText(const std::string& Text, const std::string& NameLabel, const std::string& Name,
                           const std::string& ExceptionLabel, const std::string& Message)
{
    return Text + "\n\r" + NameLabel + Name + "\n\r" + ExceptionLabel + "\n\r" + Message;
}

TovnComboBase::TovnComboBase(QWidget* Parent, TCustomMaskEdit* Editor, bool Designing, TComboKind Kind)
    : TovnCaptionedEdit(Parent, Editor, Designing), m_kind(Kind), m_comboButtons({cbLookup, cbPlus}),
      m_comboButtonsEnabled({cbLookup, cbPlus})
{
    m_ownSchema = std::make_unique<TSQLQuerySchema>();
    m_lookupSQL = m_ownSchema.get();
    if (Kind == ckLookupCombo)
        m_lookupField = "COUNTER";
    SetReadOnly(true);
    SetShowHint(true);

    m_lookupButton = new TovnControlButton(this);
    m_plusButton = new TovnControlButton(this);
    for (TovnControlButton* b : {m_lookupButton, m_plusButton}) {
        b->SetFlat(true);
        b->SetWidth(20);
        b->SetVisible(false);
    }
    m_lookupButton->OnClick = [this](TObject*) { Lookup(); };
    m_plusButton->OnClick = [this](TObject*) { Plus(); };
    ApplyButtonPictures();
    SetBounds(Left(), Top(), Editor->Left() + kEditorStartWidth + 2 * 20 + 9, Height());

    Editor->OnKeyDown = [this](TObject*, uint16_t& key, TShiftState shift) { EditorKeyDown(key, shift); };
    Editor->OnKeyPress = [this](TObject*, char32_t& key) { EditorKeyPress(key); };
    if (Kind != ckLookupCombo)
        Editor->OnChange = [this](TObject*) {
            if (ReadOnly())
                UpdateHintFromItems();
            if (OnChange)
                OnChange(this);
        };
    UpdateInteriorControls();
}

TovnComboBase::~TovnComboBase()
{
    Editor().OnKeyDown = nullptr;
    Editor().OnKeyPress = nullptr;
    Editor().OnChange = nullptr;
    m_lookupButton->OnClick = nullptr;
    m_plusButton->OnClick = nullptr;
}

// --- Settings

void TovnComboBase::SetComboButtons(TComboButtons Value)
{
    m_comboButtons = Value;
    // The unbound combo shows a new set at its next layout.
    if (m_kind == ckCombo)
        Repaint();
    else
        UpdateInteriorControls();
}

void TovnComboBase::SetComboButtonsEnabled(TComboButtons Value)
{
    m_comboButtonsEnabled = Value;
    m_lookupButton->SetEnabled(Value.Contains(cbLookup));
    m_plusButton->SetEnabled(Value.Contains(cbPlus));
}

bool TovnComboBase::FlatButtons() const
{
    return m_lookupButton->Flat();
}

void TovnComboBase::SetFlatButtons(bool Value)
{
    m_lookupButton->SetFlat(Value);
    m_plusButton->SetFlat(Value);
}

int TovnComboBase::ButtonsWidth() const
{
    return m_lookupButton->Width();
}

void TovnComboBase::SetButtonsWidth(int Value)
{
    m_lookupButton->SetWidth(Value);
    m_plusButton->SetWidth(Value);
    if (m_kind == ckCombo)
        Repaint();
    else
        UpdateInteriorControls();
}

const QImage& TovnComboBase::GlyphLookup() const
{
    return m_lookupButton->Glyph();
}

const QImage& TovnComboBase::GlyphPlus() const
{
    return m_plusButton->Glyph();
}

void TovnComboBase::SetGlyphLookup(const QImage& Value)
{
    if (m_kind == ckCombo)
        return;
    m_lookupButton->SetGlyph(Value);
    m_glyphsModified = true;
}

void TovnComboBase::SetGlyphPlus(const QImage& Value)
{
    if (m_kind == ckCombo)
        return;
    m_plusButton->SetGlyph(Value);
    m_glyphsModified = true;
}

std::string TovnComboBase::RestoreGlyphs() const
{
    return m_glyphsModified ? "[Store]" : "[Dont Store]";
}

void TovnComboBase::SetRestoreGlyphs(const std::string&)
{
    ApplyButtonPictures();
}

void TovnComboBase::ApplyButtonPictures()
{
    m_lookupButton->SetPngPicture(&ovnPictures().pngLookup);
    m_plusButton->SetPngPicture(&ovnPictures().pngPlus);
}

std::string TovnComboBase::Hint() const
{
    return m_hint;
}

void TovnComboBase::SetHint(const std::string& Value)
{
    m_hint = Value;
    Editor().Widget()->setToolTip(PlainToolTip(Value));
}

void TovnComboBase::UpdateHintFromItems()
{
    SetHint(HintFromItems(m_lookupItems, HintKey(), m_lookupCut));
}

void TovnComboBase::ParseLookupParams()
{
    std::string text;
    for (const TStrings* part : {&m_lookupSQL->Select(), &m_lookupSQL->From(), &m_lookupSQL->Where(),
                                 &m_lookupSQL->OrderBy(), &m_lookupSQL->Other()}) {
        if (!text.empty())
            text += ' ';
        text += part->Text();
    }
    m_lookupParams.ParseSQL(text, true);
}

void TovnComboBase::Loaded()
{
    TovnCaptionedEdit::Loaded();
    if (m_kind == ckCombo)
        Label().SetVisible(Indent() > 0);
    ParseLookupParams();
}

// --- Layout and painting

void TovnComboBase::UpdateInteriorControls()
{
    TComboLayoutInput in;
    in.Width = Width();
    in.Height = Height();
    in.Indent = Indent();
    in.LabelLeft = Label().Left();
    in.LookupVisible = m_comboButtons.Contains(cbLookup);
    in.LookupWidth = m_lookupButton->Width();
    in.PlusVisible = m_comboButtons.Contains(cbPlus);
    in.PlusWidth = m_plusButton->Width();
    in.InfoButton = InfoVisible();
    in.InfoWidth = InfoWidth();
    const TComboLayout l = ComputeComboLayout(in);

    Label().SetWidth(l.LabelWidth);
    Label().SetVisible(l.LabelVisible);
    Label().SetTop(0);
    Label().SetHeight(in.Height);
    Editor().SetBounds(l.EditorLeft, l.EditorTop, l.EditorWidth, l.EditorHeight);
    PlaceInfo(l.InfoLeft, in.Height);
    m_lookupButton->SetVisible(in.LookupVisible);
    m_plusButton->SetVisible(in.PlusVisible);
    m_lookupButton->SetBounds(l.LookupLeft, 0, in.LookupWidth,
                              Designing() && !in.LookupVisible ? 0 : in.Height);
    m_plusButton->SetBounds(l.PlusLeft, 0, in.PlusWidth, in.Height);

    if (m_kind == ckDBCombo) {
        // The data combo starts from its own fonts and colours, then gives
        // its field the tool's mask while the data is open.
        if (m_focused) {
            Editor().Font().Assign(FontFocused());
            Editor().SetColor(clWindow);
        } else {
            Editor().Font().Assign(Font());
            Editor().SetColor(clovnIdle);
        }
    }
    ApplyEditorFont();
    const TColor c = GetEffectiveColor(m_focused, Marked());
    Editor().SetColor(c);
    SetColorValue(c);
    Invalidate();
}

void TovnComboBase::Paint()
{
    TovnGeneralControl::Paint();
    DrawShelfExt(Canvas(), {Editor().Left() - 3, 1, Width(), Height()}, m_focused, EffectivelyEnabled(),
                 Marked());
}

void TovnComboBase::EnableContents(bool Value)
{
    if (Value) {
        m_lookupButton->SetEnabled(m_comboButtonsEnabled.Contains(cbLookup));
        m_plusButton->SetEnabled(m_comboButtonsEnabled.Contains(cbPlus));
    } else {
        m_lookupButton->SetEnabled(false);
        m_plusButton->SetEnabled(false);
    }
    Invalidate();
}

void TovnComboBase::DoEnter()
{
    m_focused = true;
    UpdateInteriorControls();
    if (m_kind == ckCombo) {
        // The caret goes to the start of the text.
        Editor().SetSelStart(0);
        Editor().SetSelLength(1);
        Editor().SetSelLength(0);
    }
    if (Editor().CanFocus() && !Editor().Focused())
        Editor().SetFocus();
    Invalidate();
    TovnCaptionedEdit::DoEnter();
}

void TovnComboBase::DoExit()
{
    m_focused = false;
    UpdateInteriorControls();
    Invalidate();
    TovnCaptionedEdit::DoExit();
}

// --- Keys

void TovnComboBase::EditorKeyDown(uint16_t& Key, TShiftState Shift)
{
    EditorKeyDownFirst(Key);
    if (ArrowCheck()) {
        if (Key == VK_DOWN)
            FocusNext(true);
        else if (Key == VK_UP)
            FocusNext(false);
    }
    if (Key == VK_RETURN && m_comboButtonsEnabled.Contains(cbLookup))
        Lookup();
    if (Key == VK_BACK && ReadOnly()) {
        ClearChoice();
        FireAfterLookup();
    }
    if (OnKeyDown)
        OnKeyDown(this, Key, Shift);
}

bool TovnComboBase::QuickTypeAllowed(char32_t Key) const
{
    return const_cast<TovnComboBase*>(this)->Editor().ReadOnly() && Key >= kFirstQuickChar &&
           Key <= kLastQuickChar && m_quickType;
}

void TovnComboBase::EditorKeyPress(char32_t& Key)
{
    if (OnKeyPress) {
        // The lookup combo hands its display editor as the sender.
        TObject* sender = m_kind == ckLookupCombo ? static_cast<TObject*>(&Editor()) : this;
        OnKeyPress(sender, Key);
    }
    if (!QuickTypeAllowed(Key))
        return;
    if (m_kind == ckLookupCombo && !m_lookupSQL->Defined())
        return;
    QuickTyped(Key);
}

std::unique_ptr<TfrmDataEntry> TovnComboBase::RunQuickTypePopup(char32_t Typed)
{
    auto popup = std::make_unique<TfrmDataEntry>(window());
    frmDataEntry = popup.get();
    popup->SetParams(this, {Editor().Left(), Editor().Top(), Editor().Left() + Editor().Width(),
                            Editor().Top() + Editor().Height()});
    popup->Edt->SetText(std::string(1, static_cast<char>(Typed)));
    m_savedFilter.clear();
    popup->ShowModal();
    return popup;
}

void TovnComboBase::FillExtraValues(TDataSet& Rows, bool EmptyNames)
{
    m_lookupExtraValues.Clear();
    for (int i = 0; i < m_lookupExtraFields.Count(); ++i) {
        const std::string name = m_lookupExtraFields[i];
        if (name.empty()) {
            // An empty name keeps its place where the entries follow the names.
            if (EmptyNames)
                m_lookupExtraValues.Add("");
            continue;
        }
        m_lookupExtraValues.Add(Rows.FieldByName(name)->AsString());
    }
}

void TovnComboBase::ResetExtraValues()
{
    m_lookupExtraValues.Clear();
    for (int i = 0; i < m_lookupExtraFields.Count(); ++i)
        if (!m_lookupExtraFields[i].empty())
            m_lookupExtraValues.Add("");
}

void TovnComboBase::FireAfterLookup()
{
    if (AfterLookupExecuted)
        AfterLookupExecuted(this);
}

// --- Lookup

void TovnComboBase::Lookup()
{
    if (!m_comboButtons.Contains(cbLookup))
        return;
    if (Editor().CanFocus())
        Editor().SetFocus();
    if (m_lookupSQL->Defined() && m_lookupParams.Count() == 0)
        ParseLookupParams();
    bool doLookup = true;
    if (OnLookupPrepare)
        OnLookupPrepare(this, doLookup, m_lookupSQL, &m_lookupItems, m_lookupField);
    if (!doLookup)
        return;
    if (Tool() != TLookupTool::ltNone)
        RunCalendar();
    else
        RunLookupWindow();
}

void TovnComboBase::RunCalendar()
{
    const TLookupTool tool = Tool();
    bool ok = false;
    try {
        ok = Applet ? Applet->Calendar(&Editor(), tool) : ControllerCalendar(&Editor(), tool);
    } catch (const Exception& e) {
        // The unbound combo spells it with a capital for the two later tools.
        const bool capital = m_kind == ckCombo && tool != TLookupTool::ltCalendarDate;
        RaiseError(ComboErrorText(capital ? "Could not use Calendar" : "Could not use calendar",
                                  "Component name: ", Name(), "Exception text: ", e.Message()));
    }
    if (!ok)
        return;
    if (m_kind == ckCombo)
        FireAfterLookup();
    FocusNext(true);
}

void TovnComboBase::RunLookupWindow()
{
    auto window = std::make_unique<TfrmDBCombo>(this);
    window->Query->SQLSchema().Assign(*m_lookupSQL);
    window->Query->SetInvisibleFields(m_lookupInvisibleFields);
    window->Query->SetDatabaseName(m_lookupDatabaseName);
    window->Query->Params().Assign(m_lookupParams);
    window->setWindowTitle(QString::fromStdString(Caption()));
    window->ListBox->Items().Assign(m_lookupItems);
    window->SetOwnerCombo(Name(), m_searchByField, m_lookupField);
    window->SearchField = m_searchByField.empty() ? DefaultSearchField() : m_searchByField;
    window->edtSimple->SetText(m_savedFilter);
    PrepareWindow(*window);
    const int result = window->ShowModal();
    m_savedFilter = window->chkSaveFilter->isChecked() ? window->edtSimple->Text() : std::string();
    if (result == 1) {
        ClearChoice();
    } else if (result == 100) {
        try {
            m_lookupExtraValues.Clear();
            TDataSet* rows = window->WindowDataSet();
            if (window->Book->ActivePage() == window->tsDatabase && rows) {
                TakeRow(*rows);
            } else {
                const int index = window->ListBox->ItemIndex();
                if (index < 0 || index >= window->ListBox->Items().Count())
                    throw Exception("No line of the list is selected");
                TakeLine(window->ListBox->Items()[index]);
            }
        } catch (const Exception& e) {
            ScreenCursorToDefault();
            const std::string head = m_kind == ckCombo ? "Could not find lookup (or extra) field."
                                                       : "Could not find lookup field.";
            RaiseError(ComboErrorText(head, "Component Name: ", Name(), "Exception text: ", e.Message()));
        }
    }
    window.reset();
    if (result != 0) {
        FireAfterLookup();
        FocusNext(true);
    }
}

// --- Plus

void TovnComboBase::Plus()
{
    if (!m_comboButtons.Contains(cbPlus))
        return;
    if (Editor().CanFocus())
        Editor().SetFocus();
    bool doPlus = true;
    int mode = 1;
    if (OnPlusPrepare)
        OnPlusPrepare(this, doPlus, m_plusResource, m_plusReturnFrom, mode);
    if (!doPlus || !TemplateSlave)
        return;
    try {
        TPlusRequest request;
        request.OwnerForm = ParentForm(this);
        request.LookupCombo = m_kind == ckLookupCombo;
        request.LookupDisplayField = PlusDisplayField();
        request.PlusReturnFrom = m_plusReturnFrom;
        request.Name = Name();
        request.PlusResource = m_plusResource;
        request.Mode = mode;
        RunPlusSteps(RequireCommandStack(), Applet, request);
    } catch (const Exception& e) {
        RaiseError(ComboErrorText("Could not use stack", "Component name: ", Name(),
                                  "Exception text: ", e.Message()));
    }
}

// --- What a choice writes (the two combos; the lookup combo has its own)

void TovnComboBase::ClearChoice()
{
    m_lookupExtraValues.Clear();
    Editor().SetText("");
    ResetExtraValues();
}

void TovnComboBase::TakeRow(TDataSet& Rows)
{
    Editor().SetText(Rows.FieldByName(m_lookupField)->AsString());
    FillExtraValues(Rows, false);
}

void TovnComboBase::TakeLine(const std::string& Line)
{
    Editor().SetText(ItemCode(Line, m_lookupCut));
}

void TovnComboBase::QuickTyped(char32_t Typed)
{
    // The popup lives to the end of the action.
    const std::unique_ptr<TfrmDataEntry> popup = RunQuickTypePopup(Typed);
    const std::string text = popup->Edt->Text();
    if (popup->Tag <= 0)
        return;
    bool doLookup = true;
    if (OnLookupPrepare)
        OnLookupPrepare(this, doLookup, m_lookupSQL, &m_lookupItems, m_lookupField);
    m_savedFilter = text;
    bool found = false;
    // a. The statement.
    if (m_lookupSQL->Defined()) {
        auto query = std::make_unique<TovnOndrelQuery>();
        query->SetDatabaseName(m_lookupDatabaseName);
        query->SQLSchema().Assign(*m_lookupSQL);
        const std::string field = m_searchByField.empty() ? m_lookupField : m_searchByField;
        query->SQLSchema().Where().SetText(
            ComboQuickWhere(Trim(m_lookupSQL->Where().Text()), m_lookupSQL->GetOriginalField(field), text));
        query->Params().Assign(m_lookupParams);
        query->Open();
        if (!query->IsEmpty()) {
            found = true;
            try {
                FillExtraValues(*query, true);
                Editor().SetText(query->FieldByName(m_lookupField)->AsString());
            } catch (const Exception& e) {
                RaiseError(ComboErrorText("Could not populate LookupExtraValues", "Component: ", Name(),
                                          "Exception Text: ", e.Message()));
            }
        }
    }
    // b. The lookup dataset; c. the fixed list.
    if (FoundInLookupDataset(text))
        found = true;
    if (m_lookupItems.Count() > 0 && ItemsHoldCode(m_lookupItems, text, m_lookupCut))
        found = true;
    if (found) {
        // The typed spelling stays, whatever the row's.
        Editor().SetText(text);
        FireAfterLookup();
        FocusNext(true);
    } else {
        // d.
        Lookup();
    }
    m_savedFilter.clear();
}

#include "Components/Controller/forms/ovnStack.h"

#include "Components/Controller/forms/ovnManager.h"
#include "Components/Controller/forms/ovnMembers.h"
#include "platform/ColorNames.h"
#include "platform/ComCtrls.h"
#include "platform/DBCtrls.h"
#include "platform/DBGrids.h"
#include "platform/DBStockControls.h"
#include "platform/DataSet.h"
#include "platform/Fields.h"
#include "platform/FormParts.h"
#include "platform/StockControls.h"
#include "platform/TypInfo.h"
#include "ui/ovnGeneralControl.h"

#include <QAbstractItemView>
#include <QListWidget>
#include <QTableView>

const char* const SStackNoSender = "Sender must be specified in Stack.Write";
const char* const SStackPendingSender = "some form did not call getSender";

TovnStack* aStack = nullptr;

namespace {

const char* const kFormNumberProperty = "ovnStackFormNumber";
constexpr int kComponentSize = 100;
constexpr int kValueSize = 250;

// The command texts of the errors.
const char* const kErrSetData = "; Operation: Pop; Command: cm_SetData; Component: ";
const char* const kErrColor = "; Operation: Pop; Command: cm_Color; Component: ";
const char* const kErrNewRecord = "; Operation: Pop; Command: cm_NewRecord; Component: ";
const char* const kErrVisibleTab = "; Operation: Pop; Command: cm_VisibleTab; Component: ";
const char* const kErrReturn = "; Operation: Pop; Command: cm_Return; Component: ";
const char* const kErrReadOnly = "; Operation: Pop; Command: cm_readOnly; Component: ";
const char* const kErrFilter = "; Operation: Pop; Command: cm_Filter; Component: ";
const char* const kErrUnknown = "; Operation: Run; Command: Unknown; Component: ";

std::string FormName(QWidget* Form) { return Form ? Form->objectName().toStdString() : std::string(); }

[[noreturn]] void CommandError(QWidget* Target, const char* Text, const std::string& Component,
                               const std::string& Value)
{
    throw EovnStack("Stack operation error. Form: " + FormName(Target) + Text + Component + "; Value: " + Value);
}

std::string AsciiUpper(std::string Text)
{
    for (char& c : Text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return Text;
}

std::string AsciiLower(std::string Text)
{
    for (char& c : Text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return Text;
}

// Characters (code points) of a UTF-8 text.
int CharCount(const std::string& Text)
{
    int count = 0;
    for (unsigned char c : Text)
        if ((c & 0xC0) != 0x80)
            ++count;
    return count;
}

TovnGeneralControl* MemberOf(const TFormPart& Part)
{
    return dynamic_cast<TovnGeneralControl*>(Part.Object);
}

QWidget* ControlOf(const TFormPart& Part) { return qobject_cast<QWidget*>(Part.Object); }

// The platform's edits: data edit, edit, mask edit, data memo, memo.
TCustomEdit* EditOf(const TFormPart& Part) { return dynamic_cast<TCustomEdit*>(Part.Object); }

// A check box or radio button, data-aware or not.
QAbstractButton* CheckOf(const TFormPart& Part)
{
    if (auto* box = dynamic_cast<TCheckBox*>(Part.Object))
        return box;
    return dynamic_cast<TRadioButton*>(Part.Object);
}

// A push button (button, bitmap button).
TButton* ButtonOf(const TFormPart& Part) { return dynamic_cast<TButton*>(Part.Object); }

// Writes Text into the published property "Value"; False without one.
bool SetPublishedValue(const TFormPart& Part, const std::string& Text)
{
    TObject* object = Part.AsTObject();
    if (!object || !IsPublishedProp(*object, "Value"))
        return false;
    SetPropValue(*object, "Value", Text);
    return true;
}

// Writes Text into Part; False when the part takes no text. Field is
// allowed only as a return target.
bool WriteText(const TFormPart& Part, const std::string& Text, bool ReturnTarget)
{
    if (TovnGeneralControl* member = MemberOf(Part)) {
        member->SetValue(Text);
        return true;
    }
    if (auto* manager = dynamic_cast<TovnManager*>(Part.Component)) {
        manager->ReturnValue = Text;
        return true;
    }
    if (ReturnTarget)
        if (auto* field = dynamic_cast<TField*>(Part.Component)) {
            field->SetAsString(Text);
            return true;
        }
    if (TCustomEdit* edit = EditOf(Part)) {
        edit->SetText(Text);
        return true;
    }
    if (auto* label = dynamic_cast<TCustomLabel*>(Part.Object)) {
        label->SetCaption(Text);
        return true;
    }
    if (TButton* button = ButtonOf(Part)) {
        button->SetCaption(Text);
        return true;
    }
    if (auto* list = dynamic_cast<QListWidget*>(Part.Object)) {
        list->addItem(QString::fromStdString(Text));
        return true;
    }
    if (auto* dataCombo = dynamic_cast<TDBComboBox*>(Part.Object)) {
        int32_t index = 0;
        if (!TryStrToInt(Text, index))
            return false;
        dataCombo->SetItemIndex(index);
        return true;
    }
    if (auto* combo = dynamic_cast<TComboBox*>(Part.Object); combo && !dynamic_cast<TDBLookupComboBox*>(combo)) {
        combo->SetText(Text);
        return true;
    }
    if (QAbstractButton* check = CheckOf(Part)) {
        const std::string lower = AsciiLower(Text);
        if (lower == "true" || lower == "false") {
            check->setChecked(lower == "true");
            return true;
        }
    }
    return SetPublishedValue(Part, Text);
}

// The text of Part; False when it has none to give.
bool ReadText(const TFormPart& Part, std::string& Text)
{
    if (TovnGeneralControl* member = MemberOf(Part)) {
        Text = member->GetValue();
        return true;
    }
    if (auto* field = dynamic_cast<TField*>(Part.Component)) {
        Text = field->AsString();
        return true;
    }
    if (auto* manager = dynamic_cast<TovnManager*>(Part.Component)) {
        Text = manager->ReturnValue;
        return true;
    }
    if (TCustomEdit* edit = EditOf(Part)) {
        Text = edit->Text();
        return true;
    }
    if (auto* label = dynamic_cast<TCustomLabel*>(Part.Object)) {
        Text = label->Caption();
        return true;
    }
    if (TButton* button = ButtonOf(Part)) {
        Text = button->Caption();
        return true;
    }
    if (auto* lookup = dynamic_cast<TDBLookupComboBox*>(Part.Object)) {
        Text = lookup->DisplayText();
        return true;
    }
    if (auto* combo = dynamic_cast<TComboBox*>(Part.Object)) {
        Text = combo->Text();
        return true;
    }
    if (auto* list = dynamic_cast<QListWidget*>(Part.Object)) {
        QListWidgetItem* item = list->currentItem();
        Text = item ? item->text().toStdString() : std::string();
        return true;
    }
    if (QAbstractButton* check = CheckOf(Part)) {
        Text = check->isChecked() ? "TRUE" : "FALSE";
        return true;
    }
    TObject* object = Part.AsTObject();
    if (object && IsPublishedProp(*object, "Value")) {
        Text = GetPropValue(*object, "Value");
        return true;
    }
    return false;
}

void SetEnabledOf(const TFormPart& Part, bool Flag)
{
    if (TovnGeneralControl* member = MemberOf(Part))
        member->SetEnabled(Flag);
    else if (QWidget* control = ControlOf(Part))
        control->setEnabled(Flag);
}

// Whether Widget lies inside a member of the family (its inner controls
// are the member's to enable).
bool InsideMember(QWidget* Widget, QWidget* Form)
{
    for (QWidget* w = Widget->parentWidget(); w && w != Form; w = w->parentWidget())
        if (dynamic_cast<TovnGeneralControl*>(w))
            return true;
    return false;
}

TColor StackColor(const std::string& Value)
{
    if (Value == "CLDISABLED")
        return 0xFFFFFF;
    if (Value == "CLCLONED")
        return 0x00FF00;
    if (Value == "CLNORMAL")
        return 0xFFFF00;
    if (Value == "CLNORMALCHECK")
        return 0x80FFFF;
    if (Value == "CLDEFAULT")
        return 0x00FF00;
    if (Value == "CLREQ")
        return 0xFF0000;
    return StringToColor(Value);
}

bool SetColorOf(const TFormPart& Part, TColor Color)
{
    if (TovnGeneralControl* member = MemberOf(Part)) {
        MemberSetColor(member, Color);
        return true;
    }
    if (TCustomEdit* edit = EditOf(Part)) {
        edit->SetColor(Color);
        return true;
    }
    if (auto* combo = dynamic_cast<TComboBox*>(Part.Object)) {
        combo->SetColor(Color);
        return true;
    }
    if (auto* box = dynamic_cast<TCheckBox*>(Part.Object)) {
        box->SetColor(Color);
        return true;
    }
    if (auto* grid = dynamic_cast<QTableView*>(Part.Object)) {
        ApplyWidgetColor(grid, Color);
        return true;
    }
    if (auto* label = dynamic_cast<TCustomLabel*>(Part.Object)) {
        label->Font().SetColor(Color);
        return true;
    }
    if (auto* radio = dynamic_cast<TRadioButton*>(Part.Object)) {
        radio->Font().SetColor(Color);
        radio->FontChanged();
        return true;
    }
    return false;
}

bool SetReadOnlyOf(const TFormPart& Part, bool Flag)
{
    if (TovnGeneralControl* member = MemberOf(Part))
        return MemberSetReadOnly(member, Flag);
    if (TCustomEdit* edit = EditOf(Part)) {
        edit->SetReadOnly(Flag);
        return true;
    }
    if (auto* box = dynamic_cast<TDBCheckBox*>(Part.Object)) {
        box->SetReadOnly(Flag);
        return true;
    }
    if (auto* combo = dynamic_cast<TDBComboBox*>(Part.Object)) {
        combo->SetReadOnly(Flag);
        return true;
    }
    if (auto* grid = dynamic_cast<TDBGrid*>(Part.Object)) {
        grid->SetReadOnly(Flag);
        return true;
    }
    return false;
}

// Hides page Index's tab and activates the next page after it with a
// visible tab, wrapping round once; with none the active page stays.
bool HideTab(TPageControl* Pages, const std::string& Value)
{
    int32_t index = 0;
    if (!TryStrToInt(Value, index) || index < 0 || index >= Pages->PageCount())
        return false;
    Pages->Pages(index)->SetTabVisible(false);
    const int count = Pages->PageCount();
    for (int step = 1; step < count; ++step) {
        TTabSheet* page = Pages->Pages((index + step) % count);
        if (page->TabVisible()) {
            Pages->SetActivePage(page);
            break;
        }
    }
    return true;
}

} // namespace

// ---------------------------------------------------------------------------

TovnStack::TovnStack() : m_watch(std::make_unique<QObject>())
{
    FieldDefs().Add("Sender", ftInteger, 0, true);
    FieldDefs().Add("Command", ftInteger, 0, true);
    FieldDefs().Add("Component", ftString, kComponentSize);
    FieldDefs().Add("Value", ftString, kValueSize);
    Open();
    SetFiltered(true);
}

TovnStack::~TovnStack() { m_watch.reset(); }

int TovnStack::FormNumber(QWidget* Form)
{
    if (!Form)
        return 0;
    const QVariant known = Form->property(kFormNumberProperty);
    if (known.isValid())
        return known.toInt();
    const int number = m_nextNumber++;
    Form->setProperty(kFormNumberProperty, number);
    m_forms[number] = Form;
    QObject::connect(Form, &QObject::destroyed, m_watch.get(), [this, number] { FormDestroyed(number); });
    return number;
}

QWidget* TovnStack::FormOfNumber(int Number) const
{
    auto it = m_forms.find(Number);
    return it == m_forms.end() ? nullptr : it->second.data();
}

void TovnStack::FormDestroyed(int Number)
{
    m_forms.erase(Number);
    DeleteRowsOf(Number);
}

void TovnStack::SetSenderFilter(int Number) { SetFilter("Sender = " + std::to_string(Number)); }

void TovnStack::DeleteRowsOf(int Number)
{
    const std::string saved = Filter();
    SetSenderFilter(Number);
    First();
    while (!Eof())
        Delete();
    SetFilter(saved);
    First();
}

void TovnStack::InitStack(QWidget* Sender)
{
    if (m_pending)
        throw EovnStack(SStackPendingSender);
    m_pending = Sender;
    m_written.clear();
}

bool TovnStack::CheckInit() { return !m_pending.isNull(); }

void TovnStack::Write(TStackCommand Command, const std::string& Component, const std::string& Value)
{
    const std::string component = AsciiUpper(Trim(Component));
    const std::string value = AsciiUpper(Trim(Value));
    if (!m_pending)
        throw EovnStack(SStackNoSender);
    if (CharCount(component) > kComponentSize)
        throw EovnStack("Stack.Write: the component name \"" + component + "\" is longer than " +
                        std::to_string(kComponentSize) + " characters");
    if (CharCount(value) > kValueSize)
        throw EovnStack("Stack.Write: the value for \"" + component + "\" is longer than " +
                        std::to_string(kValueSize) + " characters");
    // The row is posted with every row visible, so that the cursor stays on
    // it whatever sender the filter shows; the filter is given back.
    const std::string saved = Filter();
    SetFilter("");
    Append();
    FieldByName("Sender")->SetAsInteger(FormNumber(m_pending));
    FieldByName("Command")->SetAsInteger(static_cast<int>(Command));
    if (!component.empty())
        FieldByName("Component")->SetAsString(component);
    if (!value.empty())
        FieldByName("Value")->SetAsString(value);
    Post();
    m_written.push_back(GetBookmark());
    SetFilter(saved);
}

void TovnStack::DropPlus()
{
    const std::string saved = Filter();
    SetFilter("");
    for (const TBookmark& mark : m_written)
        if (BookmarkValid(mark)) {
            GotoBookmark(mark);
            Delete();
        }
    m_written.clear();
    SetFilter(saved);
    First();
    m_pending = nullptr;
}

QWidget* TovnStack::GetSender()
{
    QWidget* sender = m_pending.data();
    m_pending = nullptr;
    m_written.clear();
    return sender;
}

void TovnStack::ClearStack(QWidget* Sender)
{
    if (Sender)
        SetSenderFilter(FormNumber(Sender));
    else
        SetFilter("");
    First();
    while (!Eof())
        Delete();
}

void TovnStack::Run(QWidget* Sender, QWidget* Target, TRunMode Mode, bool Once)
{
    if (!Sender)
        return;
    SetSenderFilter(FormNumber(Sender));
    First();
    while (!Eof()) {
        const int command = FieldByName("Command")->AsInteger();
        switch (Mode) {
        case rmIgnore:
            Delete();
            break;
        case rmReturn:
            if (command == cm_Return) {
                DoRun(Target);
                Delete();
            } else
                Next();
            break;
        case rmStandard:
            if (command != cm_Return) {
                DoRun(Target);
                Delete();
            } else
                Next();
            break;
        }
        if (Once)
            break;
    }
}

void TovnStack::DoRun(QWidget* Target)
{
    const int command = FieldByName("Command")->AsInteger();
    const std::string component = FieldByName("Component")->AsString();
    const std::string value = FieldByName("Value")->AsString();
    const TFormPart instance = FindFormPart(Target, component);
    if (!instance)
        throw EovnStack("Stack operation error. Form: " + FormName(Target) + "; Operation: doRun;  Component: " +
                        component);
    const bool flag = AsciiUpper(value) == "TRUE";
    switch (command) {
    case cm_SetData:
        if (!WriteText(instance, value, false))
            CommandError(Target, kErrSetData, component, value);
        break;
    case cm_Enabled:
        SetEnabledOf(instance, flag);
        break;
    case cm_EnabledAll:
        ForEachFormPart(Target, [&](const TFormPart& part) {
            QWidget* control = ControlOf(part);
            if (!control || control->objectName().isEmpty() || control->objectName().startsWith("qt_") ||
                InsideMember(control, Target))
                return;
            SetEnabledOf(part, flag);
        });
        break;
    case cm_Visible:
        if (QWidget* control = ControlOf(instance))
            control->setVisible(flag);
        break;
    case cm_Color:
        if (!SetColorOf(instance, StackColor(AsciiUpper(value))))
            CommandError(Target, kErrColor, component, value);
        break;
    case cm_NewRecord: {
        auto* dataSet = dynamic_cast<TDataSet*>(instance.Component);
        if (!dataSet)
            CommandError(Target, kErrNewRecord, component, value);
        try {
            dataSet->Append();
        } catch (const Exception&) {
            CommandError(Target, kErrNewRecord, component, value);
        }
        break;
    }
    case cm_VisibleTab: {
        auto* pages = dynamic_cast<TPageControl*>(instance.Object);
        if (!pages || !HideTab(pages, value))
            CommandError(Target, kErrVisibleTab, component, value);
        break;
    }
    case cm_Return: {
        const int senderNumber = FieldByName("Sender")->AsInteger();
        const TFormPart target = FindFormPart(FormOfNumber(senderNumber), value);
        if (!target)
            throw EovnStack("Stack operation error. Form: " + FormName(Target) +
                            "; Operation: cm_Return;  Component: " + component + ";Value: " + value);
        std::string text;
        if (!ReadText(instance, text))
            CommandError(Target, kErrReturn, component, "");
        if (!WriteText(target, text, true))
            throw EovnStack("Stack operation error. Form: " + FormName(Target) +
                            "; Operation: Pop; Command: cm_Return; compReturnTo: " + target.Name() +
                            "; Value: " + text);
        break;
    }
    case cm_ReadOnly:
        if (!SetReadOnlyOf(instance, flag))
            CommandError(Target, kErrReadOnly, component, value);
        break;
    case cm_Filter: {
        auto* dataSet = dynamic_cast<TDataSet*>(instance.Component);
        if (!dataSet)
            CommandError(Target, kErrFilter, component, value);
        dataSet->SetFiltered(true);
        dataSet->SetFilter(value);
        break;
    }
    case cm_Marked:
        if (TovnGeneralControl* member = MemberOf(instance))
            member->SetMarked(flag);
        break;
    default:
        CommandError(Target, kErrUnknown, component, value);
    }
}

namespace {

// Makes the one stack when the library loads and registers it.
struct TStackUnit
{
    TStackUnit()
    {
        aStack = new TovnStack;
        SetCommandStack(aStack);
    }
    ~TStackUnit()
    {
        if (CommandStack() == aStack)
            SetCommandStack(nullptr);
        delete aStack;
        aStack = nullptr;
    }
} g_stackUnit;

} // namespace

// The command stack: queueing by the pending sending form, the three run
// modes, each command against each kind of component with the exact error
// texts, rows kept after a failing one, and forms that go away.
#include "Components/Controller/forms/ovnManager.h"
#include "Components/Controller/forms/ovnStack.h"
#include "Components/Nembra/ovnDataSet.h"
#include "platform/ComCtrls.h"
#include "platform/DBGrids.h"
#include "platform/DBStockControls.h"
#include "platform/Fields.h"
#include "platform/FormParts.h"
#include "platform/StockControls.h"
#include "support/ErrorOf.h"
#include "ui/ovnMaskEdit.h"

#include <QListWidget>

#include <gtest/gtest.h>

#include <memory>

namespace {

// A target form with one component of each kind the stack knows, and a
// sending form with the return targets.
struct TStackForms
{
    TStackForms()
    {
        Target->setObjectName("frmTarget");
        Sender->setObjectName("frmSender");
        auto named = [](QWidget* w, const char* name) {
            w->setObjectName(name);
            return w;
        };
        named(Member = new TovnMaskEdit(Target.get()), "edMember");
        named(Edit = new TEdit(Target.get()), "edPlain");
        named(Memo = new TMemo(Target.get()), "mmNotes");
        named(Label = new TLabel(Target.get()), "lblName");
        named(Button = new TButton(Target.get()), "btnGo");
        named(Combo = new TComboBox(Target.get()), "cbKind");
        named(DataCombo = new TDBComboBox(Target.get()), "dcbKind");
        named(Lookup = new TDBLookupComboBox(Target.get()), "dlcFacility");
        named(Check = new TCheckBox(Target.get()), "chkActive");
        named(Radio = new TRadioButton(Target.get()), "rbYes");
        named(List = new QListWidget(Target.get()), "lbLines");
        named(Grid = new TDBGrid(Target.get()), "grdList");
        named(Box = new TGroupBox(Target.get()), "gbBox");
        named(Pages = new TPageControl(Target.get()), "pcPages");
        for (int i = 0; i < 4; ++i)
            new TTabSheet(Pages);
        Pages->SetActivePageIndex(0);
        for (const char* kind : {"A", "B", "C"})
            DataCombo->AddItem(kind);
        Local = new TovnDataSet(&FormComponents(Target.get()));
        Local->SetName("dsLocal");
        Local->FieldDefs().Add("NAME", ftString, 20);
        Local->Open();
        Manager = new TovnManager(&FormComponents(Target.get()));
        Manager->SetName("Manager");

        named(Result = new TEdit(Sender.get()), "edResult");
        named(SenderBox = new TGroupBox(Sender.get()), "gbSender");
        named(SenderMember = new TovnMaskEdit(Sender.get()), "edSenderMember");
    }
    ~TStackForms()
    {
        aStack->ClearStack(nullptr);
        aStack->GetSender();
    }

    // Queues one command from the sending form and runs it; the error text,
    // empty when it ran.
    std::string RunOne(TStackCommand Command, const std::string& Component, const std::string& Value,
                       TRunMode Mode = rmStandard)
    {
        aStack->InitStack(Sender.get());
        aStack->Write(Command, Component, Value);
        aStack->GetSender();
        std::string error = ErrorOf([&] { aStack->Run(Sender.get(), Target.get(), Mode, false); });
        aStack->ClearStack(Sender.get());
        return error;
    }

    // The queued rows of Form: "command:component:value" each.
    std::vector<std::string> Rows(QWidget* Form)
    {
        std::vector<std::string> rows;
        aStack->SetFilter("Sender = " + std::to_string(aStack->FormNumber(Form)));
        for (aStack->First(); !aStack->Eof(); aStack->Next())
            rows.push_back(aStack->FieldByName("Command")->AsString() + ":" +
                           aStack->FieldByName("Component")->AsString() + ":" +
                           aStack->FieldByName("Value")->AsString());
        return rows;
    }

    std::unique_ptr<QWidget> Target = std::make_unique<QWidget>();
    std::unique_ptr<QWidget> Sender = std::make_unique<QWidget>();
    TovnMaskEdit* Member;
    TEdit* Edit;
    TMemo* Memo;
    TLabel* Label;
    TButton* Button;
    TComboBox* Combo;
    TDBComboBox* DataCombo;
    TDBLookupComboBox* Lookup;
    TCheckBox* Check;
    TRadioButton* Radio;
    QListWidget* List;
    TDBGrid* Grid;
    TGroupBox* Box;
    TPageControl* Pages;
    TovnDataSet* Local;
    TovnManager* Manager;
    TEdit* Result;
    TGroupBox* SenderBox;
    TovnMaskEdit* SenderMember;
};

const std::string kPop = "Stack operation error. Form: frmTarget; Operation: Pop; Command: ";

} // namespace

TEST(CommandStack, TheStackIsTheControlsCommandStack)
{
    ASSERT_NE(aStack, nullptr);
    EXPECT_EQ(CommandStack(), static_cast<IovnCommandStack*>(aStack));
    EXPECT_TRUE(aStack->Filtered());
    EXPECT_EQ(aStack->FieldByName("Component")->Size(), 100);
    EXPECT_EQ(aStack->FieldByName("Value")->Size(), 250);
}

TEST(CommandStack, PendingSenderAndWriteRules)
{
    TStackForms forms;
    EXPECT_FALSE(aStack->CheckInit());
    EXPECT_EQ(ErrorOf<EovnStack>([&] { aStack->Write(cm_SetData, "A", "B"); }),
              "Sender must be specified in Stack.Write");
    aStack->InitStack(forms.Sender.get());
    EXPECT_TRUE(aStack->CheckInit());
    EXPECT_EQ(ErrorOf<EovnStack>([&] { aStack->InitStack(forms.Target.get()); }), "some form did not call getSender");
    aStack->Write(cm_SetData, "  edMember ", " smith ");
    aStack->Write(cm_Return, "Manager", "");
    EXPECT_EQ(aStack->GetSender(), forms.Sender.get());
    EXPECT_FALSE(aStack->CheckInit());
    EXPECT_EQ(aStack->GetSender(), nullptr);
    // Trimmed and upper-cased; an empty value stays null.
    EXPECT_EQ(forms.Rows(forms.Sender.get()), (std::vector<std::string>{"0:EDMEMBER:SMITH", "7:MANAGER:"}));
    aStack->SetFilter("Sender = " + std::to_string(aStack->FormNumber(forms.Sender.get())));
    aStack->Last();
    EXPECT_TRUE(aStack->FieldByName("Value")->IsNull());
}

TEST(CommandStack, WriteRefusesTextsTheFieldsWouldCut)
{
    TStackForms forms;
    aStack->InitStack(forms.Sender.get());
    const std::string name100(100, 'N');
    const std::string value250(250, 'v');
    aStack->Write(cm_SetData, "  " + name100 + " ", value250);
    EXPECT_EQ(ErrorOf<EovnStack>([&] { aStack->Write(cm_SetData, name100 + "X", "v"); }),
              "Stack.Write: the component name \"" + name100 + "X\" is longer than 100 characters");
    EXPECT_EQ(ErrorOf<EovnStack>([&] { aStack->Write(cm_SetData, "EDPLAIN", value250 + "v"); }),
              "Stack.Write: the value for \"EDPLAIN\" is longer than 250 characters");
    // Characters, not bytes: 250 two-byte letters fit.
    std::string wide;
    for (int i = 0; i < 250; ++i)
        wide += "\xC3\xA9";
    aStack->Write(cm_SetData, "EDPLAIN", wide);
    aStack->GetSender();
    const std::vector<std::string> rows = forms.Rows(forms.Sender.get());
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], "0:" + name100 + ":" + std::string(250, 'V'));
    EXPECT_EQ(rows[1], "0:EDPLAIN:" + wide);
}

TEST(CommandStack, SetDataWritesEachKindOfComponent)
{
    TStackForms f;
    EXPECT_EQ(f.RunOne(cm_SetData, "edMember", "smith"), "");
    EXPECT_EQ(f.Member->GetValue(), "SMITH") << "values travel upper-cased";
    EXPECT_EQ(f.RunOne(cm_SetData, "EDPLAIN", "a"), "");
    EXPECT_EQ(f.Edit->Text(), "A");
    EXPECT_EQ(f.RunOne(cm_SetData, "mmNotes", "m"), "");
    EXPECT_EQ(f.Memo->Text(), "M");
    EXPECT_EQ(f.RunOne(cm_SetData, "lblName", "l"), "");
    EXPECT_EQ(f.Label->Caption(), "L");
    EXPECT_EQ(f.RunOne(cm_SetData, "btnGo", "go"), "");
    EXPECT_EQ(f.Button->Caption(), "GO");
    EXPECT_EQ(f.RunOne(cm_SetData, "cbKind", "k"), "");
    EXPECT_EQ(f.Combo->Text(), "K");
    EXPECT_EQ(f.RunOne(cm_SetData, "lbLines", "one"), "");
    EXPECT_EQ(f.RunOne(cm_SetData, "lbLines", "two"), "");
    ASSERT_EQ(f.List->count(), 2);
    EXPECT_EQ(f.List->item(1)->text().toStdString(), "TWO");
    EXPECT_EQ(f.RunOne(cm_SetData, "dcbKind", "2"), "");
    EXPECT_EQ(f.DataCombo->ItemIndex(), 2);
    EXPECT_EQ(f.RunOne(cm_SetData, "chkActive", "true"), "");
    EXPECT_TRUE(f.Check->Checked());
    EXPECT_EQ(f.RunOne(cm_SetData, "chkActive", "False"), "");
    EXPECT_FALSE(f.Check->Checked());
    EXPECT_EQ(f.RunOne(cm_SetData, "rbYes", "TRUE"), "");
    EXPECT_TRUE(f.Radio->Checked());
    EXPECT_EQ(f.RunOne(cm_SetData, "manager", "resident_name"), "");
    EXPECT_EQ(f.Manager->ReturnValue, "RESIDENT_NAME");

    const std::string setData = kPop + "cm_SetData; Component: ";
    struct Bad
    {
        const char* Component;
        const char* Value;
        std::string Error;
    } bad[] = {
        {"dcbKind", "x", setData + "DCBKIND; Value: X"},
        {"chkActive", "maybe", setData + "CHKACTIVE; Value: MAYBE"},
        {"gbBox", "x", setData + "GBBOX; Value: X"},
        {"dlcFacility", "1", setData + "DLCFACILITY; Value: 1"},
        {"dsLocal", "x", setData + "DSLOCAL; Value: X"},
        {"nosuch", "x", "Stack operation error. Form: frmTarget; Operation: doRun;  Component: NOSUCH"},
    };
    for (const Bad& b : bad)
        EXPECT_EQ(f.RunOne(cm_SetData, b.Component, b.Value), b.Error) << b.Component;
}

TEST(CommandStack, ColourReadOnlyFilterNewRecordAndMarked)
{
    TStackForms f;
    EXPECT_EQ(f.RunOne(cm_Color, "edPlain", "clReq"), "");
    EXPECT_EQ(f.Edit->Color(), 0xFF0000);
    EXPECT_EQ(f.RunOne(cm_Color, "edPlain", "clNormalCheck"), "");
    EXPECT_EQ(f.Edit->Color(), 0x80FFFF);
    EXPECT_EQ(f.RunOne(cm_Color, "edMember", "clCloned"), "");
    EXPECT_EQ(f.Member->Color(), 0x00FF00);
    EXPECT_EQ(f.RunOne(cm_Color, "cbKind", "clRed"), "");
    EXPECT_EQ(f.Combo->Color(), 0x0000FF);
    EXPECT_EQ(f.RunOne(cm_Color, "chkActive", "$00FF80"), "");
    EXPECT_EQ(f.Check->Color(), 0x00FF80);
    EXPECT_EQ(f.RunOne(cm_Color, "lblName", "255"), "");
    EXPECT_EQ(f.Label->Font().Color(), 0x0000FF);
    EXPECT_EQ(f.RunOne(cm_Color, "rbYes", "clBlue"), "");
    EXPECT_EQ(f.Radio->Font().Color(), 0xFF0000);
    EXPECT_EQ(f.RunOne(cm_Color, "grdList", "clDisabled"), "");
    EXPECT_EQ(ColorFromQColor(f.Grid->palette().color(QPalette::Base)), 0xFFFFFF);
    EXPECT_EQ(f.RunOne(cm_Color, "gbBox", "clRed"), kPop + "cm_Color; Component: GBBOX; Value: CLRED");
    EXPECT_EQ(f.RunOne(cm_Color, "edPlain", "pinkish"), "'PINKISH' is not a valid integer value");

    EXPECT_EQ(f.RunOne(cm_ReadOnly, "edPlain", "TRUE"), "");
    EXPECT_TRUE(f.Edit->ReadOnly());
    EXPECT_EQ(f.RunOne(cm_ReadOnly, "edMember", "true"), "");
    EXPECT_TRUE(f.Member->ReadOnly());
    EXPECT_EQ(f.RunOne(cm_ReadOnly, "mmNotes", "TRUE"), "");
    EXPECT_TRUE(f.Memo->ReadOnly());
    EXPECT_EQ(f.RunOne(cm_ReadOnly, "grdList", "TRUE"), "");
    EXPECT_TRUE(f.Grid->ReadOnly());
    // The data combo box: not editable and its list stays shut, then back.
    EXPECT_EQ(f.RunOne(cm_ReadOnly, "dcbKind", "TRUE"), "");
    EXPECT_TRUE(f.DataCombo->lineEdit()->isReadOnly());
    EXPECT_TRUE(f.DataCombo->DropDownLocked());
    EXPECT_EQ(f.RunOne(cm_ReadOnly, "dcbKind", "FALSE"), "");
    EXPECT_FALSE(f.DataCombo->lineEdit()->isReadOnly());
    EXPECT_FALSE(f.DataCombo->DropDownLocked());
    EXPECT_EQ(f.RunOne(cm_ReadOnly, "gbBox", "TRUE"), kPop + "cm_readOnly; Component: GBBOX; Value: TRUE");
    EXPECT_EQ(f.RunOne(cm_ReadOnly, "cbKind", "TRUE"), kPop + "cm_readOnly; Component: CBKIND; Value: TRUE");

    EXPECT_EQ(f.RunOne(cm_Filter, "dsLocal", "name = \"a\""), "");
    EXPECT_TRUE(f.Local->Filtered());
    EXPECT_EQ(f.Local->Filter(), "NAME = \"A\"");
    EXPECT_EQ(f.RunOne(cm_Filter, "edPlain", "x"), kPop + "cm_Filter; Component: EDPLAIN; Value: X");

    EXPECT_EQ(f.RunOne(cm_NewRecord, "dsLocal", ""), "");
    EXPECT_EQ(f.Local->State(), dsInsert);
    f.Local->Cancel();
    EXPECT_EQ(f.RunOne(cm_NewRecord, "edPlain", ""), kPop + "cm_NewRecord; Component: EDPLAIN; Value: ");
    f.Local->Close();
    EXPECT_EQ(f.RunOne(cm_NewRecord, "dsLocal", ""), kPop + "cm_NewRecord; Component: DSLOCAL; Value: ");

    EXPECT_EQ(f.RunOne(cm_Marked, "edMember", "TRUE"), "");
    EXPECT_TRUE(f.Member->Marked());
    EXPECT_EQ(f.RunOne(cm_Marked, "edPlain", "TRUE"), "") << "other components: nothing";

    EXPECT_EQ(f.RunOne(static_cast<TStackCommand>(42), "edPlain", "x"),
              "Stack operation error. Form: frmTarget; Operation: Run; Command: Unknown; Component: EDPLAIN; Value: X");
    EXPECT_EQ(f.RunOne(static_cast<TStackCommand>(42), "nosuch", "x"),
              "Stack operation error. Form: frmTarget; Operation: doRun;  Component: NOSUCH");
}

TEST(CommandStack, EnabledVisibleAndEnabledAll)
{
    TStackForms f;
    EXPECT_EQ(f.RunOne(cm_Enabled, "edPlain", "FALSE"), "");
    EXPECT_FALSE(f.Edit->isEnabled());
    EXPECT_EQ(f.RunOne(cm_Enabled, "edMember", "FALSE"), "");
    EXPECT_FALSE(f.Member->Enabled());
    EXPECT_EQ(f.RunOne(cm_Visible, "btnGo", "FALSE"), "");
    EXPECT_TRUE(f.Button->isHidden());
    // A name that is no component: the doRun error before anything changes.
    EXPECT_EQ(f.RunOne(cm_EnabledAll, "nosuch", "TRUE"),
              "Stack operation error. Form: frmTarget; Operation: doRun;  Component: NOSUCH");
    EXPECT_FALSE(f.Edit->isEnabled());
    EXPECT_EQ(f.RunOne(cm_EnabledAll, "dsLocal", "TRUE"), "");
    EXPECT_TRUE(f.Edit->isEnabled());
    EXPECT_TRUE(f.Member->Enabled());
    EXPECT_EQ(f.RunOne(cm_EnabledAll, "edPlain", "FALSE"), "");
    for (QWidget* w : std::initializer_list<QWidget*>{f.Edit, f.Memo, f.Combo, f.Check, f.Grid, f.Pages})
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    EXPECT_FALSE(f.Member->Enabled());
    EXPECT_EQ(f.RunOne(cm_EnabledAll, "edPlain", "TRUE"), "");
    EXPECT_TRUE(f.Member->Enabled());
    EXPECT_TRUE(f.Member->isEnabled());
}

TEST(CommandStack, VisibleTabHidesAPageAndMovesOn)
{
    TStackForms f;
    EXPECT_EQ(f.RunOne(cm_VisibleTab, "pcPages", "2"), "");
    EXPECT_FALSE(f.Pages->Pages(2)->TabVisible());
    EXPECT_EQ(f.Pages->ActivePageIndex(), 3);
    // The last page's tab: wraps to the first page with a tab.
    EXPECT_EQ(f.RunOne(cm_VisibleTab, "pcPages", "3"), "");
    EXPECT_EQ(f.Pages->ActivePageIndex(), 0);
    const std::string tab = kPop + "cm_VisibleTab; Component: ";
    EXPECT_EQ(f.RunOne(cm_VisibleTab, "pcPages", "two"), tab + "PCPAGES; Value: TWO");
    EXPECT_EQ(f.RunOne(cm_VisibleTab, "pcPages", "4"), tab + "PCPAGES; Value: 4");
    EXPECT_EQ(f.RunOne(cm_VisibleTab, "pcPages", "-1"), tab + "PCPAGES; Value: -1");
    EXPECT_EQ(f.RunOne(cm_VisibleTab, "edPlain", "0"), tab + "EDPLAIN; Value: 0");
    // No other page keeps a tab: the search ends after one round.
    EXPECT_EQ(f.RunOne(cm_VisibleTab, "pcPages", "1"), "");
    EXPECT_EQ(f.Pages->ActivePageIndex(), 0);
    EXPECT_EQ(f.RunOne(cm_VisibleTab, "pcPages", "0"), "");
    for (int i = 0; i < 4; ++i)
        EXPECT_FALSE(f.Pages->Pages(i)->TabVisible());
}

TEST(CommandStack, ReturnReadsAComponentIntoTheSendingForm)
{
    TStackForms f;
    f.Check->SetChecked(true);
    EXPECT_EQ(f.RunOne(cm_Return, "chkActive", "edResult", rmReturn), "");
    EXPECT_EQ(f.Result->Text(), "TRUE");
    f.Check->SetChecked(false);
    EXPECT_EQ(f.RunOne(cm_Return, "chkActive", "edResult", rmReturn), "");
    EXPECT_EQ(f.Result->Text(), "FALSE");
    f.Manager->ReturnValue = std::string("12") + '\x02' + "Smith";
    EXPECT_EQ(f.RunOne(cm_Return, "Manager", "edSenderMember", rmReturn), "");
    EXPECT_EQ(f.SenderMember->GetValue(), std::string("12") + '\x02' + "Smith");
    f.Label->SetCaption("Lbl");
    EXPECT_EQ(f.RunOne(cm_Return, "lblName", "edResult", rmReturn), "");
    EXPECT_EQ(f.Result->Text(), "Lbl") << "the value read keeps its case";
    f.List->addItem("first");
    f.List->addItem("second");
    f.List->setCurrentRow(1);
    EXPECT_EQ(f.RunOne(cm_Return, "lbLines", "edResult", rmReturn), "");
    EXPECT_EQ(f.Result->Text(), "second");

    EXPECT_EQ(f.RunOne(cm_Return, "chkActive", "nosuch", rmReturn),
              "Stack operation error. Form: frmTarget; Operation: cm_Return;  Component: CHKACTIVE;Value: NOSUCH");
    EXPECT_EQ(f.RunOne(cm_Return, "chkActive", "gbSender", rmReturn),
              kPop + "cm_Return; compReturnTo: gbSender; Value: FALSE");
    EXPECT_EQ(f.RunOne(cm_Return, "gbBox", "edResult", rmReturn), kPop + "cm_Return; Component: GBBOX; Value: ");
}

TEST(CommandStack, RunModesAndOnce)
{
    TStackForms f;
    auto queue = [&] {
        aStack->InitStack(f.Sender.get());
        aStack->Write(cm_SetData, "edPlain", "one");
        aStack->Write(cm_Return, "edPlain", "edResult");
        aStack->Write(cm_SetData, "edMember", "two");
        aStack->GetSender();
    };
    queue();
    aStack->Run(f.Sender.get(), f.Target.get(), rmStandard, false);
    EXPECT_EQ(f.Edit->Text(), "ONE");
    EXPECT_EQ(f.Member->GetValue(), "TWO");
    EXPECT_EQ(f.Rows(f.Sender.get()), (std::vector<std::string>{"7:EDPLAIN:EDRESULT"}));
    EXPECT_EQ(f.Result->Text(), "");
    EXPECT_EQ(aStack->Filter(), "Sender = " + std::to_string(aStack->FormNumber(f.Sender.get())))
        << "the filter stays set";
    aStack->Run(f.Sender.get(), f.Target.get(), rmReturn, false);
    EXPECT_EQ(f.Result->Text(), "ONE");
    EXPECT_TRUE(f.Rows(f.Sender.get()).empty());

    queue();
    aStack->Run(f.Sender.get(), f.Target.get(), rmReturn, true);
    EXPECT_EQ(f.Rows(f.Sender.get()).size(), 3u) << "Once: the first row was skipped, nothing more";
    aStack->Run(f.Sender.get(), f.Target.get(), rmStandard, true);
    EXPECT_EQ(f.Rows(f.Sender.get()).size(), 2u);
    f.Edit->SetText("");
    f.Member->SetValue("");
    aStack->Run(f.Sender.get(), f.Target.get(), rmIgnore, false);
    EXPECT_TRUE(f.Rows(f.Sender.get()).empty());
    EXPECT_EQ(f.Member->GetValue(), "") << "dropped rows do nothing";
    aStack->Run(nullptr, f.Target.get(), rmIgnore, false); // no sender: nothing
}

TEST(CommandStack, AFailingRowKeepsItselfAndTheRowsAfterIt)
{
    TStackForms f;
    aStack->InitStack(f.Sender.get());
    aStack->Write(cm_SetData, "edPlain", "one");
    aStack->Write(cm_SetData, "nosuch", "two");
    aStack->Write(cm_SetData, "edMember", "three");
    aStack->GetSender();
    EXPECT_EQ(ErrorOf<EovnStack>([&] { aStack->Run(f.Sender.get(), f.Target.get(), rmStandard, false); }),
              "Stack operation error. Form: frmTarget; Operation: doRun;  Component: NOSUCH");
    EXPECT_EQ(f.Edit->Text(), "ONE");
    EXPECT_EQ(f.Member->GetValue(), "");
    EXPECT_EQ(f.Rows(f.Sender.get()), (std::vector<std::string>{"0:NOSUCH:TWO", "0:EDMEMBER:THREE"}));
}

TEST(CommandStack, ClearStackAndOtherSendersRows)
{
    TStackForms f;
    QWidget other;
    aStack->InitStack(f.Sender.get());
    aStack->Write(cm_SetData, "edPlain", "one");
    aStack->GetSender();
    aStack->InitStack(&other);
    aStack->Write(cm_SetData, "edPlain", "two");
    aStack->GetSender();
    aStack->Run(&other, f.Target.get(), rmStandard, false);
    EXPECT_EQ(f.Edit->Text(), "TWO") << "only the rows of the sender given";
    EXPECT_EQ(f.Rows(f.Sender.get()).size(), 1u);
    aStack->InitStack(&other);
    aStack->Write(cm_SetData, "edPlain", "three");
    aStack->GetSender();
    aStack->ClearStack(f.Sender.get());
    EXPECT_TRUE(f.Rows(f.Sender.get()).empty());
    EXPECT_EQ(f.Rows(&other).size(), 1u);
    aStack->ClearStack(nullptr);
    EXPECT_EQ(aStack->Filter(), "");
    EXPECT_TRUE(aStack->IsEmpty());
}

TEST(CommandStack, AFormThatGoesTakesItsRowsAndItsNumber)
{
    TStackForms f;
    auto gone = std::make_unique<QWidget>();
    const int number = aStack->FormNumber(gone.get());
    aStack->InitStack(gone.get());
    aStack->Write(cm_SetData, "edPlain", "late");
    aStack->Write(cm_Return, "edPlain", "edResult");
    gone.reset();
    EXPECT_FALSE(aStack->CheckInit()) << "the pending sending form reads as none";
    EXPECT_EQ(aStack->GetSender(), nullptr);
    aStack->SetFilter("Sender = " + std::to_string(number));
    aStack->First();
    EXPECT_TRUE(aStack->Eof()) << "its rows are dropped";
    EXPECT_EQ(aStack->FormOfNumber(number), nullptr);
    // A new form never takes the old number.
    QWidget next;
    EXPECT_GT(aStack->FormNumber(&next), number);
    EXPECT_EQ(aStack->FormNumber(&next), aStack->FormNumber(&next));
    EXPECT_EQ(aStack->FormNumber(nullptr), 0);
    // Rows that return into a form that went since: the missing-target error.
    auto sender = std::make_unique<QWidget>();
    aStack->InitStack(sender.get());
    aStack->Write(cm_Return, "edPlain", "edResult");
    aStack->GetSender();
    QWidget* raw = sender.get();
    const int senderNumber = aStack->FormNumber(raw);
    sender.reset();
    aStack->SetFilter("Sender = " + std::to_string(senderNumber));
    aStack->First();
    EXPECT_TRUE(aStack->Eof());
}

TEST(CommandStack, DropPlusTakesOnlyThePressesRows)
{
    TStackForms f;
    // A return still waiting from an earlier start of another applet.
    aStack->InitStack(f.Sender.get());
    aStack->Write(cm_Return, "Manager", "edResult");
    aStack->GetSender();
    // The filter shows another form's rows while this press writes.
    QWidget other;
    aStack->InitStack(&other);
    aStack->Write(cm_SetData, "edPlain", "x");
    aStack->GetSender();
    f.Rows(&other);
    aStack->InitStack(f.Sender.get());
    aStack->Write(cm_SetData, "Manager", "NAME");
    aStack->Write(cm_Return, "Manager", "edSenderMember");
    aStack->DropPlus();
    EXPECT_EQ(f.Rows(&other), (std::vector<std::string>{"0:EDPLAIN:X"}));
    EXPECT_FALSE(aStack->CheckInit());
    EXPECT_EQ(f.Rows(f.Sender.get()), (std::vector<std::string>{"7:MANAGER:EDRESULT"}));
}

// The stock controls: texts and states as forms and the command stack set
// them, the data-aware ones showing their field and writing a user's change
// into it (and refusing while read-only), the greyed text of disabled ones,
// and a form's parts by name.
#include "platform/DBStockControls.h"
#include "platform/FormParts.h"
#include "platform/StockControls.h"

#include "VectorDataSet.h"
#include "platform/DBCtrls.h"
#include "platform/Fields.h"
#include "platform/ListBox.h"
#include "support/GuiProbe.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>

#include <functional>
#include <memory>

namespace {

struct Record
{
    Record()
    {
        ds.FieldDefs().Add("ACTIVE", ftString, 1);
        ds.FieldDefs().Add("KIND", ftString, 20);
        ds.FieldDefs().Add("C_FACILITY", ftInteger);
        ds.AddRow({Variant(std::string("F")), Variant(std::string("Respite")), Variant(int32_t(2))});
        ds.Open();
        src.SetDataSet(&ds);
        list.FieldDefs().Add("COUNTER", ftInteger);
        list.FieldDefs().Add("NAME", ftString, 20);
        list.AddRow({Variant(int32_t(1)), Variant(std::string("Oak"))});
        list.AddRow({Variant(int32_t(2)), Variant(std::string("River"))});
        list.Open();
        listSrc.SetDataSet(&list);
    }
    TVectorDataSet ds;
    TDataSource src;
    TVectorDataSet list;
    TDataSource listSrc;
};

} // namespace

TEST(StockControls, TextsAndStates)
{
    TComboBox combo;
    combo.AddItem("A");
    combo.AddItem("B");
    combo.SetText("typed");
    EXPECT_EQ(combo.Text(), "typed") << "an editable box shows any text";
    combo.SetStyle(csDropDownList);
    combo.SetText("B");
    EXPECT_EQ(combo.ItemIndex(), 1);
    combo.SetText("none");
    EXPECT_EQ(combo.ItemIndex(), -1);
    combo.SetItemIndex(7);
    EXPECT_EQ(combo.ItemIndex(), -1);

    TMemo memo;
    memo.SetText("one\ntwo");
    EXPECT_EQ(memo.Text(), "one\ntwo");
    EXPECT_FALSE(memo.Modified());
    memo.SetReadOnly(true);
    EXPECT_TRUE(memo.ReadOnly());

    TCheckBox check;
    check.SetColor(0x00FF80);
    EXPECT_EQ(check.Color(), 0x00FF80);
    EXPECT_EQ(ColorFromQColor(check.palette().color(QPalette::Base)), 0x00FF80);
    TRadioButton radio;
    radio.Font().SetColor(clRed);
    radio.FontChanged();
    EXPECT_EQ(ColorFromQColor(radio.palette().color(QPalette::WindowText)), clRed);
}

TEST(StockControls, DisabledOnesShowTheStylesGreyText)
{
    struct Case
    {
        const char* Desc;
        QPalette::ColorRole Role;
        // Makes the control with the text "Ward" in black.
        std::function<std::unique_ptr<QWidget>()> Make;
    };
    const Case cases[] = {
        {"edit", QPalette::Text,
         [] {
             auto w = std::make_unique<TEdit>();
             w->SetText("Ward");
             return std::unique_ptr<QWidget>(std::move(w));
         }},
        {"mask edit", QPalette::Text,
         [] {
             auto w = std::make_unique<TMaskEdit>();
             w->SetText("Ward");
             return std::unique_ptr<QWidget>(std::move(w));
         }},
        {"data edit", QPalette::Text,
         [] {
             auto w = std::make_unique<TDBEdit>();
             w->SetText("Ward");
             return std::unique_ptr<QWidget>(std::move(w));
         }},
        {"data memo", QPalette::Text,
         [] {
             auto w = std::make_unique<TDBMemo>();
             w->Font().SetColor(clBlack);
             w->setPlainText("Ward");
             return std::unique_ptr<QWidget>(std::move(w));
         }},
        {"memo", QPalette::Text,
         [] {
             auto w = std::make_unique<TMemo>();
             w->Font().SetColor(clBlack);
             w->SetText("Ward");
             return std::unique_ptr<QWidget>(std::move(w));
         }},
        {"label", QPalette::WindowText,
         [] {
             auto w = std::make_unique<TLabel>();
             w->Font().SetColor(clBlack);
             w->SetCaption("Ward");
             return std::unique_ptr<QWidget>(std::move(w));
         }},
        {"list box", QPalette::Text,
         [] {
             auto w = std::make_unique<TListBox>();
             w->Font().SetColor(clBlack);
             w->addItem("Ward");
             return std::unique_ptr<QWidget>(std::move(w));
         }},
        {"radio button", QPalette::WindowText,
         [] {
             auto w = std::make_unique<TRadioButton>();
             w->setText("Ward");
             w->Font().SetColor(clBlack);
             w->FontChanged();
             return std::unique_ptr<QWidget>(std::move(w));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        std::unique_ptr<QWidget> widget = c.Make();
        widget->resize(120, 60);
        const QColor black(0, 0, 0);
        EXPECT_EQ(widget->palette().color(QPalette::Active, c.Role), black);
        EXPECT_EQ(widget->palette().color(QPalette::Inactive, c.Role), black);
        EXPECT_GT(DarkPixels(*widget), 0) << "enabled: the text in black";

        widget->setEnabled(false);
        const QColor grey = QApplication::palette(widget.get()).color(QPalette::Disabled, c.Role);
        EXPECT_EQ(widget->palette().color(QPalette::Disabled, c.Role).name().toStdString(),
                  grey.name().toStdString())
            << "the style's disabled text";
        EXPECT_NE(grey, black);
        EXPECT_EQ(DarkPixels(*widget), 0) << "disabled: no black text";

        // A colour set while disabled waits for the control to be enabled.
        if (auto* edit = dynamic_cast<TCustomEdit*>(widget.get())) {
            edit->Font().SetColor(clRed);
            EXPECT_EQ(widget->palette().color(QPalette::Disabled, c.Role).name().toStdString(),
                      grey.name().toStdString());
            widget->setEnabled(true);
            EXPECT_EQ(ColorFromQColor(widget->palette().color(QPalette::Active, c.Role)), clRed);
        }
    }
}

TEST(StockControls, DataAwareOnesShowAndWriteTheirField)
{
    Record r;
    TDBCheckBox check;
    check.SetDataSource(&r.src);
    check.SetDataField("ACTIVE");
    EXPECT_FALSE(check.Checked());
    check.click();
    EXPECT_EQ(r.ds.State(), dsEdit) << "the user's change puts the record into edit";
    EXPECT_EQ(r.ds.FieldByName("ACTIVE")->AsString(), "T");
    r.ds.Cancel();
    EXPECT_FALSE(check.Checked());
    check.SetReadOnly(true);
    check.click();
    EXPECT_EQ(r.ds.State(), dsBrowse);
    EXPECT_FALSE(check.Checked()) << "read-only: the field's state stays shown";

    TDBComboBox kind;
    kind.AddItem("Day care");
    kind.AddItem("Respite");
    kind.SetDataSource(&r.src);
    kind.SetDataField("KIND");
    EXPECT_EQ(kind.Text(), "Respite");
    kind.setCurrentIndex(0);
    EXPECT_EQ(r.ds.FieldByName("KIND")->AsString(), "Day care");
    r.ds.Cancel();
    kind.SetReadOnly(true);
    EXPECT_TRUE(kind.lineEdit()->isReadOnly());
    EXPECT_TRUE(kind.DropDownLocked());
    kind.setCurrentIndex(0);
    EXPECT_EQ(r.ds.State(), dsBrowse);

    TDBLookupComboBox facility;
    facility.KeyField = "COUNTER";
    facility.ListField = "NAME";
    facility.SetListSource(&r.listSrc);
    facility.SetDataSource(&r.src);
    facility.SetDataField("C_FACILITY");
    ASSERT_EQ(facility.ItemCount(), 2);
    EXPECT_EQ(facility.DisplayText(), "River");
    facility.activated(0);
    EXPECT_EQ(r.ds.FieldByName("C_FACILITY")->AsInteger(), 1);
    EXPECT_EQ(facility.DisplayText(), "Oak");
}

TEST(FormParts, WidgetsThenComponentsByNameAndTheRootGoesWithTheForm)
{
    auto form = std::make_unique<QWidget>();
    auto* edit = new TEdit(form.get());
    edit->setObjectName("edName");
    auto* inner = new QWidget(edit);
    inner->setObjectName("deep");
    TComponent& root = FormComponents(form.get());
    EXPECT_EQ(&FormComponents(form.get()), &root) << "made once";
    auto* data = new TVectorDataSet(&root);
    data->SetName("dsPeople");
    EXPECT_EQ(FindFormPart(form.get(), "EDNAME").Object, edit);
    EXPECT_EQ(FindFormPart(form.get(), "Deep").Object, inner);
    EXPECT_EQ(FindFormPart(form.get(), "dspeople").Component, data);
    EXPECT_FALSE(FindFormPart(form.get(), "nothing"));
    EXPECT_FALSE(FindFormPart(form.get(), ""));
    EXPECT_FALSE(FindFormPart(nullptr, "edName"));
    EXPECT_EQ(FormOfComponent(data), form.get());
    EXPECT_TRUE(IsFormComponentRoot(&root));
    EXPECT_FALSE(IsFormComponentRoot(data));
    int parts = 0;
    ForEachFormPart(form.get(), [&](const TFormPart&) { ++parts; });
    EXPECT_GE(parts, 3);
    // The form a control lies in: the nearest marked one, else its window.
    QWidget host;
    form->setParent(&host);
    EXPECT_EQ(ParentForm(edit), &host);
    MarkAsForm(form.get());
    EXPECT_EQ(ParentForm(edit), form.get());
    EXPECT_EQ(ParentForm(nullptr), nullptr);
    form->setParent(nullptr);
    form.reset(); // takes the dataset with it (ASan reports it otherwise)
}

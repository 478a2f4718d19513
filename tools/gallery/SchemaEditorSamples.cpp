// The Advanced Filter dialog embedded in the gallery's window, with two OR
// groups of conditions and a sort entered through its controls, and a second
// picture of the statement they make.

#include "tools/gallery/GallerySamples.h"

#include "Components/Nembra/NembraDataSet.h"
#include "ui/SchemaEditor.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include <tuple>

namespace {

// The query the dialog filters: residents with a few kinds of fields.
struct ResidentQuery
{
    ResidentQuery()
    {
        for (auto [name, type, size] :
             {std::tuple{"RESIDENT_ID", ftInteger, 0}, {"LAST_NAME", ftString, 40}, {"FIRST_NAME", ftString, 30},
              {"ROOM", ftString, 8}, {"ADMITTED", ftDateTime, 0}, {"BALANCE", ftFloat, 0}, {"NOTES", ftMemo, 0}})
            Ds.FieldDefs().Add(name, type, size);
        Ds.Open();
        Schema.Select().SetText("RESIDENT_ID, LAST_NAME, FIRST_NAME, ROOM, ADMITTED, BALANCE");
        Schema.From().SetText("TBL_RESIDENT");
        Schema.OrderBy().SetText("LAST_NAME");
    }
    TNembraDataSet Ds;
    TSQLQuerySchema Schema{&Ds};
};

QWidget* MakeSchemaEditor(QWidget* parent)
{
    static ResidentQuery query;
    auto* dialog = new TfrmSchemaEditor(parent, "LAST_NAME", &query.Schema);
    dialog->setWindowFlags(Qt::Widget);
    return dialog;
}

void Condition(TfrmSchemaEditor& dialog, const char* field, const char* relation, const char* value, bool newGroup)
{
    dialog.FieldList()->setCurrentText(field);
    dialog.RelationList()->setCurrentText(relation);
    dialog.ValueEdit()->setText(value);
    dialog.NewGroupBox()->setChecked(newGroup);
    dialog.AddButton()->click();
}

std::vector<std::pair<std::string, QImage>> FillSchemaEditor(QWidget* control)
{
    auto& dialog = *static_cast<TfrmSchemaEditor*>(control);
    dialog.move(0, 0); // centred on the screen as a window; here it fills the gallery's
    Condition(dialog, "LAST_NAME", "Like", "smi", false);
    Condition(dialog, "BALANCE", ">", "100", false);
    Condition(dialog, "ROOM", "=", "B12", true);
    dialog.SortFieldList()->setCurrentText("ADMITTED");
    dialog.OrderList()->setCurrentText("Descending");
    dialog.SortAddButton()->click();
    dialog.SQLButton()->click();
    QImage statement = dialog.grab().toImage();
    dialog.SQLButton()->click();
    return {{"schema-editor-sql", statement}};
}

const TGalleryRegistration s_schemaEditor({"schema-editor", QSize(688, 552), MakeSchemaEditor, FillSchemaEditor});

} // namespace

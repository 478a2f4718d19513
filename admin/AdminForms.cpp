#include "admin/AdminForms.h"

#include "Components/Nembra/NembraDBDataSets.h"
#include "platform/DataSet.h"
#include "platform/Fields.h"
#include "platform/Forms.h"
#include "platform/StringList.h"

void SetLines(TStrings& Strings, const TLines& Lines)
{
    Strings.BeginUpdate();
    Strings.Clear();
    for (const std::string& line : Lines)
        Strings.Add(line);
    Strings.EndUpdate();
}

void SetSchema(TNembraQuery& Query, const TLines& Select, const TLines& From, const TLines& Where,
               const std::string& OrderBy)
{
    TSQLQuerySchema& schema = Query.SQLSchema();
    schema.BeginUpdate();
    SetLines(schema.Select(), Select);
    SetLines(schema.From(), From);
    SetLines(schema.Where(), Where);
    SetLines(schema.OrderBy(), {OrderBy});
    schema.EndUpdate();
}

void SetSQLText(TNembraQuery& Query, const TLines& Lines)
{
    Query.SetUseSQL(true);
    SetLines(Query.SQL(), Lines);
}

void ShowColumns(TDataSet& DataSet, const std::vector<std::pair<std::string, std::string>>& Columns)
{
    for (int i = 0; i < DataSet.Fields().Count(); ++i)
        DataSet.Fields().Fields(i)->SetVisible(false);
    int index = 0;
    for (const auto& [name, caption] : Columns)
        if (TField* field = DataSet.FindField(name)) {
            field->SetIndex(index++);
            field->SetDisplayLabel(caption);
            field->SetVisible(true);
        }
}

std::string FieldText(const TDataSet& DataSet, const std::string& Name)
{
    TField* field = DataSet.FindField(Name);
    return field ? field->AsString() : std::string();
}

void SetFields(TDataSet& DataSet, const TFieldValues& Values)
{
    for (const auto& [name, value] : Values)
        DataSet.FieldByName(name)->SetAsString(value);
}

void Guarded(const std::function<void()>& Fn)
{
    try {
        Fn();
    } catch (const EAbort&) {
        // A silent end of the action.
    } catch (...) {
        ShowCurrentException();
    }
}

QPushButton* MakeAction(QWidget* Parent, const std::string& Caption, const std::function<void()>& Fn)
{
    auto* button = new QPushButton(QString::fromStdString(Caption), Parent);
    button->setAutoDefault(false);
    if (Caption == "..." || Caption == "?")
        button->setFixedWidth(25);
    QObject::connect(button, &QPushButton::clicked, Parent, [Fn] { Guarded(Fn); });
    return button;
}

void SetTag(QWidget* Control, int Tag)
{
    Control->setProperty("Tag", Tag);
}

int Tag(const QWidget* Control)
{
    return Control->property("Tag").toInt();
}

void SetDataControlsMode(const std::vector<QWidget*>& Controls, bool Editing)
{
    for (QWidget* control : Controls)
        control->setEnabled(Editing && Tag(control) != LockedTag);
}

void TLoadOnShowDialog::FormShow()
{
    if (m_shown)
        return;
    m_shown = true;
    Load();
}

void TLoadOnShowDialog::showEvent(QShowEvent* Event)
{
    TDialogForm::showEvent(Event);
    if (!m_shown && CanLoad())
        Guarded([this] { FormShow(); });
}

TAdminDialog::TAdminDialog(TAdminContext Context, QWidget* Parent)
    : TLoadOnShowDialog(Parent), m_context(std::move(Context))
{
}

#include "platform/DBStockControls.h"

#include "platform/DataSet.h"
#include "platform/Fields.h"
#include "platform/ScopedFlag.h"

#include <QLineEdit>

// ---------------------------------------------------------------------------
// TDBCheckBox

TDBCheckBox::TDBCheckBox(QWidget* Parent) : TCheckBox(Parent)
{
    m_link.SetControl(this);
    m_link.OnDataChange = [this](TFieldDataLink*) { DataChange(); };
    connect(this, &QCheckBox::toggled, this, [this](bool Checked) { UserToggled(Checked); });
}

TDBCheckBox::TDBCheckBox(const std::string& Caption, QWidget* Parent) : TDBCheckBox(Parent)
{
    SetCaption(Caption);
}

TDBCheckBox::~TDBCheckBox() { m_link.OnDataChange = nullptr; }

void TDBCheckBox::SetChecked(bool Value) { setChecked(Value); }

void TDBCheckBox::DataChange()
{
    TField* field = m_link.Field();
    const bool checked = field && !field->IsNull() && SameText(field->AsString(), ValueChecked);
    TScopedFlag showing(m_showing);
    setChecked(checked);
}

void TDBCheckBox::UserToggled(bool Checked)
{
    if (m_showing || !m_link.Field())
        return;
    if (m_link.ReadOnly() || !m_link.Edit()) {
        DataChange();
        return;
    }
    m_link.Field()->SetAsString(Checked ? ValueChecked : ValueUnchecked);
    TScopedFlag showing(m_showing);
    setChecked(Checked);
}

// ---------------------------------------------------------------------------
// TDBComboBox

TDBComboBox::TDBComboBox(QWidget* Parent) : TComboBox(Parent)
{
    m_link.SetControl(this);
    m_link.OnDataChange = [this](TFieldDataLink*) { DataChange(); };
    connect(this, &QComboBox::currentTextChanged, this, [this](const QString&) { UserChanged(); });
}

TDBComboBox::~TDBComboBox() { m_link.OnDataChange = nullptr; }

void TDBComboBox::SetItems(const std::vector<std::string>& Items)
{
    {
        TScopedFlag showing(m_showing);
        ClearItems();
        for (const std::string& item : Items)
            AddItem(item);
    }
    DataChange();
}

void TDBComboBox::RemoveItem(const std::string& Text)
{
    const int index = findText(QString::fromStdString(Text));
    if (index < 0)
        return;
    TScopedFlag showing(m_showing);
    removeItem(index);
}

void TDBComboBox::SetReadOnly(bool Value)
{
    m_link.SetReadOnly(Value);
    if (lineEdit())
        lineEdit()->setReadOnly(Value);
    SetDropDownLocked(Value);
}

void TDBComboBox::DataChange()
{
    TField* field = m_link.Field();
    TScopedFlag showing(m_showing);
    SetText(field ? field->AsString() : std::string());
}

void TDBComboBox::UserChanged()
{
    if (m_showing || !m_link.Field() || m_link.ReadOnly())
        return;
    // Going into edit state shows the field again: the user's text first.
    const std::string text = Text();
    if (!m_link.Edit())
        return;
    m_link.Field()->SetAsString(text);
    {
        TScopedFlag showing(m_showing);
        SetText(text);
    }
    if (OnClick)
        OnClick(this);
}

// ---------------------------------------------------------------------------
// TDBLookupComboBox

TDBLookupComboBox::TDBLookupComboBox(QWidget* Parent) : TComboBox(Parent)
{
    SetStyle(csDropDownList);
    m_link.SetControl(this);
    m_link.OnDataChange = [this](TFieldDataLink*) { DataChange(); };
    connect(this, &QComboBox::activated, this, [this](int Index) { UserChose(Index); });
}

TDBLookupComboBox::~TDBLookupComboBox() { m_link.OnDataChange = nullptr; }

void TDBLookupComboBox::SetListSource(TDataSource* Value)
{
    m_listSource = Value;
    ReloadList();
}

void TDBLookupComboBox::SetReadOnly(bool Value)
{
    m_link.SetReadOnly(Value);
    SetDropDownLocked(Value);
}

void TDBLookupComboBox::ReloadList()
{
    TScopedFlag showing(m_showing);
    clear();
    TDataSet* list = m_listSource ? m_listSource->DataSet() : nullptr;
    if (list && list->Active() && !KeyField.empty() && !ListField.empty()) {
        TBookmark mark = list->GetBookmark();
        list->DisableControls();
        for (list->First(); !list->Eof(); list->Next())
            addItem(QString::fromStdString(list->FieldByName(ListField)->AsString()),
                    QString::fromStdString(list->FieldByName(KeyField)->AsString()));
        if (!mark.empty())
            list->GotoBookmark(mark);
        list->EnableControls();
    }
    DataChange();
}

void TDBLookupComboBox::DataChange()
{
    TField* field = m_link.Field();
    TScopedFlag showing(m_showing);
    setCurrentIndex(field ? findData(QString::fromStdString(field->AsString())) : -1);
}

void TDBLookupComboBox::UserChose(int Index)
{
    if (m_showing || !m_link.Field() || m_link.ReadOnly() || Index < 0)
        return;
    const std::string key = itemData(Index).toString().toStdString();
    if (!m_link.Edit())
        return;
    m_link.Field()->SetAsString(key);
}

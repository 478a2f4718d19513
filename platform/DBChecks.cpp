#include "platform/DBChecks.h"

#include "platform/DataSet.h"
#include "platform/Fields.h"
#include "platform/Forms.h"
#include "platform/ScopedFlag.h"

TDBCheckBox::TDBCheckBox(const std::string& Caption, QWidget* Parent)
    : QCheckBox(QString::fromStdString(Caption), Parent)
{
    m_link.SetControl(this);
    m_link.OnDataChange = [this](TFieldDataLink*) { DataChange(); };
    m_link.OnActiveChange = [this](TFieldDataLink*) { DataChange(); };
    connect(this, &QCheckBox::clicked, this, [this](bool checked) { Clicked(checked); });
}

TDBCheckBox::~TDBCheckBox()
{
    m_link.OnDataChange = nullptr;
    m_link.OnActiveChange = nullptr;
    m_link.SetDataSource(nullptr);
}

void TDBCheckBox::DataChange()
{
    TScopedFlag showing(m_showing);
    TField* field = m_link.Field();
    setChecked(field && m_link.Active() && field->AsString() == ValueChecked);
}

void TDBCheckBox::Clicked(bool Checked)
{
    if (m_showing)
        return;
    TField* field = m_link.Field();
    bool editing = false;
    try {
        editing = field && m_link.Edit();
    } catch (...) {
        ShowCurrentException();
    }
    if (!editing) {
        DataChange();
        return;
    }
    try {
        field->SetAsString(Checked ? ValueChecked : ValueUnchecked);
    } catch (...) {
        ShowCurrentException();
        DataChange();
    }
}

TDBComboBox::TDBComboBox(QWidget* Parent) : QComboBox(Parent)
{
    m_link.SetControl(this);
    m_link.OnDataChange = [this](TFieldDataLink*) { DataChange(); };
    m_link.OnActiveChange = [this](TFieldDataLink*) { DataChange(); };
    connect(this, qOverload<int>(&QComboBox::activated), this, [this](int index) { Chosen(index); });
}

TDBComboBox::~TDBComboBox()
{
    m_link.OnDataChange = nullptr;
    m_link.OnActiveChange = nullptr;
    m_link.SetDataSource(nullptr);
}

void TDBComboBox::SetItems(const std::vector<std::string>& Items)
{
    TScopedFlag showing(m_showing);
    clear();
    for (const std::string& item : Items)
        addItem(QString::fromStdString(item));
    DataChange();
}

void TDBComboBox::RemoveItem(const std::string& Text)
{
    const int index = findText(QString::fromStdString(Text));
    if (index >= 0) {
        TScopedFlag showing(m_showing);
        removeItem(index);
    }
}

void TDBComboBox::DataChange()
{
    TScopedFlag showing(m_showing);
    TField* field = m_link.Field();
    const QString text = field && m_link.Active() ? QString::fromStdString(field->AsString()) : QString();
    setCurrentIndex(findText(text));
}

void TDBComboBox::Chosen(int Index)
{
    if (m_showing)
        return;
    TField* field = m_link.Field();
    if (!field || Index < 0 || !m_link.Edit()) {
        DataChange();
        return;
    }
    try {
        field->SetAsString(itemText(Index).toStdString());
        if (OnClick)
            OnClick(this);
    } catch (...) {
        ShowCurrentException();
    }
}

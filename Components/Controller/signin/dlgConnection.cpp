#include "Components/Controller/signin/dlgConnection.h"

#include "Components/Controller/mainwindow/OrvaneBrowser4.h"
#include "Components/Controller/ovnController.h"
#include "Components/Nembra/ovnControllerUtils.h"
#include "platform/SysUtils.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// Focuses the field and raises the reason it cannot be taken.
[[noreturn]] void Refuse(QLineEdit* Field, const char* Text)
{
    Field->setFocus();
    throw Exception(Text);
}

} // namespace

TdlgConnection::TdlgConnection(TovnConnections& Connections, TovnConnectionItem* Item, QWidget* parent)
    : TDialogForm(parent), m_connections(Connections), m_item(Item)
{
    setObjectName("dlgConnection");
    setWindowTitle(QStringLiteral("Database Connection"));
    SetPosition(poScreenCenter);

    m_edtName = new QLineEdit(this);
    m_edtName->setObjectName("edtName");
    m_edtURL = new QLineEdit(this);
    m_edtURL->setObjectName("edtURL");
    m_edtURL->setMinimumWidth(300);
    m_cbxDefault = new QCheckBox(QStringLiteral("Set as Default Connection"), this);
    m_cbxDefault->setObjectName("cbxDefault");
    m_btnOK = MakeButton("OK", mrOk, true);
    QPushButton* cancel = MakeButton("Cancel", mrCancel, false, true);

    auto* fields = new QFormLayout;
    fields->addRow(QStringLiteral("Name:"), m_edtName);
    fields->addRow(QStringLiteral("URL:"), m_edtURL);
    fields->addRow(QString(), m_cbxDefault);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addLayout(MakeButtonRow({m_btnOK, cancel}));
    layout->setSizeConstraint(QLayout::SetFixedSize);

    if (m_item) {
        m_edtName->setText(QString::fromStdString(m_item->Connection()));
        m_edtURL->setText(QString::fromStdString(m_item->URL()));
        m_cbxDefault->setChecked(m_item->Default());
    }
    m_edtName->setFocus();
}

TdlgConnection::~TdlgConnection() = default;

TovnConnectionItem* TdlgConnection::Execute(TovnConnections& Connections, TovnConnectionItem* Item)
{
    TdlgConnection dialog(Connections, Item, ApplicationMainForm());
    if (dialog.ShowModal() != mrOk)
        return nullptr;
    return dialog.Item();
}

void TdlgConnection::CloseQuery(bool& CanClose)
{
    if (ModalResult() == mrOk)
        CheckAndStore();
}

void TdlgConnection::CheckAndStore()
{
    const std::string name = TrimmedText(m_edtName);
    const std::string url = TrimmedText(m_edtURL);
    if (name.empty())
        Refuse(m_edtName, "Please specify a valid connection name.");
    if (url.empty())
        Refuse(m_edtURL, "Please specify a valid connection parameter.");
    // Every other entry counts, not only the first of that name: a list
    // read from an edited file may hold the name twice already.
    for (int i = 0; i < m_connections.Count(); ++i) {
        const TovnConnectionItem* other = m_connections.GetItem(i);
        if (other != m_item && SameText(other->Connection(), name))
            Refuse(m_edtName, "Duplicate connection name.");
    }
    if (!m_item)
        m_item = m_connections.Add();
    m_item->SetConnection(name);
    m_item->SetURL(url);
    m_item->SetDefault(m_cbxDefault->isChecked());
}

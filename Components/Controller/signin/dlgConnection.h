#pragma once
// The connection editor `TdlgConnection` ("Database Connection"): the name,
// address and default flag of one entry of a connection list.
//
// OK checks, in order, each focusing its field: a name ("Please specify a
// valid connection name."), an address ("Please specify a valid connection
// parameter."), and that no other entry has the name, ignoring case
// ("Duplicate connection name."). Then a new entry is added to the list and
// takes the trimmed name and address and the default flag (True makes it
// the list's only default). A refused OK shows its reason in the standard
// error box and keeps the dialog open. The list is not saved here: the
// caller saves the settings file.
//
// User-interface thread only.

#include "platform/Forms.h"

#include <string>

class QCheckBox;
class QLineEdit;
class QPushButton;
class TovnConnectionItem;
class TovnConnections;

class TdlgConnection : public TDialogForm
{
  public:
    // Edits Item of Connections (null: a new entry).
    TdlgConnection(TovnConnections& Connections, TovnConnectionItem* Item, QWidget* parent = nullptr);
    ~TdlgConnection() override;
    std::string ClassName() const override { return "TdlgConnection"; }

    // Shows the editor over the main window; answers the edited or new
    // entry on OK, null on Cancel.
    static TovnConnectionItem* Execute(TovnConnections& Connections, TovnConnectionItem* Item);

    // The entry edited (the new one once OK added it); null before.
    TovnConnectionItem* Item() const { return m_item; }

    QLineEdit* edtName() const { return m_edtName; }
    QLineEdit* edtURL() const { return m_edtURL; }
    QCheckBox* cbxDefault() const { return m_cbxDefault; }
    QPushButton* btnOK() const { return m_btnOK; }

  protected:
    void CloseQuery(bool& CanClose) override;

  private:
    void CheckAndStore();

    TovnConnections& m_connections;
    TovnConnectionItem* m_item;
    QLineEdit* m_edtName = nullptr;
    QLineEdit* m_edtURL = nullptr;
    QCheckBox* m_cbxDefault = nullptr;
    QPushButton* m_btnOK = nullptr;
};

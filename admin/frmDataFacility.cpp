#include "admin/frmDataFacility.h"

#include "platform/DBCtrls.h"
#include "platform/DBStockControls.h"

#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>

TfrmDataFacility::TfrmDataFacility(TAdminContext Context, QWidget* Parent)
    : TMasterRecordDialog(std::move(Context), TMasterTable::Facility, Parent)
{
    setWindowTitle("Facility Data");
    edtFacility = AddEdit("FACILITY");
    edtDescription = AddEdit("DESCRIPTION");
    edtAddress1 = AddEdit("ADDRESS1");
    edtAddress2 = AddEdit("ADDRESS2");
    edtCity = AddEdit("CITY");
    edtState = AddEdit("STATE");
    edtState->SetCharCase(ecUpperCase);
    edtZip = AddEdit("ZIP");
    edtPhone1 = AddEdit("PHONE1");
    edtPhone2 = AddEdit("PHONE2");
    edtFax = AddEdit("FAX");
    edtContact1 = AddEdit("CONTACT1");
    edtContact2 = AddEdit("CONTACT2");

    auto* form = new QGridLayout;
    auto row = [&](int r, int c, const char* caption, QWidget* w) {
        form->addWidget(new QLabel(caption, this), r, c);
        form->addWidget(w, r, c + 1);
    };
    row(0, 0, "Facility:", edtFacility);
    row(1, 0, "Description:", edtDescription);
    row(2, 0, "Address 1:", edtAddress1);
    row(3, 0, "Address 2:", edtAddress2);
    row(4, 0, "City:", edtCity);
    row(5, 0, "State:", edtState);
    row(6, 0, "Zip:", edtZip);
    row(0, 2, "Phone 1:", edtPhone1);
    row(1, 2, "Phone 2:", edtPhone2);
    row(2, 2, "Fax:", edtFax);
    row(3, 2, "Contact 1:", edtContact1);
    row(4, 2, "Contact 2:", edtContact2);
    form->addWidget(chkCU, 5, 3);
    form->setColumnStretch(1, 1);
    form->setColumnStretch(3, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(ButtonRow());
}

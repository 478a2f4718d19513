#include "admin/frmDataFacility.h"

#include "platform/DBStockControls.h"

#include <QGridLayout>

TfrmDataFacility::TfrmDataFacility(TAdminContext Context, QWidget* Parent)
    : TAddressRecordDialog(std::move(Context), TMasterTable::Facility, "Facility:", "FACILITY", Parent)
{
    setWindowTitle("Facility Data");
    edtFacility = NameEdit();
    Grid().addWidget(chkCU, 5, 3);
    FinishLayout();
}

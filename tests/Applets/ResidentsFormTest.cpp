// The sample library's "Residents" form, loaded from the local server as the
// client loads applets: its controls show the first resident, the facility
// is picked in the lookup combo's window, and posting writes the resident's
// own table only.
#include "AppletServerTesting.h"

#include "Components/Controller/LibController.h"
#include "Components/Controller/applets/AppContainer.h"
#include "platform/DataSet.h"
#include "platform/Fields.h"
#include "ui/LookupFormDBCombo.h"
#include "ui/ovnButtons.h"
#include "ui/ovnDBCombo.h"
#include "ui/ovnDBEdit.h"
#include "ui/ovnDBLookupCombo.h"
#include "ui/ovnDBMemo.h"
#include "ui/ovnDbRadio.h"

#include <QPushButton>

namespace {

using ResidentsFormTest = TAppletServerTest;

TEST_F(ResidentsFormTest, TheFormShowsAResidentAndPostsAPickedFacilityToTheResidentsTable)
{
    // The data database the forms read, as a database sign-in opens it.
    m_window->OpenDataDatabase("SAMPLES", 50);
    ASSERT_TRUE(Launch("SAMPLE_RESIDENTS", 0));
    Settle();
    ASSERT_EQ(m_view->Containers().size(), 1u);
    TovnApplet* applet = m_view->Containers()[0]->GetTopApplet();
    ASSERT_NE(applet, nullptr);
    QWidget* form = applet->MainForm.data();
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->objectName(), "ResidentsForm");
    auto* name = form->findChild<TovnDBEdit*>("edtName");
    auto* facility = form->findChild<TovnDBLookupCombo*>("cboFacility");
    auto* admission = form->findChild<TovnDBCombo*>("cboAdmission");
    auto* current = form->findChild<TovnDBRadio*>("rdoCurrentUse");
    auto* notes = form->findChild<TovnDBMemo*>("memNotes");
    auto* edit = form->findChild<QPushButton*>("btnEdit");
    auto* post = form->findChild<QPushButton*>("btnPost");
    ASSERT_TRUE(name && facility && admission && current && notes && edit && post);
    EXPECT_EQ(LabelText(form, "lblState"), "Browsing");

    EXPECT_EQ(name->Text(), "Agnes Miller");
    EXPECT_EQ(facility->KeyText(), "1");
    EXPECT_EQ(facility->DisplayEdit().Text(), "Oak Grove Care Home");
    EXPECT_EQ(facility->GetValue(), std::string("1\x02Oak Grove Care Home"));
    EXPECT_EQ(admission->LookupTool(), TLookupTool::ltCalendarDate);
    EXPECT_TRUE(current->CheckedLeft());
    EXPECT_EQ(notes->Memo().Text(), "Prefers tea in the afternoon.");
    // No manager set Applet: the plus buttons stay hidden.
    EXPECT_EQ(facility->Applet, nullptr);
    EXPECT_FALSE(facility->PlusButton().isVisibleTo(facility));
    EXPECT_FALSE(admission->PlusButton().isVisibleTo(admission));
    EXPECT_TRUE(facility->LookupButton().isVisibleTo(facility));

    edit->click();
    EXPECT_EQ(LabelText(form, "lblState"), "Editing");
    name->SetValue("Agnes M. Miller");
    auto shown = WhenModal<TfrmDBCombo>([](TfrmDBCombo& w) {
        TDataSet* rows = w.WindowDataSet();
        ASSERT_NE(rows, nullptr);
        for (rows->First(); !rows->Eof(); rows->Next())
            if (rows->FieldByName("FACILITY_NAME")->AsString() == "Riverside Residence")
                break;
        w.btnSelect->click();
    });
    facility->Lookup();
    ASSERT_TRUE(*shown);
    EXPECT_EQ(facility->GetValue(), std::string("2\x02Riverside Residence"));
    post->click();
    EXPECT_EQ(LabelText(form, "lblState"), "Browsing");

    EXPECT_EQ(VarToStr(LibController::LookupValue("SELECT C_FACILITY FROM TBL_RESIDENT WHERE COUNTER = 1")),
              "2");
    EXPECT_EQ(
        VarToStr(LibController::LookupValue("SELECT RESIDENT_NAME FROM TBL_RESIDENT WHERE COUNTER = 1")),
        "Agnes M. Miller");
    EXPECT_EQ(
        VarToStr(LibController::LookupValue("SELECT FACILITY_NAME FROM TBL_FACILITY WHERE COUNTER = 1")),
        "Oak Grove Care Home")
        << "the shown facility name is not written back";
    ASSERT_TRUE(applet->Close(false));
    Settle();
}

} // namespace

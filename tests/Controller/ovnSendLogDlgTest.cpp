#include "Components/Controller/ovnSendLogDlg.h"

#include "support/BoundaryErrors.h"
#include "support/DialogScript.h"

#include <QDateEdit>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

struct TUpload
{
    TDateTime Date;
    int32_t Days;
};

} // namespace

TEST(SendLogDialog, SubmitUploadsAndSaysSoUntilClosed)
{
    std::vector<TUpload> uploads;
    bool labelHidden = false;
    bool closedAfterSubmit = true;
    const auto shown = WhenModal<TovnSendLogDlg>([&](TovnSendLogDlg& shownDialog) {
        TovnSendLogDlg* dialog = &shownDialog;
        EXPECT_EQ(dialog->windowTitle().toStdString(), "Submit Log");
        labelHidden = dialog->lblResult()->isHidden();
        EXPECT_EQ(dialog->LogDays(), 1) << "days below 1 show 1";
        EXPECT_EQ(dialog->udDays()->minimum(), 1);
        EXPECT_EQ(dialog->udDays()->maximum(), 100);
        EXPECT_FALSE(dialog->udDays()->wrapping());
        dialog->udDays()->setValue(3);
        Keys::Enter(*dialog->udDays());
        closedAfterSubmit = !dialog->isVisible();
        EXPECT_TRUE(dialog->lblResult()->isVisible());
        EXPECT_EQ(dialog->lblResult()->text().toStdString(), "The log has been submitted succesfully");
        EXPECT_FALSE(dialog->udDays()->isEnabled());
        EXPECT_FALSE(dialog->dtpDate()->isEnabled());
        EXPECT_FALSE(dialog->btnSubmit()->isEnabled());
        EXPECT_TRUE(dialog->btnClose()->isEnabled());
        dialog->btnClose()->click();
        EXPECT_EQ(dialog->ModalResult(), mrCancel);
    });
    const TDateTime march5 = EncodeDate(2024, 3, 5);
    TovnSendLogDlg::Execute(march5, 0, [&](TDateTime Date, int32_t Days) { uploads.push_back({Date, Days}); });
    EXPECT_TRUE(*shown);
    EXPECT_TRUE(labelHidden);
    EXPECT_FALSE(closedAfterSubmit);
    ASSERT_EQ(uploads.size(), 1u);
    EXPECT_EQ(uploads[0].Date, march5);
    EXPECT_EQ(uploads[0].Days, 3);
}

TEST(SendLogDialog, AFailedUploadGoesToTheErrorBoundaryAndLeavesTheDialogAsItWas)
{
    TBoundaryErrors errors;
    TovnSendLogDlg dialog;
    int calls = 0;
    dialog.Setup(EncodeDate(2024, 3, 5), 7, [&](TDateTime, int32_t) {
        if (++calls == 1)
            throw Exception("Unable to connect to server");
    });
    dialog.show();
    dialog.btnSubmit()->click();
    ASSERT_EQ(errors.Reports.size(), 1u);
    EXPECT_EQ(errors.Reports[0], "TovnSendLogDlg: Exception: Unable to connect to server");
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(dialog.lblResult()->isHidden());
    EXPECT_TRUE(dialog.btnSubmit()->isEnabled());
    EXPECT_TRUE(dialog.udDays()->isEnabled());
    EXPECT_EQ(dialog.LogDays(), 7);
    // Another try succeeds.
    dialog.btnSubmit()->click();
    EXPECT_EQ(calls, 2);
    EXPECT_FALSE(dialog.lblResult()->isHidden());
}

TEST(SendLogDialog, ShowsItsTextsAndTheGivenValues)
{
    TovnSendLogDlg dialog;
    EXPECT_EQ(dialog.Position(), poMainFormCenter);
    dialog.Setup(EncodeDate(2024, 3, 5), 12, nullptr);
    EXPECT_EQ(dialog.dtpDate()->date(), QDate(2024, 3, 5));
    EXPECT_EQ(dialog.LogDate(), EncodeDate(2024, 3, 5));
    EXPECT_EQ(dialog.LogDays(), 12);
    EXPECT_TRUE(dialog.lblResult()->isHidden());
    EXPECT_TRUE(dialog.lblResult()->font().bold());
    EXPECT_TRUE(dialog.lblResult()->alignment() & Qt::AlignHCenter);
    EXPECT_EQ(dialog.btnSubmit()->text().toStdString(), "&Submit");
    EXPECT_TRUE(dialog.btnSubmit()->isDefault());
    EXPECT_EQ(dialog.btnClose()->text().toStdString(), "Close");

    std::vector<std::string> labels;
    for (const QLabel* label : dialog.findChildren<QLabel*>())
        if (label != dialog.lblResult())
            labels.push_back(label->text().toStdString());
    for (const char* text : {"Submit log for", "Log goes back ", "day(s)"})
        EXPECT_NE(std::find(labels.begin(), labels.end(), text), labels.end()) << text;

    // Days below 1 show 1.
    for (int days : {0, -5}) {
        dialog.Setup(EncodeDate(2024, 3, 5), days, nullptr);
        EXPECT_EQ(dialog.LogDays(), 1) << days;
    }
}

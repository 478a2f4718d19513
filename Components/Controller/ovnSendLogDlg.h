#pragma once
// The "Submit Log" dialog `TovnSendLogDlg`: the last day and the number of
// days of the daily logs to send, and "&Submit", which hands both to the
// upload callback (the controller's DoSendLog).
//
// After an upload the dialog says so ("The log has been submitted
// succesfully") and its choices and "&Submit" are disabled; it stays open
// until "Close". An upload that fails leaves the dialog as it was, ready for
// another try, and its error goes to the program's error boundary (the
// process's error report).
//
// User-interface thread only.

#include "platform/DateUtils.h"
#include "platform/Forms.h"

#include <cstdint>
#include <functional>
#include <string>

class QDateEdit;
class QLabel;
class QPushButton;
class QSpinBox;

using TSendLogCallback = std::function<void(TDateTime Date, int32_t Days)>;

class TovnSendLogDlg : public TDialogForm
{
  public:
    explicit TovnSendLogDlg(QWidget* parent = nullptr);
    ~TovnSendLogDlg() override;
    std::string ClassName() const override { return "TovnSendLogDlg"; }

    // Shows the dialog modally over the main window with Date and Days
    // (1 when below 1).
    static void Execute(TDateTime Date, int32_t Days, TSendLogCallback Callback);

    // The values shown; Days below 1 shows 1.
    void Setup(TDateTime Date, int32_t Days, TSendLogCallback Callback);
    TDateTime LogDate() const;
    int32_t LogDays() const;

    // "&Submit".
    void btnSubmitClick();

    QDateEdit* dtpDate() const { return m_dtpDate; }
    QSpinBox* udDays() const { return m_udDays; }
    QLabel* lblResult() const { return m_lblResult; }
    QPushButton* btnSubmit() const { return m_btnSubmit; }
    QPushButton* btnClose() const { return m_btnClose; }

  private:
    TSendLogCallback m_callback;
    QDateEdit* m_dtpDate = nullptr;
    QSpinBox* m_udDays = nullptr;
    QLabel* m_lblResult = nullptr;
    QPushButton* m_btnSubmit = nullptr;
    QPushButton* m_btnClose = nullptr;
};

#pragma once
// Unit DataEntryForm: the borderless, semi-transparent quick-type popup a
// combo lays over its editor when the user starts typing. Enter, Down and
// Tab accept (result 100); Escape and a press outside cancel (result 0).

#include "platform/Forms.h"
#include "platform/Types.h"

#include <string>

class QTimer;
class TMaskEdit;
class TovnGeneralControl;

class TfrmDataEntry : public TDialogForm
{
  public:
    explicit TfrmDataEntry(QWidget* Parent = nullptr);
    ~TfrmDataEntry() override;
    std::string ClassName() const override { return "TfrmDataEntry"; }

    // The control that opens the popup and its editor's rectangle in that
    // control's coordinates; the popup is placed by them when it shows.
    void SetParams(TovnGeneralControl* Control, const TRect& Rect);

    TMaskEdit* Edt;
    QTimer* Timer;

  protected:
    void showEvent(QShowEvent* Event) override;
    void paintEvent(QPaintEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;

  private:
    void Finish(int Result);

    TovnGeneralControl* m_control = nullptr;
    TRect m_rect;
};

// The popup while a combo shows it; nil otherwise.
extern TfrmDataEntry* frmDataEntry;

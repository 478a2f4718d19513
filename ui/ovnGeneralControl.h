#pragma once
// Unit ovnGeneralControl: what the data-entry controls and the applet object
// share. The applet interface and the combo types sit here so that a control
// can reach the applet owning its form without knowing the controller.
// The data-entry base (`TovnGeneralControl`) joins this unit.

#include "platform/Persistent.h"

#include <string>

class TCustomEdit;

// The calendar tool of a combo: none, date, date and time, month of a year.
enum class TLookupTool
{
    ltNone,
    ltCalendarDate,
    ltCalendarDateTime,
    ltCalendarPeriod
};

// The abstract applet through which a control reaches the applet that owns
// its form. The applet object of the controller is its one implementation.
// The order of the operations is part of the applet libraries' interface.
class TovnVirtualApplet : public TObject
{
  public:
    ~TovnVirtualApplet() override = default;
    virtual bool Close(bool CloseAll) = 0;
    virtual bool RunApplet(const std::string& Resource, int Mode, const std::string& Params) = 0;
    virtual bool Calendar(TCustomEdit* Edit, TLookupTool Tool) = 0;
};

// ---------------------------------------------------------------------------
// The data-entry family's base and the types the combos share.

#include "platform/Colors.h"
#include "platform/Component.h"
#include "platform/Controls.h"

#include <functional>

class TSQLQuerySchema;
class TStringList;

enum TComboButton
{
    cbLookup,
    cbPlus
};
using TComboButtons = TSet<TComboButton, uint8_t>;

// Fired before a combo lookup.
using TOnLookupPrepare = std::function<void(TObject* Sender, bool& DoLookup, TSQLQuerySchema* SQL,
                                            TStringList* Items, std::string& Field)>;
// Fired before the plus button runs its applet.
using TOnPlusPrepare = std::function<void(TObject* Sender, bool& DoPlus, std::string& FunctionID,
                                          std::string& ReturnFrom, int& Mode)>;

// The editor colour of a data-entry control: pale green while marked,
// window white while focused, light grey otherwise.
TColor GetEffectiveColor(bool Focused, bool Marked);

// The captioned data-entry controls' base. Enabling is the requested Enabled
// and EnabledByLogic together; Qt's enabled state is set only here. A
// member is "entered" when the focus moves into it or one of its inner
// controls and "exited" when it leaves them all (DoEnter, DoExit).
class TovnGeneralControl : public TCustomControl
{
  public:
    explicit TovnGeneralControl(QWidget* Parent = nullptr);
    ~TovnGeneralControl() override;
    std::string ClassName() const override { return "TovnGeneralControl"; }

    // The requested value, whatever EnabledByLogic says.
    bool Enabled() const { return m_enabled; }
    void SetEnabled(bool Value);
    bool EnabledByLogic() const { return m_enabledByLogic; }
    void SetEnabledByLogic(bool Value);
    // Enabled and EnabledByLogic together.
    bool EffectivelyEnabled() const { return m_enabled && m_enabledByLogic; }
    bool Marked() const { return m_marked; }
    bool ArrowCheck() const { return m_arrowCheck; }
    void SetArrowCheck(bool Value) { m_arrowCheck = Value; }
    bool ShowShelf() const { return m_showShelf; }
    void SetShowShelf(bool Value);
    bool CanFocus() const;
    // Moves the focus to the parent's next (or previous) control in tab
    // order that is not one of this control's own inner controls, has
    // TabStop and can take the focus; wraps round.
    void FocusNext(bool Forward);

    // The component state: tests and the form designer set csDesigning.
    const TComponentState& ComponentState() const { return m_componentState; }
    void SetDesigning(bool Value);
    bool Designing() const { return m_componentState.Contains(csDesigning); }

    std::string TagString;
    bool TagBoolean = false;
    bool TemplateSlave = true;
    bool TemplateEnableOnEdit = true;
    TNotifyEvent OnSlaveClick;
    // The applet owning the form (set by the data-form manager on combos).
    TovnVirtualApplet* Applet = nullptr;

    // The family's operations, in the order the applet libraries know them.
    virtual void EnableContents(bool Value) = 0;
    virtual void SetMarked(bool Value);
    virtual void UpdateInteriorControls() {}
    virtual void SetValue(const std::string& Value) = 0;
    virtual std::string GetValue() = 0;

    // After the stored form is read.
    virtual void Loaded() {}
    // The control's click as the user's (OnClick, then OnSlaveClick).
    void PerformClick() { Click(); }

  protected:
    void Click() override;
    void focusInEvent(QFocusEvent* Event) override;
    void focusOutEvent(QFocusEvent* Event) override;
    // Keys that an inner editor left go on to the form, not to this
    // control's own key handling.
    void keyPressEvent(QKeyEvent* Event) override;
    void keyReleaseEvent(QKeyEvent* Event) override;
    // Whether Widget is this control or one of its descendants.
    bool Owns(const QWidget* Widget) const;

  private:
    void ApplyQtEnabled();
    void FocusChanged(QWidget* Old, QWidget* Now);

    bool m_enabledByLogic = true;
    bool m_enabled = true;
    bool m_marked = false;
    bool m_arrowCheck = true;
    bool m_showShelf = true;
    bool m_entered = false;
    TComponentState m_componentState;
};

// Windowed controls of Parent in tab order, nested ones included (Qt's
// focus chain), whatever their TabStop.
std::vector<QWidget*> TabOrderList(QWidget* Parent);

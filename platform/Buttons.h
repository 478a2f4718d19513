#pragma once
// `TSpeedButton`: the class library's flat tool button, a painted control
// that takes no focus. It shows a glyph and a caption, centred, over a
// button face: raised while up, sunken while down; a flat button lets its
// parent show through and shows its edge only while the mouse is over it or
// it is down.
//
// - A click (press and release over the button) fires OnClick. With a
//   GroupIndex other than 0 the button keeps its state: a click puts it
//   down and lifts the other buttons of the same group under the same
//   parent; a click on a down button lifts it only with AllowAllUp.
// - SetDown puts the button down or up in code, with the same group rule,
//   and fires nothing. A button without a GroupIndex is never kept down.
// - Paint is the face; descendants that draw their own picture replace it.
//
// User-interface thread only.

#include "platform/Controls.h"

#include <QImage>

#include <string>

// The face a speed button shows.
enum TButtonState
{
    bsUp,
    bsDisabled,
    bsDown,
    bsExclusive
};

class TSpeedButton : public TCustomControl
{
  public:
    explicit TSpeedButton(QWidget* parent = nullptr);
    std::string ClassName() const override { return "TSpeedButton"; }

    std::string Caption() const { return m_caption; }
    void SetCaption(const std::string& Value);
    bool Flat() const { return m_flat; }
    void SetFlat(bool Value);
    int GroupIndex() const { return m_groupIndex; }
    void SetGroupIndex(int Value);
    bool AllowAllUp() const { return m_allowAllUp; }
    void SetAllowAllUp(bool Value) { m_allowAllUp = Value; }
    bool Down() const { return m_down; }
    void SetDown(bool Value);
    // The picture beside the caption (none while null).
    const QImage& Glyph() const { return m_glyph; }
    void SetGlyph(const QImage& Value);
    // The face being drawn: disabled, held down by the mouse or Down, up.
    TButtonState State() const;
    // Clicks the button as the mouse does.
    void Click() override;

  protected:
    void Paint() override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseEnter() override;
    void MouseLeave() override;
    void changeEvent(QEvent* event) override;
    // True while the left button is held after a press on the button.
    bool Pressing() const { return m_pressing; }

  private:
    void LiftGroupSiblings();

    std::string m_caption;
    bool m_flat = false;
    int m_groupIndex = 0;
    bool m_allowAllUp = false;
    bool m_down = false;
    bool m_pressing = false;
    QImage m_glyph;
};

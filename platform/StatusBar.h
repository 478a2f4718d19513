#pragma once
// `TStatusBar` with its panels, and `TProgressBar`: the platform's status
// bar and progress bar (the old library's ComCtrls).
//
// - A status bar is a row of panels, each as wide as its Width; the last one
//   takes whatever the bar has left, so its right edge is the bar's. A panel
//   shows its Text (drawn left-aligned, one line, vertically centred, 2
//   pixels in from its left edge) or, with psOwnerDraw, whatever OnDrawPanel
//   paints into its rectangle on the bar's canvas. Panels are separated by a
//   one-pixel gap.
// - Setting a panel's text or width repaints the bar only when it changed.
// - A progress bar is the platform's bar: a range (Min .. Max, 0 .. 100 at
//   first), a position kept inside it, no text. It may be a child of a
//   status bar, which places it where the owner drawing says.

#include "platform/Controls.h"

#include <QProgressBar>

#include <functional>
#include <string>
#include <vector>

enum TStatusPanelStyle
{
    psText,
    psOwnerDraw
};

struct TStatusPanel
{
    std::string Text;
    int Width = 50;
    TStatusPanelStyle Style = psText;
};

class TStatusBar;
using TDrawPanelEvent = std::function<void(TStatusBar* StatusBar, int Index, const TRect& Rect)>;

class TStatusBar : public TCustomControl
{
  public:
    explicit TStatusBar(QWidget* parent = nullptr);
    std::string ClassName() const override { return "TStatusBar"; }

    int PanelCount() const { return static_cast<int>(m_panels.size()); }
    // Appends a panel; answers its index.
    int AddPanel(const TStatusPanel& Panel = {});
    const TStatusPanel& Panel(int Index) const { return m_panels.at(static_cast<size_t>(Index)); }
    void SetPanelText(int Index, const std::string& Text);
    void SetPanelWidth(int Index, int Width);
    void SetPanelStyle(int Index, TStatusPanelStyle Style);
    // The panel's rectangle in client coordinates.
    TRect PanelRect(int Index) const;

    // Paints an owner-drawn panel; the bar's Canvas is the one to draw on.
    TDrawPanelEvent OnDrawPanel;

  protected:
    void Paint() override;

  private:
    // Changes one field of a panel; the bar is repainted only on a change.
    template <typename T> void ChangePanel(int Index, T TStatusPanel::*Field, const T& Value)
    {
        T& field = m_panels.at(static_cast<size_t>(Index)).*Field;
        if (field == Value)
            return;
        field = Value;
        Invalidate();
    }

    std::vector<TStatusPanel> m_panels;
};

class TProgressBar : public QProgressBar
{
  public:
    explicit TProgressBar(QWidget* parent = nullptr);

    int Min() const { return minimum(); }
    int Max() const { return maximum(); }
    void SetRange(int Min, int Max) { setRange(Min, Max); }
    int Position() const { return value(); }
    // Kept inside the range.
    void SetPosition(int Value);
    TRect BoundsRect() const { return Bounds(x(), y(), width(), height()); }
    void SetBounds(const TRect& Rect) { setGeometry(Rect.Left, Rect.Top, Rect.Right - Rect.Left, Rect.Bottom - Rect.Top); }
    bool Visible() const { return !isHidden(); }
    void SetVisible(bool Value) { setVisible(Value); }
    void SetHint(const std::string& Value) { setToolTip(QString::fromStdString(Value)); }
    std::string Hint() const { return toolTip().toStdString(); }
};

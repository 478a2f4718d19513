#pragma once
// The search box of the main window's info bar (unit KldAppEditor): it
// finds menu entries as the user types.
// - `TKldAppEditor`: the visible box. It paints a three-slice background
//   picture (an "active" one while the user types, an "inactive" one
//   otherwise) and hosts the edit.
// - `TKldEditControl`: the borderless edit inside the box, shown only while
//   the box has the focus. Every change of its text asks the host for
//   results (OnFillItems) and drops the result list down; the chosen
//   entry's tag reaches the host through OnSelectItem (-1 when Enter closed
//   the list with no row selected).
// - `TKldPopupControl` (KldPopupControl.h): the top-most window of the list.
// - `TKldAppletViewPopup` (KldAppletViewPopup.h): the result list.
//
// Keys: key presses and the characters they type are both taken as key
// codes, so the characters "#", "$", "&" and "(" (the codes of End, Home,
// Up and Down) are not typed while the list is down. A failure of the
// host's handlers propagates to the Qt event handler that started it, which
// reports it through the boundary error handler; the list is left in a
// consistent state. User-interface thread only.

#include "platform/Controls.h"
#include "platform/Messages.h"
#include "ui/KldAppItems.h"
#include "ui/KldAppUtils.h"
#include "ui/KldAppletViewPopup.h"
#include "ui/KldPopupControl.h"

#include <QImage>
#include <QLineEdit>

#include <functional>
#include <memory>
#include <string>

class TKldAppEditor;

// The host adds groups of results for SearchString and counts them in
// AFinded; AMax is how many it may add.
using TOnFillItems =
    std::function<void(TKldAppItems& Items, const std::string& SearchString, int& AFinded, int AMax)>;
using TOnPopupInit = std::function<void(TKldAppletViewPopup* View)>;
using TOnSelectItem = std::function<void(intptr_t AItemTag)>;

// The wParam of the cancel-mode message the edit posts itself on focus loss.
constexpr WPARAM CancelModeFocusLost = 0xFEFE;

class TKldEditControl : public QLineEdit
{
  public:
    explicit TKldEditControl(TKldAppEditor* Box);
    ~TKldEditControl() override;

    TKldAppEditor& Box() const { return *m_box; }
    // The popup window and the list exist after the first drop-down.
    TKldPopupControl* PopupWindow() const { return m_popup.get(); }
    TKldAppletViewPopup* View() const { return m_view; }

    void DropDown();
    void CloseUp(bool Accept);
    // Refills the results for the current text; answers AFinded.
    int DoFillItems();
    void PopupInit();
    // The formatting rectangle: a band as high as "j" in the edit's font,
    // centred vertically.
    void UpdateEditRect();
    TRect EditRect() const { return m_editRect; }
    // The platform's cancel-mode message (posted by the edit with
    // CancelModeFocusLost when it lost the focus): hides the edit, which
    // closes the list without accepting, unless it came from the edit
    // itself, or is the focus-loss one while the pointer is over the edit.
    void CancelMode(WPARAM WParam, const QObject* Sender = nullptr);
    // Whether a cancel-mode message is waiting.
    bool CancelModePending() const { return m_cancelPending; }

    bool DroppedDown() const { return m_droppedDown; }
    intptr_t SelectedTag() const { return m_selectedTag; }
    int MaxRows() const { return m_maxRows; }
    void SetMaxRows(int Value) { m_maxRows = Value; }
    int MaxCols() const { return m_maxCols; }
    void SetMaxCols(int Value) { m_maxCols = Value; }
    bool AlignPopupRight() const { return m_alignPopupRight; }
    void SetAlignPopupRight(bool Value) { m_alignPopupRight = Value; }
    std::string Text() const { return text().toStdString(); }
    // The edit's font; a change reaches the result list.
    TFont& Font() { return m_font; }
    // While the edit hides itself (the box must not open it again when Qt
    // hands it the focus meanwhile).
    bool Hiding() const { return m_hiding; }

    void setVisible(bool visible) override;

    TOnFillItems OnFillItems;
    TOnPopupInit OnPopupInit;
    TOnPopupInit OnPopup;
    TOnSelectItem OnSelectItem;

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    // Runs an input handler at the event boundary.
    void Guarded(const char* where, const std::function<void()>& fn);
    // One key-down or character message; answers whether it was consumed.
    bool HandleKey(uint16_t Code, TShiftState Shift, bool Character);
    void Change();
    void CMSelectItem();
    bool OwnsWidget(const QWidget* widget) const;

    TKldAppEditor* m_box;
    std::unique_ptr<TKldPopupControl> m_popup;
    TKldAppletViewPopup* m_view = nullptr; // a child of the popup window
    TFont m_font;
    TRect m_editRect;
    int m_maxRows = 10;
    int m_maxCols = 1;
    bool m_alignPopupRight = false;
    bool m_droppedDown = false;
    intptr_t m_selectedTag = -1;
    bool m_inKey = false;
    bool m_changedInKey = false;
    bool m_hiding = false;
    bool m_cancelPending = false;
};

class TKldAppEditor : public TCustomControl
{
  public:
    explicit TKldAppEditor(QWidget* parent = nullptr);
    ~TKldAppEditor() override;
    std::string ClassName() const override { return "TKldAppEditor"; }

    TKldEditControl& Edit() { return *m_edit; }

    const QImage& BgPictureActive() const { return m_pictures[0]; }
    const QImage& BgPictureInactive() const { return m_pictures[1]; }
    // 0: active, 1: inactive. A copy is kept; the edge width becomes the
    // copy's width div 3.
    void SetBgPicture(int Index, const QImage& Bitmap);
    void SetBgPictureActive(const QImage& Bitmap) { SetBgPicture(0, Bitmap); }
    void SetBgPictureInactive(const QImage& Bitmap) { SetBgPicture(1, Bitmap); }
    int EdgeWidth() const { return m_edgeWidth; }
    int MarginLeft() const { return m_margins[0]; }
    int MarginTop() const { return m_margins[1]; }
    int MarginRight() const { return m_margins[2]; }
    int MarginBottom() const { return m_margins[3]; }
    // 0-3: left, top, right, bottom. Stores only (the frame is measured
    // again by RecreateWnd).
    void SetMargin(int Index, int Value);
    void SetMarginLeft(int Value) { SetMargin(0, Value); }
    void SetMarginTop(int Value) { SetMargin(1, Value); }
    void SetMarginRight(int Value) { SetMargin(2, Value); }
    void SetMarginBottom(int Value) { SetMargin(3, Value); }
    // Stored only: the painting does not use them.
    TColor BgColorA() const { return m_bgColorA; }
    TColor BgColorB() const { return m_bgColorB; }
    TColor BorderColor() const { return m_borderColor; }
    using TCustomControl::SetColor;
    // 0: BgColorA, 1: BgColorB, 2: BorderColor.
    void SetColor(int Index, TColor Color);
    void SetBgColorA(TColor Color) { SetColor(0, Color); }
    void SetBgColorB(TColor Color) { SetColor(1, Color); }
    void SetBorderColor(TColor Color) { SetColor(2, Color); }
    TKldGradientDir BgGradientDir() const { return m_gradientDir; }
    void SetColorDir(TKldGradientDir Value);
    void SetBgGradientDir(TKldGradientDir Value) { SetColorDir(Value); }
    TSides Border() const { return m_border; }
    void SetBorder(TSides Value) { m_border = Value; }

    // Takes the focus; a hidden edit is shown and focused and, when nothing
    // is dropped down and its trimmed text is not empty, drops the list
    // down; the frame is redrawn.
    void SetFocus();
    // Redraws window and frame at once (when the box has a parent).
    void UpdateAll();
    // Measures the frame again: the edge width left and right, MarginTop
    // above and MarginBottom below the edit.
    void RecreateWnd();

  protected:
    void PaintNonClient(TCanvas& Canvas) override;
    void Paint() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void Resize() override;
    void FontChanged() override;
    void focusInEvent(QFocusEvent* event) override;

  private:
    void PlaceEdit();

    TKldEditControl* m_edit; // a child widget
    QImage m_pictures[2];
    int m_edgeWidth = 0;
    int m_margins[4] = {0, 0, 0, 0};
    TColor m_bgColorA = 0;
    TColor m_bgColorB = 0;
    TColor m_borderColor = 0;
    TKldGradientDir m_gradientDir = gdVert;
    TSides m_border;
};

#include "ui/KldPopupControl.h"

#include "ui/KldAppEditor.h"

TKldPopupControl::TKldPopupControl() : TCustomControl(nullptr)
{
    // A window of its own above every other, that never takes the
    // activation: the main window's caption stays active and the edit keeps
    // the keyboard. Window systems (and Qt's own platforms) leave a window
    // of the tool-tip kind inactive when it shows; a tool window would be
    // activated by some of them.
    setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                   Qt::WindowDoesNotAcceptFocus);
    setAttribute(Qt::WA_ShowWithoutActivating);
    SetColor(clWhite);
}

TKldPopupControl::~TKldPopupControl() = default;

TKldEditControl* TKldPopupControl::Edit() const
{
    return m_edit.data();
}

void TKldPopupControl::Popup(TKldEditControl* Edit, int X, int Y)
{
    m_edit = Edit;
    QPoint at(X, Y);
    if (X < 0 && Y < 0 && Edit)
        at = Edit->mapToGlobal(QPoint(0, 0));
    if (Edit)
        at.ry() += Edit->height();
    move(at);
    show();
}

void TKldPopupControl::DoAdjustClientSize(int W, int H)
{
    resize(std::max(0, W), std::max(0, H));
    show();
}

void TKldPopupControl::DoClosePopup()
{
    hide();
    m_edit = nullptr;
}

void TKldPopupControl::CloseUp()
{
    if (TKldEditControl* edit = m_edit.data())
        edit->CloseUp(false);
    else
        DoClosePopup();
}

void TKldPopupControl::Paint()
{
    TCanvas& c = Canvas();
    c.Brush().Style = bsSolid;
    c.Brush().Color = Color();
    c.FillRect(PaintRect());
    c.Brush().Color = 0x808080;
    c.FrameRect(ClientRect());
}

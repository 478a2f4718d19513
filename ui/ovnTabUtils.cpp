#include "ui/ovnTabUtils.h"

#include "platform/DrawText.h"
#include "platform/Resources.h"

#include <memory>

static void InitKldAppResources()
{
    Q_INIT_RESOURCE(KldAppResources);
}

namespace {
TTabPainter ThePainter;
} // namespace

TTabPainter* const TabPainter = &ThePainter;

TCustomImageList& TabPainterImages()
{
    static const std::unique_ptr<TCustomImageList> images = [] {
        InitKldAppResources();
        auto list = std::make_unique<TCustomImageList>(16, 16);
        list->ResourceLoad(rtBitmap, "KLD_TAB_MASTER", clWhite);
        list->ResourceLoad(rtBitmap, "KLD_TAB_DETAIL", clWhite);
        return list;
    }();
    return *images;
}

void TTabPainter::SetTabControl(TObject* Control)
{
    auto* tabs = dynamic_cast<TCustomTabControl*>(Control);
    if (!tabs || !(dynamic_cast<TTabControl*>(tabs) || dynamic_cast<TPageControl*>(tabs)))
        return;
    tabs->OnDrawTab = [this](TCustomTabControl* control, int index, const TRect& rect, bool active) {
        PaintTab(control, index, rect, active);
    };
    tabs->SetOwnerDraw(true);
}

int TTabPainter::GetVisTabIdx(const TPageControl& PageControl, int TabIndex)
{
    if (TabIndex < 0)
        return -1;
    for (int i = 0; i < PageControl.PageCount(); ++i)
        if (PageControl.Pages(i)->TabVisible() && TabIndex-- == 0)
            return i;
    return -1;
}

void TTabPainter::PaintTab(TCustomTabControl* Control, int TabIndex, const TRect& Rect, bool Active)
{
    if (auto* tabs = dynamic_cast<TTabControl*>(Control)) {
        if (TabIndex >= 0 && TabIndex < tabs->Tabs().Count())
            DoPaintTab(tabs->Canvas(), nullptr, Rect, tabs->Tabs()[TabIndex], -1);
        return;
    }
    auto* pages = dynamic_cast<TPageControl*>(Control);
    if (!pages)
        return;
    TTabSheet* sheet = pages->Pages(GetVisTabIdx(*pages, TabIndex));
    if (!sheet)
        return;
    TCustomImageList* images = pages->Images();
    // The "Book" of the forms shows master and detail on its first tabs.
    if (images && pages->Name() == "Book" && (TabIndex == 0 || TabIndex == 1))
        images = &TabPainterImages();
    DoPaintTab(pages->Canvas(), images, Rect, sheet->Caption(), sheet->ImageIndex());
}

void TTabPainter::DoPaintTab(TCanvas& Canvas, TCustomImageList* Images, const TRect& Rect,
                             const std::string& Text, int ImageIndex)
{
    Canvas.Brush().Style = bsSolid;
    Canvas.Brush().Color = clBtnFace;
    Canvas.FillRect(Rect);
    int left = Rect.Left + 4;
    if (Images && Images->ValidIndex(ImageIndex)) {
        Images->Draw(Canvas, Rect.Left + 4, Rect.Top + (Rect.Height() - Images->Height()) / 2, ImageIndex);
        left = Rect.Left + Images->Width() + 6;
    }
    TRect text{left, Rect.Top, Rect.Right, Rect.Bottom};
    DrawText(Canvas, Text, text, DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS);
}

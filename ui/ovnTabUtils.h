#pragma once
// `TTabPainter` (unit ovnTabUtils): the owner-draw painter that forms hand
// their stock tab and page controls to, so that every tab strip of the
// program looks alike: a button-face tab with an optional picture and its
// text. `TabPainter` is the one painter of the program. A page control
// named "Book" with pictures of its own shows the painter's master and
// detail pictures on its first two tabs instead.

#include "platform/ComCtrls.h"
#include "platform/ImageList.h"

#include <string>

class TTabPainter : public TObject
{
  public:
    std::string ClassName() const override { return "TTabPainter"; }

    // A tab or page control gets PaintTab as its draw-tab event and owner
    // drawing; nullptr and other classes are ignored.
    void SetTabControl(TObject* Control);
    // The draw-tab event: the text and picture of the tab (for a page
    // control those of the TabIndex-th visible page), then DoPaintTab.
    void PaintTab(TCustomTabControl* Control, int TabIndex, const TRect& Rect, bool Active);
    // The page index of the TabIndex-th visible tab; -1 when there is none.
    static int GetVisTabIdx(const TPageControl& PageControl, int TabIndex);
    // Fills Rect with the button face, draws the picture (when Images holds
    // ImageIndex) 4 pixels in and centred vertically, and the text after it
    // (or 4 pixels in) on one line, centred vertically, with an ellipsis.
    void DoPaintTab(TCanvas& Canvas, TCustomImageList* Images, const TRect& Rect, const std::string& Text,
                    int ImageIndex);
};

extern TTabPainter* const TabPainter;

// The painter's 16 x 16 pictures: "KLD_TAB_MASTER" (0) and "KLD_TAB_DETAIL"
// (1), white transparent; loaded on first use.
TCustomImageList& TabPainterImages();

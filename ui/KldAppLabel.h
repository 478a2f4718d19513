#pragma once
// `TKldAppLabel` (unit KldAppPanel): a label with the panel's margin,
// border and padding model, a gradient or tiled-picture background, an
// optional picture with a hot variant (while the pointer is over the
// label), and picture and text placed independently (alignment, layout and
// indent each). An offset that is not painted does not apply at all: a
// label whose margin is not painted uses the margin's room for its content.
// Where the picture and the text go is CalcContent, a plain computation
// that Paint only draws.

#include "ui/KldAppPanel.h"

#include <QImage>

// Where a label's content goes.
struct TKldLabelContent
{
    TRect Inner;         // the rectangle inside border and padding
    int ImageIndex = -1; // -1: no picture drawn
    TPoint ImagePos;     // the picture's top-left corner
    TRect TextRect;      // where the caption is drawn
    unsigned TextFlags = 0;
};

class TKldAppLabel : public TCustomControl
{
  public:
    explicit TKldAppLabel(QWidget* parent = nullptr);
    ~TKldAppLabel() override;
    std::string ClassName() const override { return "TKldAppLabel"; }

    TOffset& Margin() { return m_margin; }
    const TOffset& Margin() const { return m_margin; }
    void SetMargin(const TOffset& Value) { m_margin.Assign(Value); }
    TOffset& Padding() { return m_padding; }
    const TOffset& Padding() const { return m_padding; }
    void SetPadding(const TOffset& Value) { m_padding.Assign(Value); }
    TSides Border() const { return m_border; }
    void SetBorder(TSides Value);
    TColor BorderColor() const { return m_borderColor; }
    TColor ColorA() const { return m_colorA; }
    TColor ColorB() const { return m_colorB; }
    // 0: ColorA, 1: ColorB, 2: BorderColor.
    using TCustomControl::SetColor;
    void SetColor(int Index, TColor Color);
    void SetColorA(TColor Value) { SetColor(0, Value); }
    void SetColorB(TColor Value) { SetColor(1, Value); }
    void SetBorderColor(TColor Value) { SetColor(2, Value); }
    TKldGradientDir ColorGradientDir() const { return m_gradientDir; }
    void SetColorDir(TKldGradientDir Value);
    void SetColorGradientDir(TKldGradientDir Value) { SetColorDir(Value); }

    TCustomImageList* Images() const { return m_images.Get(); }
    void SetImages(TCustomImageList* Value);
    int ImageIndex() const { return m_imageIndex; }
    int HotImageIndex() const { return m_hotImageIndex; }
    // 0: ImageIndex, 1: HotImageIndex.
    void SetImageIdx(int Index, int Value);
    void SetImageIndex(int Value) { SetImageIdx(0, Value); }
    void SetHotImageIndex(int Value) { SetImageIdx(1, Value); }

    TAlignment TextAlignment() const { return m_textAlignment; }
    TAlignment ImageAlignment() const { return m_imageAlignment; }
    // 0: the text's, 1: the picture's.
    void SetAlignment(int Index, TAlignment Value);
    void SetTextAlignment(TAlignment Value) { SetAlignment(0, Value); }
    void SetImageAlignment(TAlignment Value) { SetAlignment(1, Value); }
    TTextLayout TextLayout() const { return m_textLayout; }
    TTextLayout ImageLayout() const { return m_imageLayout; }
    void SetLayout(int Index, TTextLayout Value);
    void SetTextLayout(TTextLayout Value) { SetLayout(0, Value); }
    void SetImageLayout(TTextLayout Value) { SetLayout(1, Value); }
    int TextIndent() const { return m_textIndent; }
    int ImageIndent() const { return m_imageIndent; }
    void SetIndent(int Index, int Value);
    void SetTextIndent(int Value) { SetIndent(0, Value); }
    void SetImageIndent(int Value) { SetIndent(1, Value); }
    bool WordWrap() const { return m_wordWrap; }
    void SetWordWrap(bool Value);
    const std::string& Caption() const { return m_caption; }
    void SetCaption(const std::string& Value);

    // nullptr removes the background picture; otherwise a copy is kept and
    // tiled (no repaint of its own).
    void SetBackground(const QImage* Bitmap);
    const QImage& Background() const { return m_background; }
    // Whether the pointer is over the label.
    bool Hot() const { return m_hot; }

    // Where the picture and the caption go in the current client area.
    TKldLabelContent CalcContent();

  protected:
    void Paint() override;
    void MouseEnter() override;
    void MouseLeave() override;

  private:
    // Stores a value and repaints when it changed.
    template <class T> void Store(T& field, const T& value);

    TOffset m_margin;
    TOffset m_padding;
    TSides m_border;
    TColor m_borderColor = clBtnShadow;
    TColor m_colorA = clBtnFace;
    TColor m_colorB = clBtnFace;
    TKldGradientDir m_gradientDir = gdHorz;
    TImageListRef m_images;
    int m_imageIndex = -1;
    int m_hotImageIndex = -1;
    TAlignment m_textAlignment = taLeftJustify;
    TAlignment m_imageAlignment = taLeftJustify;
    TTextLayout m_textLayout = tlCenter;
    TTextLayout m_imageLayout = tlCenter;
    int m_textIndent = 0;
    int m_imageIndent = 0;
    bool m_wordWrap = false;
    std::string m_caption;
    QImage m_background;
    bool m_hot = false;
};

#pragma once
// `TKldAppInfoBar` (unit KldAppPanel): the main window's strip of short
// facts (user, facility, database, entries of the open module). A row of
// `TKldAppInfoItem` cells from left to right, each with an optional frame,
// background, picture and text, with thin spacer bars between them. The
// host adds and removes cells by name (unique within the bar, without
// regard to case); a cell with AutoWidth sizes itself to its text and
// picture. The bar paints off-screen and copies the result in one block.
//
// Re-layout (each cell's Left, and the widths of auto-width cells) waits
// while the collection is inside an update and while the bar has no
// parent; UpdateLayout does it once the bar is placed.

#include "base/KldCanvas.h"
#include "platform/Collection.h"
#include "platform/Controls.h"
#include "platform/ImageList.h"
#include "ui/KldAppUtils.h"

#include <memory>
#include <string>

enum TKldImagePosition
{
    ipLeft,
    ipRight
};

class TKldAppInfoBar;
class TKldAppInfoItems;

class TKldAppInfoItem : public TCollectionItem
{
  public:
    TKldAppInfoItem() = default;
    std::string ClassName() const override { return "TKldAppInfoItem"; }
    // The caption, or "TKldAppInfoItem - <index>" without one.
    std::string DisplayName() const override { return GetDisplayName(); }
    std::string GetDisplayName() const;
    // Copies every setting of another item, then re-lays out.
    void Assign(const TPersistent& Source) override;

    const std::string& Name() const { return m_name; }
    // Nothing when Name equals the current name ignoring case; raises
    // "Duplicate item name %s" when another item of the bar has it.
    void SetName(const std::string& Name);
    const std::string& Caption() const { return m_caption; }
    void SetCaption(const std::string& Value);
    bool AutoWidth() const { return m_autoWidth; }
    void SetAutoWidth(bool Value);
    int Width() const { return m_width; }
    // Taken only while AutoWidth is off.
    void SetWidth(int Value);
    TAlignment Alignment() const { return m_alignment; }
    void SetAlignment(TAlignment Value);
    TColor ColorA() const { return m_colorA; }
    TColor ColorB() const { return m_colorB; }
    void SetColorA(TColor Value);
    void SetColorB(TColor Value);
    // The background's direction (vertical; copied by Assign).
    TKldGradientDir GradientDir() const { return m_gradientDir; }
    // No background and no font colour of its own.
    bool Transparent() const { return m_transparent; }
    void SetTransparent(bool Value);
    TColor BorderColor() const { return m_borderColor; }
    void SetBorderColor(TColor Value);
    TSides Border() const { return m_border; }
    void SetBorder(TSides Value);
    int ImageIndex() const { return m_imageIndex; }
    void SetImageIndex(int Value);
    TKldImagePosition ImagePosition() const { return m_imagePosition; }
    void SetImagePosition(TKldImagePosition Value);
    intptr_t Tag() const { return m_tag; }
    void SetTag(intptr_t Value) { m_tag = Value; }
    TFontStyles FontStyle() const { return m_fontStyle; }
    void SetFontStyle(TFontStyles Value);
    TColor FontColor() const { return m_fontColor; }
    void SetFontColor(TColor Value);
    // Position from the bar's left, set by the layout.
    int Left() const { return m_left; }

    TKldAppInfoBar* Bar() const;

  private:
    friend class TKldAppInfoBar;
    // Re-lays out (relayout) or only repaints the bar.
    void Changed(bool Relayout);
    // Repaints, or re-lays out when the item sizes itself.
    void SizeChanged() { Changed(m_autoWidth); }

    std::string m_name;
    std::string m_caption;
    bool m_autoWidth = true;
    int m_width = 50;
    TAlignment m_alignment = taLeftJustify;
    TColor m_colorA = 0;
    TColor m_colorB = 0;
    TKldGradientDir m_gradientDir = gdVert;
    bool m_transparent = true;
    TColor m_borderColor = 0;
    TSides m_border;
    int m_imageIndex = -1;
    TKldImagePosition m_imagePosition = ipLeft;
    intptr_t m_tag = 0;
    TFontStyles m_fontStyle;
    TColor m_fontColor = 0;
    int m_left = 0;
};

class TKldAppInfoItems : public TCollection
{
  public:
    explicit TKldAppInfoItems(TKldAppInfoBar* Bar);
    std::string ClassName() const override { return "TKldAppInfoItems"; }

    TKldAppInfoBar* Bar() const { return m_bar; }
    TKldAppInfoItem* Add();
    TKldAppInfoItem* Items(int Index) const;
    // The first item named Name ignoring case; nullptr when none.
    TKldAppInfoItem* FindByName(const std::string& Name) const;

  protected:
    void Update(TCollectionItem* Item) override;

  private:
    TKldAppInfoBar* m_bar;
};

class TKldAppInfoBar : public TCustomControl
{
  public:
    explicit TKldAppInfoBar(QWidget* parent = nullptr);
    ~TKldAppInfoBar() override;
    std::string ClassName() const override { return "TKldAppInfoBar"; }

    TKldAppInfoItems& Items() { return *m_items; }
    const TKldAppInfoItems& Items() const { return *m_items; }
    // Copies the items.
    void SetItems(const TKldAppInfoItems& Value);
    // Copies the items and the background colours of another bar.
    void Assign(const TKldAppInfoBar& Source);

    TColor ColorA() const { return m_colorA; }
    TColor ColorB() const { return m_colorB; }
    // 0: ColorA, 1: ColorB.
    using TCustomControl::SetColor;
    void SetColor(int Index, TColor Color);
    void SetColorA(TColor Color) { SetColor(0, Color); }
    void SetColorB(TColor Color) { SetColor(1, Color); }
    TCustomImageList* Images() const { return m_images.Get(); }
    void SetImages(TCustomImageList* Value);
    int Spacing() const { return m_spacing; }
    // Never below Spacer.
    void SetSpacing(int S);
    int Margin() const { return m_margin; }
    void SetMargin(int Value);
    int Padding() const { return m_padding; }
    void SetPadding(int Value);
    int Spacer() const { return m_spacer; }
    // 0: no spacer bars; Spacing is raised to it when below.
    void SetSpacer(int S);
    int SpacerMargin() const { return m_spacerMargin; }
    void SetSpacerMargin(int Value);
    TColor SpacerColorA() const { return m_spacerColorA; }
    TColor SpacerColorB() const { return m_spacerColorB; }
    // 0: SpacerColorA, 1: SpacerColorB.
    void SetSpacerColor(int Index, TColor Color);
    void SetSpacerColorA(TColor Color) { SetSpacerColor(0, Color); }
    void SetSpacerColorB(TColor Color) { SetSpacerColor(1, Color); }
    TColor BorderColor() const { return m_borderColor; }
    void SetBorderColor(TColor Value);
    TSides Border() const { return m_border; }
    void SetBorder(TSides Value);

    // Re-lays out and repaints.
    void UpdateLayout();
    // An item's width when it sizes itself: its caption in the bar's font
    // with its style, the picture and 4 when it has one, twice Padding and 4.
    int CalcAutoWidth(const TKldAppInfoItem& Item);
    // The cell of an item in client coordinates.
    TRect CellRect(const TKldAppInfoItem& Item) const;

  protected:
    void Paint() override;
    void Resize() override;
    void FontChanged() override;

  private:
    friend class TKldAppInfoItem;
    friend class TKldAppInfoItems;
    void ItemChanged(bool Relayout);
    void Relayout();
    void PaintItem(TKldAppInfoItem& Item, bool First);
    // ColorA alone when both are equal, else a vertical gradient.
    void FillTwoColours(const TRect& R, TColor A, TColor B, TKldGradientDir Dir);
    template <class T> void Store(T& field, const T& value, bool relayout);

    std::unique_ptr<TKldAppInfoItems> m_items;
    TKldCanvas m_canvas;
    TColor m_colorA = clBtnFace;
    TColor m_colorB = clBtnFace;
    TImageListRef m_images;
    int m_spacing = 0;
    int m_margin = 0;
    int m_padding = 0;
    int m_spacer = 0;
    int m_spacerMargin = 0;
    TColor m_spacerColorA = clBtnHighlight;
    TColor m_spacerColorB = clBtnShadow;
    TColor m_borderColor = 0;
    TSides m_border;
};

#pragma once
// The widget column of a module window: `TKldAppLayout`, the collection of
// `TKldAppLayoutItem` widgets that an area `TKldAppPanel` owns, and the
// packing rule that places them (PackWidgets).
//
// Each widget owns a panel of its own, parented by the area panel, into
// which the host puts an applet's form. The visible widgets are spread over
// ColCount equal columns, each going to the column whose height sum is the
// smallest (the leftmost on a tie) and spanning ColSpan columns; the
// widgets of a column then share the area's height equally (or all take one
// row of the fullest column with UniformRowHeight). A widget's own panel
// height decides only its column, never its final height.
//
// The order and visibility of the widgets travel as a name list
// (GetLayout/SetLayout), which the module window stores. User-interface
// thread only.

#include "platform/Collection.h"
#include "platform/StringList.h"
#include "platform/Types.h"

#include <QPointer>

#include <functional>
#include <string>
#include <vector>

class TKldAppPanel;
class TKldAppLayout;

// One widget as the packing sees it.
struct TWidgetSlot
{
    int Height = 0;  // the widget panel's current height
    int ColSpan = 1; // columns it asks for
    bool Visible = true;
};

// Where a visible widget goes (client coordinates of the area panel);
// Column is -1 for a hidden widget, which keeps its bounds.
struct TWidgetPlace
{
    int Column = -1;
    TRect Bounds;
};

// The packing rule: one place per widget, in order, for ColCount columns
// (at least 1) over an area of ClientSize.
std::vector<TWidgetPlace> PackWidgets(const std::vector<TWidgetSlot>& Widgets, int ColCount,
                                      bool UniformRowHeight, TPoint ClientSize);

using TWidgetEvent = std::function<void(class TKldAppLayoutItem* AItem)>;

class TKldAppLayoutItem : public TCollectionItem
{
  public:
    TKldAppLayoutItem();
    // Tells the area panel (OnWidgetDelete), then destroys the widget panel.
    ~TKldAppLayoutItem() override;
    std::string ClassName() const override { return "TKldAppLayoutItem"; }

    // The widget's own panel, owned by the item.
    TKldAppPanel* Panel() const { return m_panel; }
    TKldAppLayout* Layout() const;

    const std::string& Name() const { return m_name; }
    void SetName(const std::string& value) { m_name = value; }
    int Tag() const { return m_tag; }
    void SetTag(int value) { m_tag = value; }
    int ColSpan() const { return m_colSpan; }
    // Ignored when N <= 0 or unchanged; otherwise the layout re-aligns.
    void SetColSpan(int N);
    // The column the last re-alignment chose.
    int Column() const { return m_column; }

    int Height() const;
    void SetHeight(int value);
    int Width() const;
    void SetWidth(int value);
    // The widget panel's visibility (no re-alignment of its own).
    bool GetVisible() const;
    void SetVisible(bool value);
    bool Visible() const { return GetVisible(); }
    TRect GetRect() const;
    void SetRect(const TRect& value);

  private:
    friend class TKldAppLayout;
    QPointer<TKldAppPanel> m_panel;
    TKldAppLayout* m_layout = nullptr; // while the item is in a layout
    std::string m_name;
    int m_tag = 0;
    int m_colSpan = 1;
    int m_column = -1;
};

class TKldAppLayout : public TCollection
{
  public:
    explicit TKldAppLayout(TKldAppPanel* panel);
    // The widgets go while the layout is whole, so the panel hears of each.
    ~TKldAppLayout() override;
    std::string ClassName() const override { return "TKldAppLayout"; }

    TKldAppPanel* Panel() const { return m_panel; }

    // A new widget, parented by the area panel, visible when AutoVisible.
    TKldAppLayoutItem* Add();
    TKldAppLayoutItem* Items(int Index) const;
    TKldAppLayoutItem* GetLast() const;
    TKldAppLayoutItem* FindByTag(int Tag) const;
    // Without regard to case; nullptr when none.
    TKldAppLayoutItem* FindByName(const std::string& Name) const;

    int ColCount() const { return m_colCount; }
    // Raised to at least 1.
    void SetColCount(int N);
    // Stored only: the packing does not use them.
    int DefColWidth() const { return m_defColWidth; }
    void SetDefColWidth(int value);
    int DefRowHeight() const { return m_defRowHeight; }
    void SetDefRowHeight(int value);
    bool UniformRowHeight() const { return m_uniformRowHeight; }
    void SetUniformRowHeight(bool value);
    bool AutoVisible() const { return m_autoVisible; }
    void SetAutoVisible(bool value);

    // Whether any widget is visible; SetVisible shows or hides them all.
    bool GetVisible() const;
    void SetVisible(bool value);

    // Places the visible widgets by the packing rule (nothing without widgets).
    void ReAlign();

    // One line per widget in order: its name, with an object that is
    // non-nil exactly when the widget is visible.
    void GetLayout(TStrings& Strings) const;
    // Named widgets with an object move to the front in the lines' order;
    // named widgets without one are hidden; unknown names are skipped;
    // widgets not named keep their visibility and follow in their old order.
    void SetLayout(const TStrings& Strings);

  protected:
    void Update(TCollectionItem* item) override;
    void Notify(TCollectionItem* item, TCollectionNotification action) override;
    void Added(TCollectionItem* item) override;

  private:
    TKldAppPanel* m_panel;
    int m_colCount = 1;
    int m_defColWidth = 100;
    int m_defRowHeight = 0;
    bool m_uniformRowHeight = false;
    bool m_autoVisible = false;
    bool m_aligning = false;
};

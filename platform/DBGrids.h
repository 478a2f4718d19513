#pragma once
// Data-aware controls of the GUI library that the system's forms place:
// `TDBGrid`, a read-only table of a data source's rows (over
// TDataSetModel), and `TDBNavigator`, the row buttons of a data source.
// Widgets: main thread only.

#include "platform/DataSource.h"

#include <QTableView>
#include <QToolButton>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>

class QPainter;
class TDataSetModel;

// A cell about to be painted: its rectangle, row and column, the text the
// grid would show and whether it is selected. A hook that painted the cell
// itself sets Handled.
struct TGridCell
{
    QRect Rect;
    int Row = 0;
    int Column = 0;
    QString Text;
    bool Selected = false;
};
using TDrawColumnCellEvent = std::function<void(QPainter& Painter, const TGridCell& Cell, bool& Handled)>;

class TDBGrid : public QTableView
{
  public:
    explicit TDBGrid(QWidget* parent = nullptr);
    ~TDBGrid() override;

    TDataSource* DataSource() const;
    void SetDataSource(TDataSource* Value);
    TDataSetModel& Model() const { return *m_model; }
    // Paints cells before the grid; a hook that throws leaves the cell to
    // the grid.
    TDrawColumnCellEvent OnDrawColumnCell;

  private:
    TDataSetModel* m_model;
};

enum TNavigateBtn
{
    nbFirst,
    nbPrior,
    nbNext,
    nbLast
};

class TDBNavigator : public QWidget
{
  public:
    explicit TDBNavigator(QWidget* parent = nullptr);
    ~TDBNavigator() override;

    TDataSource* DataSource() const { return m_link->DataSource(); }
    void SetDataSource(TDataSource* Value);
    // A button is usable while the navigator is enabled, the dataset open
    // and the move would go somewhere (not before the first row for first
    // and prior, not past the last for next and last).
    void SetEnabled(bool Value);
    QToolButton* Button(TNavigateBtn Which) const { return m_buttons[Which]; }
    void BtnClick(TNavigateBtn Which);
    void UpdateButtons();

  private:
    class TNavDataLink : public TDataLink
    {
      public:
        explicit TNavDataLink(TDBNavigator* Owner) : m_owner(Owner) {}
        std::string ClassName() const override { return "TNavDataLink"; }

      protected:
        void ActiveChanged() override { m_owner->UpdateButtons(); }
        void DataSetChanged() override { m_owner->UpdateButtons(); }
        void EditingChanged() override { m_owner->UpdateButtons(); }

      private:
        TDBNavigator* m_owner;
    };

    std::unique_ptr<TNavDataLink> m_link;
    std::array<QToolButton*, 4> m_buttons{};
};

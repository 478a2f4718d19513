#pragma once
// A grid view that answers its overridable operations from a table, for the
// grid and editor tests: texts, widths, edit kinds, states, value lists, a
// dialog, and a record of what the grid asked of it.

#include "platform/SysUtils.h"
#include "ui/KldGridView.h"
#include "ui/KldValueEditor.h"

#include <QApplication>
#include <QKeyEvent>

#include <map>
#include <string>
#include <utility>
#include <vector>

class TTableGrid : public TKldGridView
{
  public:
    using TCell = std::pair<int, int>; // column, row

    TTableGrid(int cols, int rows, int colWidth = 60) : m_widths(cols, colWidth), m_rows(rows)
    {
        resize(400, 200);
    }

    // Makes the layout current (as the first show does).
    void Layout() { LayoutChanged(); }

    std::vector<int> m_widths;
    int m_rows;
    std::map<TCell, std::string> Texts;
    std::map<int, TKldEditType> ColTypes;
    std::map<TCell, TKldCellStates> States;
    std::vector<std::string> Values; // value list of every list cell
    bool Nullable = false;
    std::string FailOn;          // DoSetCellText raises for this text
    std::string DialogResult;    // what the dialog answers
    bool DialogAccepts = false;
    int SetTextCalls = 0;
    int DialogCalls = 0;
    int AddRowCalls = 0;
    std::vector<int> MarkerClicks;
    std::vector<std::pair<int, int>> MovedRows;
    std::vector<std::pair<int, int>> ColIndexMoves;

    int GetRowCount() override { return m_rows; }
    int GetColCount() override { return static_cast<int>(m_widths.size()); }
    void GetCellPlace(int ACol, int ARow, int& ALeft, int& AWidth) override
    {
        ALeft = 0;
        for (int c = 0; c < ACol && c < GetColCount(); ++c)
            ALeft += m_widths[c];
        AWidth = ACol >= 0 && ACol < GetColCount() ? m_widths[ACol] : 0;
    }
    void SetColWidth(int ACol, int AWidth) override
    {
        if (ACol >= 0 && ACol < GetColCount()) {
            m_widths[ACol] = AWidth;
            LayoutChanged();
        }
    }
    void SetColIndex(int AFrom, int ATo) override { ColIndexMoves.emplace_back(AFrom, ATo); }
    TKldEditType DoGetCellEditType(int ACol, int ARow) override
    {
        auto it = ColTypes.find(ACol);
        return it == ColTypes.end() ? etValue : it->second;
    }
    void DoGetCellText(int ACol, int ARow, std::string& AText) override
    {
        auto it = Texts.find({ACol, ARow});
        AText = it == Texts.end() ? Format("r%dc%d", ARow, ACol) : it->second;
    }
    void DoSetCellText(int ACol, int ARow, std::string& AText) override
    {
        ++SetTextCalls;
        if (!FailOn.empty() && AText == FailOn)
            throw Exception("refused: " + AText);
        Texts[{ACol, ARow}] = AText;
        DoChanged(ACol, ARow);
    }
    TKldCellStates DoCellState(int ACol, int ARow, TKldCellStates ADefault) override
    {
        auto it = States.find({ACol, ARow});
        return it == States.end() ? ADefault : it->second;
    }
    void DoCellEditOptions(int ACol, int ARow, TCellEditOptions& AOptions) override
    {
        if (AOptions.ValueList)
            for (const std::string& v : Values)
                AOptions.ValueList->Add(v);
        AOptions.Nullable = Nullable;
        TKldGridView::DoCellEditOptions(ACol, ARow, AOptions);
    }
    bool DoCellExecDialog(int ACol, int ARow, std::string& AText) override
    {
        ++DialogCalls;
        if (DialogAccepts)
            AText = DialogResult;
        return DialogAccepts;
    }
    void DoCellClick(int ACol, int ARow, int AReason) override
    {
        if (ACol < 0)
            MarkerClicks.push_back(ARow);
        TKldGridView::DoCellClick(ACol, ARow, AReason);
    }
    void DoAddRow() override
    {
        ++AddRowCalls;
        ++m_rows;
        LayoutChanged();
    }
    bool DoMoveRow(int AFrom, int ATo) override
    {
        const bool ok = TKldGridView::DoMoveRow(AFrom, ATo);
        if (ok)
            MovedRows.emplace_back(AFrom, ATo);
        return ok;
    }
    std::string Text(int col, int row)
    {
        std::string s;
        DoGetCellText(col, row, s);
        return s;
    }
};

namespace Input {
// A key with the text it types.
inline bool Type(QWidget& w, int key, const QString& text, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QKeyEvent event(QEvent::KeyPress, key, modifiers, text);
    QApplication::sendEvent(&w, &event);
    return event.isAccepted();
}
inline void TypeText(QWidget& w, const QString& text)
{
    for (QChar c : text)
        Type(w, c.isLetter() ? Qt::Key_A + (c.toUpper().unicode() - 'A') : 0, QString(c));
}
} // namespace Input

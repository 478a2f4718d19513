#pragma once
// `TKldAppletViewPopup` (unit KldAppEditor): the search box's result list.
// An applet grid whose tiles are one column of full-width rows: the search
// box makes ItemWidth the list's width. Each group's caption stands in a
// left-hand column beside its first row; the group headers are plain
// gradient strips. CalcWidth measures what the list needs.

#include "ui/KldAppletView.h"

class TKldAppletViewPopup : public TKldAppletView
{
  public:
    explicit TKldAppletViewPopup(QWidget* parent = nullptr);
    std::string ClassName() const override { return "TKldAppletViewPopup"; }

    // The left-hand column, as the last CalcWidth computed it.
    int GroupColWidth() const { return m_groupColWidth; }
    // Set by the host; 0: none.
    int MinGroupColWidth() const { return m_minGroupColWidth; }
    void SetMinGroupColWidth(int Value);

    // GroupColWidth := the widest group caption (group font) + 16, at least
    // MinGroupColWidth when that is set; the result is GroupColWidth plus
    // the larger of the widest result caption + 16 and 2 x GroupColWidth.
    int CalcWidth();

    // A key the search edit hands over while the list is down (End, Home,
    // Up, Down move the selection).
    void ListKeyDown(uint16_t& Key, TShiftState Shift) { KeyDown(Key, Shift); }

    void PaintGroup(TKldAppItem* item) override;
    void PaintItem(TKldAppItem* item) override;

  private:
    void SetGroupFont(TCanvas& Canvas) const;

    int m_groupColWidth = 0;
    int m_minGroupColWidth = 0;
};

#pragma once
// `TfrmInfo` ("Info"): three read-only lists of the system database
// (modules, resources, updates), one per page, with "Filter" (the advanced
// filter dialog of the active list, bold while that list is filtered),
// "Refresh" and "&Close". Part of the library's forms; nothing in the
// console or the main window opens it.
//
// The rules are `TInfoLists` (no widgets): the modules list opens when the
// window shows, the other two when their page is first shown.
//
// Main thread only.

#include "Components/Nembra/ovnOndrel.h"
#include "platform/Forms.h"

#include <array>
#include <memory>
#include <string>

class QPushButton;
class TDataSource;
class TDBGrid;
class TNembraDatabase;
class TPageControl;

enum TInfoList
{
    ilModules,
    ilResources,
    ilUpdates
};

class TInfoLists
{
  public:
    TInfoLists();
    ~TInfoLists();

    TovnOndrelQuery& List(TInfoList Which) const { return *m_lists[Which]; }
    // Binds the lists to the system database and opens the modules list.
    // Without a database (the gallery's window) nothing opens.
    void Show(TNembraDatabase* SystemDB);
    // A page change: its list opens the first time; answers whether the
    // "Filter" caption is bold for it.
    bool PageShown(TInfoList Which);
    // The advanced filter dialog on the list; answers the bold state after.
    bool Filter(TInfoList Which);
    // Opens the list when it is closed.
    void Refresh(TInfoList Which);
    bool FilterBold(TInfoList Which) const { return m_lists[Which]->IsFiltered(); }

  private:
    void Open(TInfoList Which);

    std::array<std::unique_ptr<TovnOndrelQuery>, 3> m_lists;
    std::array<bool, 3> m_shown{};
    TNembraDatabase* m_database = nullptr;
};

class TfrmInfo : public TDialogForm
{
  public:
    // SystemDB: the controller's system database (tests and the gallery
    // give their own).
    explicit TfrmInfo(TNembraDatabase* SystemDB, QWidget* parent = nullptr);
    ~TfrmInfo() override;
    std::string ClassName() const override { return "TfrmInfo"; }

    TInfoLists& Lists() { return m_lists; }
    TPageControl* pcInfo() const { return m_pages; }
    TDBGrid* Grid(TInfoList Which) const { return m_grids[Which]; }
    QPushButton* btnFilter() const { return m_btnFilter; }
    QPushButton* btnRefresh() const { return m_btnRefresh; }
    TInfoList ActiveList() const;
    // The buttons' work, each on the active page's list.
    void FilterClick();
    void RefreshClick();
    void PageChanged();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void SetBold(bool Bold);

    TNembraDatabase* m_systemDB;
    TInfoLists m_lists;
    bool m_shown = false;
    std::array<std::unique_ptr<TDataSource>, 3> m_sources;
    std::array<TDBGrid*, 3> m_grids{};
    TPageControl* m_pages = nullptr;
    QPushButton* m_btnFilter = nullptr;
    QPushButton* m_btnRefresh = nullptr;
};

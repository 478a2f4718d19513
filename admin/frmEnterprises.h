#pragma once
// `TfrmEnterprises`, the modal window "Enterprises" of the system managers:
// the enterprise list on top and, for the current enterprise, its
// facilities and database aliases side by side, each opened by its "Show"
// and closed again when another enterprise becomes current. "Details"
// opens the record dialog of a list on its data source.

#include "admin/AdminForms.h"
#include "admin/EnterpriseRules.h"
#include "platform/Forms.h"

#include <memory>
#include <string>

class QPushButton;
class TDBGrid;
class TDataSource;
class TMasterRecordDialog;
class TovnOndrelTable;

class TfrmEnterprises : public TAdminDialog
{
  public:
    explicit TfrmEnterprises(TAdminContext Context, QWidget* Parent = nullptr);
    ~TfrmEnterprises() override;
    std::string ClassName() const override { return "TfrmEnterprises"; }

    void EnterpriseRecordChanged();
    void ShowDetail(TMasterTable Table);
    void FilterClick(TMasterTable Table);
    void RefreshClick(TMasterTable Table);
    void DetailsClick(TMasterTable Table);
    TovnOndrelTable& Table(TMasterTable Table) const;
    TDataSource& Source(TMasterTable Table) const;

    std::unique_ptr<TovnOndrelTable> tblEnterprise;
    std::unique_ptr<TovnOndrelTable> tblAlias;
    std::unique_ptr<TovnOndrelTable> tblFacility;
    std::unique_ptr<TDataSource> dsEnterprise;
    std::unique_ptr<TDataSource> dsAlias;
    std::unique_ptr<TDataSource> dsFacility;

    TDBGrid* grdEnterprise;
    TDBGrid* grdFacility;
    TDBGrid* grdAlias;
    QPushButton* btnEnterpriseFilter;
    QPushButton* btnEnterpriseDetails;
    QPushButton* btnEnterpriseRefresh;
    QPushButton* btnFacilityFilter;
    QPushButton* btnFacilityDetails;
    QPushButton* btnFacilityRefresh;
    QPushButton* btnFacilityShow;
    QPushButton* btnAliasShow;
    QPushButton* btnAliasFilter;
    QPushButton* btnAliasDetails;
    QPushButton* btnAliasRefresh;

  protected:
    // The on-show set-up: binds the three tables and opens the enterprise
    // list; runs once.
    void Load() override;

  private:
    void SetDetailButtons(TMasterTable Table, const TDetailButtons& Buttons);
    void TableOpened(TMasterTable Table);
    void NewRow(TMasterTable Table);
    int32_t CurrentEnterprise() const;
    std::unique_ptr<TMasterRecordDialog> MakeDialog(TMasterTable Table);
};

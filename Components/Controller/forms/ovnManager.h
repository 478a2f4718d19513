#pragma once
// Unit ovnManager: the data-form manager (`TovnManager`), the non-visual
// component that runs an applet's record-editing form: a master query
// listed in a grid on page 0 of a page control, a detail table holding the
// one record edited on page 1, the seven command buttons (Edit, New, Clone,
// Delete, Print, Accept, Cancel) and a small filter box.
//
// It switches the form between viewing and editing, opens the detail record
// for the selected master row, posts the detail and mirrors it into the
// master row, numbers new records, deletes records on the server, applies
// the simple and the advanced filter, starts the print applet, and takes
// part in the command stack (ovnStack.h) through which another applet's
// form fills this one and receives its result.
//
// The applet's Mode selects the use: 0 browse, 1 a new record for another
// form's plus button, 2 edit one record and return, 3 show the record whose
// COUNTER is the first parameter.
//
// Control references read as none once the control is destroyed. The
// manager is created with a form's component root (FormParts.h) as owner.
// Every command but Initialize, InitializeDB, PrintClicked and
// ResetMasterDataSet does nothing unless IsDB. User-interface thread only.

#include "Components/Nembra/ovnOndrel.h"
#include "platform/Colors.h"
#include "platform/Component.h"
#include "platform/DataSource.h"
#include "platform/Guarded.h"
#include "platform/Persistent.h"
#include "platform/SysUtils.h"

#include <QAbstractButton>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <string>

class TovnApplet;
class TComboBox;
class TEdit;
class TGroupBox;
class TPageControl;
class TSpeedButton;
class TDBGrid;
class TovnGeneralControl;

KLD_DECLARE_EXCEPTION(EovnManagerError, Exception);

enum TManagerStatus
{
    msView,
    msEdit,
    msPlus,
    msNew,
    msClone,
    msCloned,
    msQuickView
};

using TOnEditRequest = std::function<void(TObject* Sender, int& Counter)>;

// The filter box's controls (references; none once destroyed).
class TSimpleFilter : public TPersistent
{
  public:
    std::string ClassName() const override { return "TSimpleFilter"; }

    TComboBox* FieldBox() const;
    void SetFieldBox(TComboBox* Value);
    TComboBox* RelatesBox() const;
    void SetRelatesBox(TComboBox* Value);
    TEdit* ValueBox() const;
    void SetValueBox(TEdit* Value);
    TGroupBox* FilterBox() const;
    void SetFilterBox(TGroupBox* Value);
    TSpeedButton* ApplyButton() const;
    void SetApplyButton(TSpeedButton* Value);
    TSpeedButton* AdvancedButton() const;
    void SetAdvancedButton(TSpeedButton* Value);

    // The apply button bold exactly while Query is simple-filtered, the
    // advanced one while it is filtered.
    void UpdateFilterButtons(TovnOndrelQuery* Query);

  private:
    QPointer<QWidget> m_fieldBox;
    QPointer<QWidget> m_relatesBox;
    QPointer<QWidget> m_valueBox;
    QPointer<QWidget> m_filterBox;
    QPointer<QWidget> m_apply;
    QPointer<QWidget> m_advanced;
};

// "Trying to create TovnManager instance without form"
extern const char* const SManagerWithoutForm;
// "Record does not exist"
extern const char* const SRecordDoesNotExist;
// "This record will be deleted"
extern const char* const SRecordWillBeDeleted;

class TovnManager : public TComponent
{
  public:
    // Owner: a form's component root, else EovnManagerError.
    explicit TovnManager(TComponent* Owner);
    ~TovnManager() override;
    std::string ClassName() const override { return "TovnManager"; }

    // --- Published settings -------------------------------------------------------
    TSimpleFilter& SimpleFilter() { return m_simpleFilter; }
    const std::string& DetailTable() const { return m_detailTable; }
    // Stored upper-cased.
    void SetDetailTable(const std::string& Value);
    TPageControl* PageBook() const;
    void SetPageBook(TPageControl* Value);
    TDBGrid* DatabaseGrid() const;
    void SetDatabaseGrid(TDBGrid* Value);
    QAbstractButton* ButtonEdit() const { return m_buttonEdit.data(); }
    void SetButtonEdit(QAbstractButton* Value) { m_buttonEdit = Value; }
    QAbstractButton* ButtonNew() const { return m_buttonNew.data(); }
    void SetButtonNew(QAbstractButton* Value) { m_buttonNew = Value; }
    QAbstractButton* ButtonClone() const { return m_buttonClone.data(); }
    void SetButtonClone(QAbstractButton* Value) { m_buttonClone = Value; }
    QAbstractButton* ButtonDelete() const { return m_buttonDelete.data(); }
    void SetButtonDelete(QAbstractButton* Value) { m_buttonDelete = Value; }
    QAbstractButton* ButtonPrint() const { return m_buttonPrint.data(); }
    void SetButtonPrint(QAbstractButton* Value) { m_buttonPrint = Value; }
    QAbstractButton* ButtonAccept() const { return m_buttonAccept.data(); }
    void SetButtonAccept(QAbstractButton* Value) { m_buttonAccept = Value; }
    QAbstractButton* ButtonCancel() const { return m_buttonCancel.data(); }
    void SetButtonCancel(QAbstractButton* Value) { m_buttonCancel = Value; }
    TDataSource* MasterDataSource() const { return m_masterSource; }
    void SetMasterDataSource(TDataSource* Value);
    TDataSource* DetailDataSource() const { return m_detailSource; }
    void SetDetailDataSource(TDataSource* Value);
    std::string RecordUser = "RECORD_USER";
    std::string RecordDateTime = "RECORD_DATE_TIME";
    bool RecordStamp = true;
    std::string TagString;
    bool IgnoreAutoCounter = false;
    std::string PrintParams;
    TNotifyEvent OnBeforeQueryOpen;
    TNotifyEvent OnAfterQueryOpen;
    TOnEditRequest OnEditRequest;

    // --- Run-time state -------------------------------------------------------------
    TManagerStatus Status() const { return m_status; }
    // For form code that runs the steps itself (EnableDetail acts by it).
    void SetStatus(TManagerStatus Value) { m_status = Value; }
    // Written by the command stack's cm_SetData, read by its cm_Return.
    std::string ReturnValue;
    // Set by applet code: InitializeDB neither opens the master nor lists
    // its fields.
    bool SkipMasterOpen = false;
    bool IsDB() const;
    // The owner form, the sending form (none once destroyed) and the applet.
    QWidget* Form() const { return m_form.data(); }
    QWidget* SendingForm() const { return m_sender.data(); }
    TovnApplet* Applet() const;
    TovnOndrelQuery* MasterQuery() const { return m_master; }
    TovnOndrelTable* DetailQuery() const { return m_detail; }

    // --- Operations ------------------------------------------------------------------
    void Initialize(TovnApplet* Applet);
    void InitializeDB();
    void EditClicked();
    void NewClicked();
    void CloneClicked();
    void DeleteClicked();
    void PrintClicked();
    void AcceptClicked();
    void CancelClicked();
    void PageChanging(bool& AllowChange);
    void SlaveClicked(TObject* Sender);
    void DoSimpleFilter();
    void AdvanceFilter();
    void RefreshLookup();
    void ResetToView();
    void EnableDetail();
    void RestoreReadOnly();
    void PostDetail();
    void PostMaster();
    void ResetMasterDataSet(TovnOndrelQuery* Query);
    void FormCloseQuery(bool& CanClose) {}
    void FormShow() {}
    // Posts WM_CLOSE to the window of the applet's host form.
    void ClosePapa();

  protected:
    void Notification(TComponent* Component, TOperation Operation) override;

  private:
    void InitCombos();
    // The form's family members taking part in the view/edit switching.
    std::vector<TovnGeneralControl*> TemplateControls() const;
    void SetFilterBoxEnabled(bool Value);
    void SetModified(bool Value);
    int AppletMode() const;
    // Closes the detail, sets its first parameter to Counter and opens it.
    void OpenDetail(int Counter);
    // The detail's Where with the record condition, and its parameter. The
    // condition is added once: a Where still as this left it stays.
    void PrepareDetailWhere();
    void DetailNewRecord(TDataSet* DataSet);
    void AppendRecords();
    void RestoreMarkedValues();
    int MasterCounter() const;
    void ShowRecordMissing();

    TSimpleFilter m_simpleFilter;
    std::string m_detailTable;
    QPointer<QWidget> m_pageBook;
    QPointer<QWidget> m_grid;
    QPointer<QAbstractButton> m_buttonEdit, m_buttonNew, m_buttonClone, m_buttonDelete, m_buttonPrint,
        m_buttonAccept, m_buttonCancel;
    TDataSource* m_masterSource = nullptr;
    TDataSource* m_detailSource = nullptr;

    QPointer<QWidget> m_form;
    QPointer<QWidget> m_sender;
    TGuardedPtr<TovnApplet> m_applet;
    TovnOndrelQuery* m_master = nullptr;
    TovnOndrelTable* m_detail = nullptr;
    TDataSetNotifyEvent m_previousNewRecord;
    bool m_newRecordTaken = false;
    // The detail whose Where was last given the record condition, and that
    // Where as it was written (trimmed).
    TovnOndrelTable* m_wrappedDetail = nullptr;
    std::string m_wrappedWhere;
    TManagerStatus m_status = msView;
    TColor m_gridColor = 0xFFFFFF;
    bool m_ready = false;
};

#pragma once
// What the administration dialogs share: the statements of their remote
// datasets from line lists, the grid columns, the viewing and editing modes
// of the record dialogs with their locked controls (Tag 100), handlers
// that show a failure in the standard error box, and the dialogs that load
// their data once, when first shown.

#include "admin/AdminContext.h"
#include "admin/UserListRules.h"
#include "platform/Forms.h"

#include <QPushButton>
#include <QWidget>

#include <functional>
#include <string>
#include <utility>
#include <vector>

class TDataSet;
class TNembraQuery;
class TStrings;

// Lines into a string list, replacing what it held.
void SetLines(TStrings& Strings, const TLines& Lines);
// A query's schema: select, from, where and order lines.
void SetSchema(TNembraQuery& Query, const TLines& Select, const TLines& From, const TLines& Where,
               const std::string& OrderBy);
// A query sent as SQL text.
void SetSQLText(TNembraQuery& Query, const TLines& Lines);
// The grid's columns: these fields in this order with these captions, every
// other field hidden.
void ShowColumns(TDataSet& DataSet, const std::vector<std::pair<std::string, std::string>>& Columns);
// A field's text; '' for a missing field.
std::string FieldText(const TDataSet& DataSet, const std::string& Name);
// Writes values into fields by name (texts, as the field converts them).
void SetFields(TDataSet& DataSet, const TFieldValues& Values);

// Runs Fn; a failure shows in the standard error box.
void Guarded(const std::function<void()>& Fn);
// A button whose click runs Fn guarded.
QPushButton* MakeAction(QWidget* Parent, const std::string& Caption, const std::function<void()>& Fn);

// A control never enabled by the editing mode.
constexpr int LockedTag = 100;
void SetTag(QWidget* Control, int Tag);
int Tag(const QWidget* Control);

// The data controls of a record dialog in viewing (all disabled) or
// editing mode (all enabled but the locked ones).
void SetDataControlsMode(const std::vector<QWidget*>& Controls, bool Editing);

// A dialog that loads its data once: on its first showing, or on the first
// call of FormShow when a test or a picture loads it without showing. A
// failure of the load on show goes to the standard error box; the load is
// not tried again.
class TLoadOnShowDialog : public TDialogForm
{
  public:
    // Loads the dialog unless it has loaded already.
    void FormShow();

  protected:
    explicit TLoadOnShowDialog(QWidget* Parent) : TDialogForm(Parent) {}

    // The dialog's own loading.
    virtual void Load() = 0;
    // Whether showing loads: a dialog made without what it loads from (one
    // shown for its looks) stays empty.
    virtual bool CanLoad() const { return true; }

    void showEvent(QShowEvent* Event) override;

  private:
    bool m_shown = false;
};

// An administration dialog working in the signed-in administrator's
// context; shown without a system database it loads nothing.
class TAdminDialog : public TLoadOnShowDialog
{
  public:
    const TAdminContext& Context() const { return m_context; }

  protected:
    TAdminDialog(TAdminContext Context, QWidget* Parent);

    bool CanLoad() const override { return m_context.SysDB != nullptr; }

  private:
    TAdminContext m_context;
};

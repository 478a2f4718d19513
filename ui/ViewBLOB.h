#pragma once
// Unit ViewBLOB: `ShowBlob` shows the text of a large field in the modal
// `TfrmBlobView` and saves it to a file. Text kinds only (string, memo,
// formatted memo, fixed-length string, Oracle BLOB and CLOB); any other
// field, a closed dataset or none gives the empty viewer with its actions
// disabled.

#include "platform/DBCtrls.h"
#include "platform/DataSource.h"
#include "platform/Forms.h"

#include <functional>
#include <string>

class QAction;
class QActionGroup;
class QToolBar;
class TField;

class TfrmBlobView : public TDialogForm
{
  public:
    explicit TfrmBlobView(QWidget* Parent = nullptr);
    ~TfrmBlobView() override;
    std::string ClassName() const override { return "TfrmBlobView"; }

    // Shows Field when it is accepted; otherwise empties the viewer.
    void SetField(TField* Value);
    TField* Field() const { return m_field; }
    // Writes the field's contents to FileName through the dataset's BLOB
    // stream (a string or fixed-length field writes its text). Raises on a
    // file that cannot be written.
    void SaveFieldToFile(const std::string& FileName);

    TDataSource* dsBlob;
    TDBMemo* Memo;
    QToolBar* ToolBar;
    QAction* actSaveToFile;
    QAction* actShowAsText;
    QAction* actShowAsImage;
    // Asks for the file to save to (the save dialog); false when cancelled.
    std::function<bool(std::string& FileName)> ExecuteSaveDialog;

  private:
    void SaveToFileExecute();

    TField* m_field = nullptr;
    QActionGroup* m_group;
};

// Whether the viewer shows Field: not nil, its dataset open, a text kind.
bool BlobViewAccepts(TField* Field);

void ShowBlob(TField* Field);

#pragma once
// Unit ovnBox: `ovnInputBox` asks for one line of text in the modal
// `TfrmInputQuery` (OK by button or Enter: Tag 100; otherwise 0).

#include "platform/Forms.h"
#include "platform/Mask.h"
#include "platform/StdCtrls.h"

#include <string>

class QPushButton;

class TfrmInputQuery : public TDialogForm
{
  public:
    explicit TfrmInputQuery(QWidget* Parent = nullptr);
    std::string ClassName() const override { return "TfrmInputQuery"; }

    TLabel* lbl;
    TMaskEdit* edt;
    QPushButton* btnOK;
    QPushButton* btnCancel;
};

// Caption is the form's caption, Prompt the label, Value the edit's start
// text. After OK Value is the edit's text and the answer True; otherwise
// Value is unchanged and the answer False.
bool ovnInputBox(const std::string& Caption, const std::string& Prompt, std::string& Value);

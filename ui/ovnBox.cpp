#include "ui/ovnBox.h"

#include <QApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include <memory>

TfrmInputQuery::TfrmInputQuery(QWidget* Parent) : TDialogForm(Parent)
{
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    SetPosition(poMainFormCenter);
    lbl = new TLabel(this);
    edt = new TMaskEdit(this);
    lbl->SetFocusControl(edt);
    btnOK = MakeButton("&OK", mrNone, true);
    btnCancel = MakeButton("&Cancel", mrCancel, false, true);
    QObject::connect(btnOK, &QPushButton::clicked, this, [this] {
        Tag = 100;
        SetModalResult(mrOk);
    });
    auto* strip = new QFrame(this);
    strip->setFrameShape(QFrame::StyledPanel);
    strip->setFrameShadow(QFrame::Raised);
    strip->setLayout(MakeButtonRow({btnOK, btnCancel}));
    auto* body = new QVBoxLayout(this);
    body->addWidget(lbl);
    body->addWidget(edt);
    body->addWidget(strip);
    resize(330, 120);
}

bool ovnInputBox(const std::string& Caption, const std::string& Prompt, std::string& Value)
{
    auto form = std::make_unique<TfrmInputQuery>(QApplication::activeWindow());
    form->setWindowTitle(QString::fromStdString(Caption));
    form->lbl->SetCaption(Prompt);
    form->edt->SetText(Value);
    form->edt->SetAutoSelect(true);
    form->edt->setFocus();
    form->Tag = 0;
    form->ShowModal();
    if (form->Tag != 100)
        return false;
    Value = form->edt->Text();
    return true;
}

#include "ui/ViewBLOB.h"

#include "platform/DataSet.h"
#include "platform/Fields.h"
#include "platform/Streams.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QFileDialog>
#include <QToolBar>
#include <QVBoxLayout>

#include <memory>

bool BlobViewAccepts(TField* Field)
{
    if (!Field || !Field->DataSet() || !Field->DataSet()->Active())
        return false;
    switch (Field->DataType()) {
    case ftString:
    case ftMemo:
    case ftFmtMemo:
    case ftFixedChar:
    case ftOraBlob:
    case ftOraClob:
        return true;
    default:
        return false;
    }
}

TfrmBlobView::TfrmBlobView(QWidget* Parent) : TDialogForm(Parent)
{
    setWindowTitle(QStringLiteral("BLOB"));
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    setSizeGripEnabled(true);
    SetPosition(poMainFormCenter);
    dsBlob = new TDataSource();
    ToolBar = new QToolBar(this);
    Memo = new TDBMemo(this);
    Memo->SetDataSource(dsBlob);
    Memo->SetScrollBars(ssBoth);
    Memo->SetWordWrap(false);
    actSaveToFile = new QAction(QStringLiteral("Save to File..."), this);
    actSaveToFile->setToolTip(QStringLiteral("Save to File"));
    actShowAsText = new QAction(QStringLiteral("Show as Text"), this);
    actShowAsImage = new QAction(QStringLiteral("Show as Image"), this);
    m_group = new QActionGroup(this);
    for (QAction* a : {actShowAsText, actShowAsImage}) {
        a->setCheckable(true);
        m_group->addAction(a);
    }
    actShowAsText->setChecked(true);
    ToolBar->addAction(actSaveToFile);
    QObject::connect(actSaveToFile, &QAction::triggered, this, [this] {
        try {
            SaveToFileExecute();
        } catch (...) {
            ShowCurrentException();
        }
    });
    ExecuteSaveDialog = [this](std::string& FileName) {
        const QString name = QFileDialog::getSaveFileName(this, QStringLiteral("Save As"));
        if (name.isEmpty())
            return false;
        FileName = name.toStdString();
        return true;
    };
    auto* body = new QVBoxLayout(this);
    body->setContentsMargins(0, 0, 0, 0);
    body->setSpacing(0);
    body->addWidget(ToolBar);
    body->addWidget(Memo, 1);
    resize(520, 380);
    SetField(nullptr);
}

TfrmBlobView::~TfrmBlobView()
{
    Memo->SetDataSource(nullptr);
    delete dsBlob;
}

void TfrmBlobView::SetField(TField* Value)
{
    if (BlobViewAccepts(Value)) {
        m_field = Value;
        dsBlob->SetDataSet(Value->DataSet());
        actShowAsText->setChecked(true);
        Memo->SetDataField(Value->FieldName());
        Memo->show();
    } else {
        m_field = nullptr;
        Memo->SetDataField("");
        dsBlob->SetDataSet(nullptr);
        Memo->SetText("");
    }
    for (QAction* a : {actSaveToFile, actShowAsText, actShowAsImage})
        a->setEnabled(m_field != nullptr);
}

void TfrmBlobView::SaveFieldToFile(const std::string& FileName)
{
    if (!m_field || m_field->IsNull())
        return;
    if (auto* blob = dynamic_cast<TBlobField*>(m_field)) {
        blob->SaveToFile(FileName);
        return;
    }
    const std::string text = m_field->AsString();
    TFileStream file(FileName, fmCreate);
    file.WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
}

void TfrmBlobView::SaveToFileExecute()
{
    if (!m_field || m_field->IsNull())
        return;
    std::string fileName;
    if (!ExecuteSaveDialog || !ExecuteSaveDialog(fileName))
        return;
    SaveFieldToFile(fileName);
}

void ShowBlob(TField* Field)
{
    auto form = std::make_unique<TfrmBlobView>(QApplication::activeWindow());
    form->SetField(Field);
    form->ShowModal();
}

#include "Components/Controller/Debug.h"

#include "platform/DataSet.h"
#include "platform/StdCtrls.h"
#include "platform/StringList.h"

#include <QGridLayout>
#include <QStringList>
#include <QVBoxLayout>

#include <memory>

TfrmDebug::TfrmDebug(QWidget* parent) : TDialogForm(parent)
{
    setObjectName("frmDebug");
    resize(463, 296);
    setFont(QFont("MS Sans Serif", 8));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    // The grid and the memo share the client area; the memo is hidden.
    DBGrid1 = new TDBGrid(this);
    DBGrid1->setObjectName("DBGrid1");
    DBGrid1->SetDataSource(&DataSource1);
    layout->addWidget(DBGrid1, 1);
    Memo = new QPlainTextEdit(this);
    Memo->setObjectName("Memo");
    Memo->setReadOnly(true);
    Memo->hide();
    layout->addWidget(Memo, 1);

    auto* bottom = new QWidget(this);
    bottom->setObjectName("pnlBottom");
    bottom->setFixedHeight(61);
    layout->addWidget(bottom);

    auto* grid = new QGridLayout(bottom);
    grid->setContentsMargins(8, 6, 8, 8);
    lblF = new TPlainLabel("Filtered", bottom);
    lblF->setObjectName("lblF");
    lblF->setFont(QFont("Arial", 9));
    grid->addWidget(lblF, 0, 0);
    lblFT = new TPlainLabel(bottom);
    lblFT->setObjectName("lblFT");
    grid->addWidget(lblFT, 0, 1, 1, 2);

    DBNavigator1 = new TDBNavigator(bottom);
    DBNavigator1->setObjectName("DBNavigator1");
    DBNavigator1->SetDataSource(&DataSource1);
    DBNavigator1->SetEnabled(false);
    grid->addWidget(DBNavigator1, 1, 0, 1, 2, Qt::AlignLeft);

    // At the right edge however the window is sized.
    btnClose = MakeButton("&Close", mrOk);
    btnClose->setObjectName("btnClose");
    btnClose->setFixedSize(75, 25);
    grid->addWidget(btnClose, 1, 2, Qt::AlignRight);
    grid->setColumnStretch(1, 1);
}

TfrmDebug::~TfrmDebug()
{
    // Let go of the dataset before the links go.
    DBGrid1->SetDataSource(nullptr);
    DBNavigator1->SetDataSource(nullptr);
    DataSource1.SetDataSet(nullptr);
}

void TfrmDebug::ShowDataSet(TDataSet* DataSet)
{
    DataSource1.SetDataSet(DataSet);
    setWindowTitle(QString::fromStdString("View of: " + DataSet->Name()));
    DBNavigator1->SetEnabled(true);
    if (DataSet->Filtered()) {
        lblF->setText("Filtered ");
        lblF->setStyleSheet("color: red");
        lblFT->setText(QString::fromStdString(DataSet->Filter()));
    } else {
        lblF->clear();
        lblFT->clear();
    }
}

void TfrmDebug::ShowStrings(const TStrings& Strings)
{
    DBGrid1->hide();
    DBNavigator1->hide();
    lblF->clear();
    lblFT->clear();
    // One memo line per list line: the list's Text ends every line with a
    // break, which the memo would show as one more, empty line.
    QStringList lines;
    for (int i = 0; i < Strings.Count(); ++i)
        lines.append(QString::fromStdString(Strings.Strings(i)));
    Memo->setPlainText(lines.join(QLatin1Char('\n')));
    Memo->show();
}

void _DebugDataset(TDataSet* DataSet)
{
    if (!DataSet)
        return;
    auto form = std::make_unique<TfrmDebug>();
    form->ShowDataSet(DataSet);
    form->ShowModal();
}

void _DebugStrings(const TStrings* Strings)
{
    if (!Strings)
        return;
    auto form = std::make_unique<TfrmDebug>();
    form->ShowStrings(*Strings);
    form->ShowModal();
}

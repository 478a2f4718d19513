#include "ui/ovnCalendar.h"

#include "platform/DBCtrls.h"
#include "platform/DataSet.h"
#include "platform/DateUtils.h"
#include "platform/Fields.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QVBoxLayout>

#include <memory>

TfrmCalendar::TfrmCalendar(QWidget* Parent) : TDialogForm(Parent)
{
    setWindowTitle(QStringLiteral("Calendar"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    SetPosition(poMainFormCenter);
    cal = new QCalendarWidget(this);
    cal->setGridVisible(false);
    cal->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    pnlBottom = new QWidget(this);
    btnOk = MakeButton("Ok", mrNone);
    btnCancel = MakeButton("Cancel", mrNone);
    btnClear = MakeButton("Clear", mrNone);
    edtTime = new TMaskEdit(pnlBottom);
    edtTime->SetEditMask("!99:99 >ll;1; ");
    edtTime->SetMaxLength(8);
    edtTime->setFixedWidth(70);
    edtTime->hide();
    auto* row = new QHBoxLayout(pnlBottom);
    row->setContentsMargins(4, 4, 4, 4);
    row->addWidget(edtTime);
    row->addStretch();
    row->addWidget(btnOk);
    row->addWidget(btnCancel);
    row->addWidget(btnClear);
    auto* body = new QVBoxLayout(this);
    body->setContentsMargins(0, 0, 0, 0);
    body->setSpacing(0);
    body->addWidget(cal, 1);
    body->addWidget(pnlBottom);

    QObject::connect(btnOk, &QPushButton::clicked, this, [this] { Choose(); });
    QObject::connect(btnCancel, &QPushButton::clicked, this, [this] {
        Tag = 0;
        SetModalResult(mrCancel);
    });
    QObject::connect(btnClear, &QPushButton::clicked, this, [this] {
        Tag = 100;
        SetModalResult(mrOk);
    });
    // A double click on a day (or Enter in the grid) chooses while OK shows.
    QObject::connect(cal, &QCalendarWidget::activated, this, [this](QDate) {
        if (!m_viewOnly)
            Choose();
    });
}

void TfrmCalendar::Choose()
{
    if (m_viewOnly)
        return;
    Tag = 200;
    SetModalResult(mrOk);
}

void TfrmCalendar::SetViewOnly()
{
    m_viewOnly = true;
    btnOk->hide();
    btnClear->hide();
    btnCancel->setText(QStringLiteral("Close"));
}

void TfrmCalendar::keyPressEvent(QKeyEvent* Event)
{
    // The form sees the keys first (key preview).
    if (Event->key() == Qt::Key_Return || Event->key() == Qt::Key_Enter) {
        Event->accept();
        Choose();
        return;
    }
    if (Event->key() == Qt::Key_Escape) {
        Event->accept();
        Tag = 0;
        SetModalResult(mrCancel);
        return;
    }
    TDialogForm::keyPressEvent(Event);
}

std::string CalendarToolMask(TLookupTool Tool)
{
    switch (Tool) {
    case TLookupTool::ltCalendarDate:
        return "!99/99/9999;1; ";
    case TLookupTool::ltCalendarDateTime:
        return "!99/99/9999 !99:99 >ll;1; ";
    case TLookupTool::ltCalendarPeriod:
        return "!9999/99;1; ";
    case TLookupTool::ltNone:
        break;
    }
    return "";
}

std::string CalendarToolBlankText(TLookupTool Tool)
{
    switch (Tool) {
    case TLookupTool::ltCalendarDate:
    case TLookupTool::ltCalendarDateTime:
        return "  /  /    ";
    case TLookupTool::ltCalendarPeriod:
        return "    /  ";
    case TLookupTool::ltNone:
        break;
    }
    return "";
}

namespace {
void WriteChoice(TCustomEdit& Edit, TLookupTool Tool, TDateTime Day, const std::string& Time)
{
    const std::string text = DateToStr(Day);
    switch (Tool) {
    case TLookupTool::ltCalendarPeriod:
        // MM/DD/YYYY: characters 7 to 10 are the year, 1 to 2 the month.
        Edit.SetText(text.substr(std::min<size_t>(6, text.size()), 4) + "/" + text.substr(0, 2));
        break;
    case TLookupTool::ltCalendarDate:
        Edit.SetText(text);
        break;
    case TLookupTool::ltCalendarDateTime:
        Edit.SetText(text + " " + Time);
        break;
    case TLookupTool::ltNone:
        break;
    }
}

void Clear(TCustomEdit& Edit, TLookupTool Tool)
{
    const std::string mask = CalendarToolMask(Tool);
    if (Tool != TLookupTool::ltNone)
        Edit.SetText(CalendarToolBlankText(Tool));
    if (auto* dbEdit = dynamic_cast<TDBEdit*>(&Edit)) {
        TField* field = dbEdit->Field();
        if (!field)
            return;
        // The field is written only when its dataset can be put into edit
        // state; otherwise the edit shows the field's value again.
        if (!dbEdit->DataLink().Edit()) {
            dbEdit->DataLink().Reset();
            return;
        }
        field->SetEditMask(mask);
        field->Clear();
        return;
    }
    if (auto* maskEdit = dynamic_cast<TMaskEdit*>(&Edit))
        maskEdit->SetEditMask(mask);
}
} // namespace

void PrepareCalendar(TfrmCalendar& Form, TLookupTool Tool, bool HasEdit)
{
    Form.cal->setSelectedDate(QDate::currentDate());
    if (Tool == TLookupTool::ltCalendarDateTime) {
        Form.edtTime->show();
        // "hh:nn am/pm" fits the time edit's mask "!99:99 >ll".
        Form.edtTime->SetText(FormatDateTime("hh:nn am/pm", Now()));
    }
    if (!HasEdit)
        Form.SetViewOnly();
    Form.Tag = 0;
}

bool runCalendar(TCustomEdit* Edit, TLookupTool Tool)
{
    auto form = std::make_unique<TfrmCalendar>(QApplication::activeWindow());
    PrepareCalendar(*form, Tool, Edit != nullptr);
    form->ShowModal();
    if (!Edit)
        return false;
    switch (form->Tag) {
    case 200: {
        const QDate d = form->cal->selectedDate();
        WriteChoice(*Edit, Tool, EncodeDate(d.year(), d.month(), d.day()), form->edtTime->Text());
        return true;
    }
    case 100:
        Clear(*Edit, Tool);
        return true;
    default:
        return false;
    }
}

namespace {

TCalendarHandler& CalendarHandler()
{
    static TCalendarHandler handler;
    return handler;
}

} // namespace

TCalendarHandler SetControllerCalendar(TCalendarHandler Value)
{
    TCalendarHandler previous = std::move(CalendarHandler());
    CalendarHandler() = std::move(Value);
    return previous;
}

bool ControllerCalendar(TCustomEdit* Edit, TLookupTool Tool)
{
    const TCalendarHandler handler = CalendarHandler();
    if (!handler)
        throw Exception("No controller calendar is registered");
    return handler(Edit, Tool);
}

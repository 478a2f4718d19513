#include "Components/Controller/ovnSendLogDlg.h"

#include "Components/Controller/mainwindow/OrvaneBrowser4.h"
#include "Components/Controller/ovnController.h"
#include "platform/StdCtrls.h"
#include "platform/Threads.h"

#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <cmath>

namespace {

// Day 0 of TDateTime.
const QDate DateBase(1899, 12, 30);

QDate ToQDate(TDateTime Value)
{
    return DateBase.addDays(static_cast<qint64>(std::floor(Value)));
}

TDateTime FromQDate(const QDate& Value)
{
    return static_cast<TDateTime>(DateBase.daysTo(Value));
}

} // namespace

TovnSendLogDlg::TovnSendLogDlg(QWidget* parent) : TDialogForm(parent)
{
    setObjectName("ovnSendLogDlg");
    setWindowTitle(QStringLiteral("Submit Log"));
    SetPosition(poMainFormCenter);

    m_dtpDate = new QDateEdit(this);
    m_dtpDate->setObjectName("dtpDate");
    m_dtpDate->setCalendarPopup(true);
    m_dtpDate->setDisplayFormat(QLocale().dateFormat(QLocale::ShortFormat));
    m_udDays = new QSpinBox(this);
    m_udDays->setObjectName("udDays");
    m_udDays->setRange(1, 100);
    m_udDays->setWrapping(false);
    m_lblResult = new TPlainLabel(QStringLiteral("The log has been submitted succesfully"), this);
    m_lblResult->setObjectName("lblResult");
    QFont bold = m_lblResult->font();
    bold.setBold(true);
    m_lblResult->setFont(bold);
    m_lblResult->setAlignment(Qt::AlignCenter);
    m_lblResult->hide();
    m_btnSubmit = MakeButton("&Submit", mrNone, true);
    connect(m_btnSubmit, &QPushButton::clicked, this, [this] { btnSubmitClick(); });
    m_btnClose = MakeButton("Close", mrCancel, false, true);

    auto* fields = new QGridLayout;
    fields->addWidget(new TPlainLabel(QStringLiteral("Submit log for"), this), 0, 0);
    fields->addWidget(m_dtpDate, 0, 1, 1, 2);
    fields->addWidget(new TPlainLabel(QStringLiteral("Log goes back "), this), 1, 0);
    fields->addWidget(m_udDays, 1, 1);
    fields->addWidget(new TPlainLabel(QStringLiteral("day(s)"), this), 1, 2);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addWidget(m_lblResult);
    layout->addLayout(MakeButtonRow({m_btnSubmit, m_btnClose}));
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

TovnSendLogDlg::~TovnSendLogDlg() = default;

void TovnSendLogDlg::Execute(TDateTime Date, int32_t Days, TSendLogCallback Callback)
{
    TovnSendLogDlg dialog(ApplicationMainForm());
    dialog.Setup(Date, Days, std::move(Callback));
    dialog.ShowModal();
}

void TovnSendLogDlg::Setup(TDateTime Date, int32_t Days, TSendLogCallback Callback)
{
    m_dtpDate->setDate(ToQDate(Date));
    m_udDays->setValue(Days < 1 ? 1 : Days);
    m_callback = std::move(Callback);
    m_lblResult->hide();
}

TDateTime TovnSendLogDlg::LogDate() const
{
    return FromQDate(m_dtpDate->date());
}

int32_t TovnSendLogDlg::LogDays() const
{
    return m_udDays->value();
}

void TovnSendLogDlg::btnSubmitClick()
{
    if (!m_callback)
        return;
    try {
        m_callback(LogDate(), LogDays());
    } catch (...) {
        // The click is the boundary; the dialog stays ready for another try.
        ReportCurrentException(ClassName());
        return;
    }
    m_lblResult->show();
    for (QWidget* w : {static_cast<QWidget*>(m_udDays), static_cast<QWidget*>(m_dtpDate),
                       static_cast<QWidget*>(m_btnSubmit)})
        w->setEnabled(false);
}

#include "Components/Controller/mainwindow/frmAbout.h"

#include "Components/Controller/mainwindow/OrvaneBrowser4.h"
#include "Components/Controller/ovnController.h"
#include "platform/DateUtils.h"
#include "platform/StdCtrls.h"
#include "platform/SysUtils.h"

#include <QApplication>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int PictureWidth = 320;
constexpr int PictureHeight = 96;

} // namespace

std::string AboutVersionText(const TovnVersionInfo& Info)
{
    return Format("Version %s (Build %s, %s)",
                  Info.ProductVersion, Info.FileVersion, FormatDateTime("mm/dd/yyyy hh:nn", Info.FileDate));
}

std::string AboutOwnershipText(int32_t Brand, const TovnVersionInfo& Info)
{
    const int lastYear = Info.FileDate > 0 ? YearOf(Info.FileDate) : YearOf(Now());
    const char* holder = Brand == 0 ? "Orvane Software" : "Tallowin";
    return Format("Copyright \xc2\xa9 %d-%d %s. All rights reserved.", AboutFirstYear, lastYear, holder);
}

QPixmap AboutBrandPicture(int32_t Brand)
{
    QPixmap picture(PictureWidth, PictureHeight);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    const bool orvane = Brand == 0;
    QLinearGradient fill(0, 0, PictureWidth, PictureHeight);
    fill.setColorAt(0, orvane ? QColor(0x20, 0x59, 0xC6) : QColor(0x1F, 0x7A, 0x5C));
    fill.setColorAt(1, orvane ? QColor(0x6F, 0xA8, 0xF0) : QColor(0x8C, 0xCF, 0x9E));
    p.fillRect(picture.rect(), fill);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 200));
    p.drawEllipse(QRectF(18, 20, 56, 56));
    p.setBrush(fill);
    p.drawEllipse(QRectF(32, 34, 28, 28));
    QFont font = QApplication::font();
    font.setPixelSize(34);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRect(90, 0, PictureWidth - 98, PictureHeight - 22), Qt::AlignBottom | Qt::AlignLeft,
               orvane ? QStringLiteral("Orvane") : QStringLiteral("Tallowin"));
    font.setPixelSize(13);
    font.setBold(false);
    p.setFont(font);
    p.drawText(QRect(92, PictureHeight - 22, PictureWidth - 98, 18), Qt::AlignTop | Qt::AlignLeft,
               orvane ? QStringLiteral("Browser") : QStringLiteral("Care, planned"));
    return picture;
}

TfrmAbout::TfrmAbout(int32_t Brand, const TovnVersionInfo& Info, QWidget* parent) : TDialogForm(parent)
{
    setObjectName("frmAbout");
    setWindowTitle(QStringLiteral("About"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    SetPosition(poScreenCenter);
    auto picture = [this](int32_t brand) {
        auto* label = new TPlainLabel(this);
        label->setObjectName(brand == 0 ? "imgBrand0" : "imgBrand1");
        label->setPixmap(AboutBrandPicture(brand));
        return label;
    };
    m_imgBrand0 = picture(0);
    m_imgBrand1 = picture(1);
    m_imgBrand0->setVisible(Brand == 0);
    m_imgBrand1->setVisible(Brand == 1);
    m_lblVersion = new TPlainLabel(QString::fromStdString(AboutVersionText(Info)), this);
    m_lblVersion->setObjectName("lblVersion");
    m_lblOwnership = new TPlainLabel(QString::fromStdString(AboutOwnershipText(Brand, Info)), this);
    m_lblOwnership->setObjectName("lblOwnership");
    QPushButton* ok = MakeButton("OK", mrOk, true, true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_imgBrand0);
    layout->addWidget(m_imgBrand1);
    layout->addWidget(m_lblVersion);
    layout->addWidget(m_lblOwnership);
    layout->addLayout(MakeButtonRow({ok}));
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

TfrmAbout::~TfrmAbout() = default;

void TfrmAbout::Execute(QWidget* parent)
{
    TfrmAbout about(AppBrand, ProgramVersionInfo(), parent);
    about.ShowModal();
}

// The "System Information" dialog on each of its pages, over a sample
// program folder and cache (no server: the network page shows a test's
// block as the rules write it).

#include "tools/gallery/GallerySamples.h"

#include "Components/Nembra/NembraFileCache.h"
#include "admin/frmNETHealth.h"
#include "platform/DateUtils.h"

#include <QFile>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTemporaryDir>

namespace {

void WriteSample(const QString& fileName, const QByteArray& bytes)
{
    QFile file(fileName);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
}

struct TSampleFolders
{
    QTemporaryDir Program;
    QTemporaryDir Cache;
    TNembraFileCache FileCache;
    TSampleFolders()
    {
        WriteSample(Program.filePath("Tallowin"), QByteArray(48213, 'x'));
        WriteSample(Program.filePath("libMirabo.so"), QByteArray(1873402, 'y'));
        WriteSample(Program.filePath("Swaplet"), QByteArray(20117, 'z'));
        WriteSample(Program.filePath("version.txt"), "version=2026.12.1\n");
        WriteSample(Cache.filePath("logo.png"), QByteArray(5310, 'l'));
        WriteSample(Cache.filePath("residents.zip"), QByteArray(88120, 'r'));
        FileCache.AddResourceFile("LOGO", "logo.png");
        FileCache.AddResourceFile("RESIDENTS", "residents.zip");
        FileCache.AddResourceFile("HELP", "help.zip");
    }
};

TSampleFolders& Folders()
{
    static TSampleFolders folders;
    return folders;
}

QWidget* MakeSystemInfo(QWidget* parent)
{
    TNETHealthContext context;
    context.Brand = 1;
    context.ProgramFile = Folders().Program.filePath("Tallowin").toStdString();
    context.BrowserVersion = "120.0.6099";
    context.CacheFolder = Folders().Cache.path().toStdString() + "/";
    context.Cache = &Folders().FileCache;
    context.CacheURI = "vrs://resources";
    context.UpdateURL = "http://localhost:8080";
    context.ConnectionName = "MAIN";
    context.ServerURL = "https://localhost:8443/bin/orvane.dll";
    context.VNSHost = "localhost";
    context.VNSPort = "8090";
    auto* form = new TfrmNETHealth(context, parent);
    form->setWindowFlags(Qt::Widget);
    return form;
}

std::vector<std::pair<std::string, QImage>> ShowPages(QWidget* control)
{
    auto* form = static_cast<TfrmNETHealth*>(control);
    std::vector<std::pair<std::string, QImage>> pictures;
    form->pcMain()->setCurrentIndex(nhResources);
    pictures.emplace_back("system-info-resources", form->grab().toImage());
    form->pcMain()->setCurrentIndex(nhNetwork);
    QStringList lines;
    for (const std::string& line : NetTestLines({12, 85, 140}, EncodeDateTime(2026, 12, 11, 8, 30, 0, 0), true))
        lines << QString::fromStdString(line);
    form->mmResult()->setPlainText(lines.join('\n'));
    pictures.emplace_back("system-info-network", form->grab().toImage());
    form->pcMain()->setCurrentIndex(nhKernel);
    return pictures;
}

const TGalleryRegistration SystemInfo{{"system-info", QSize(620, 420), MakeSystemInfo, ShowPages}};

} // namespace

#include "Components/Controller/update/KernelUpdateForm.h"

#include "Components/Controller/files/KldSciZipFile.h"
#include "Components/Controller/files/ovnUtils.h"
#include "Components/Controller/mainwindow/OrvaneBrowser4.h"
#include "Components/Controller/ovnController.h"
#include "Components/Nembra/NembraClient.h"
#include "base/KldLogFile.h"
#include "base/KldProgress.h"
#include "platform/Dialogs.h"
#include "platform/FileUtils.h"
#include "platform/Processes.h"
#include "platform/StdCtrls.h"
#include "platform/Streams.h"
#include "platform/StringList.h"
#include "platform/SysUtils.h"
#include "platform/Threads.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include <sys/stat.h>

const char* const UpdateHelperFileName = "Swaplet";

namespace {

const char* const LogSource = "UPDATE";
const char* const VersionFileName = "version.txt";
const char* const BackupFileName = "ov4backup.zip";
const char* const OldBackupFileName = "todelete-ov4backup.zip";

// The permission bits of a file (0 when they cannot be read).
uint32_t FileMode(const std::string& FileName)
{
    struct stat st
    {
    };
    return ::stat(FileName.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

// The file's type and permission bits, as Unix zip tools keep them in the
// high 16 bits of a member's external attributes.
uint32_t UnixMemberAttributes(const std::string& FileName)
{
    struct stat st
    {
    };
    return ::stat(FileName.c_str(), &st) == 0 ? (static_cast<uint32_t>(st.st_mode) & 0xFFFF) << 16 : 0;
}

void SetFileMode(const std::string& FileName, uint32_t Mode)
{
    if (::chmod(FileName.c_str(), Mode) != 0)
        throw EInOutError(Format("Cannot set the permissions of \"%s\"", FileName));
}

void MakeFolder(const std::string& Path)
{
    if (!ForceDirectories(Path))
        throw EInOutError(Format("Cannot create folder \"%s\"", Path));
}

bool ExcludedFromBackup(const std::string& Name)
{
    const std::string upper = UpperCase(Name);
    return upper.rfind("UNINS", 0) == 0 || upper.rfind("$UPDATE$", 0) == 0;
}

} // namespace

TUpdateOffer ReadUpdateOffer(const std::string& Text, const std::string& DefaultSetup)
{
    TStringList lines;
    lines.SetText(Text);
    TUpdateOffer offer;
    offer.Version = Trim(lines.Values("version"));
    offer.SetupFile = Trim(lines.Values("file"));
    if (offer.SetupFile.empty())
        offer.SetupFile = DefaultSetup;
    offer.Size = StrToInt64Def(Trim(lines.Values("filesize")), 0);
    return offer;
}

std::string ReadInstalledVersion(const std::string& Text)
{
    TStringList lines;
    lines.SetText(Text);
    return Trim(lines.Values("version"));
}

bool IsUpdateOffered(const TUpdateOffer& Offer, const std::string& InstalledVersion)
{
    return Offer.Size > 0 && !Offer.SetupFile.empty() && !Offer.Version.empty() &&
           !SameText(Offer.Version, InstalledVersion);
}

bool IsValidSetupFileName(const std::string& SetupFile)
{
    const std::string bareName = ExtractFileName(SetupFile);
    return !bareName.empty() && bareName != "." && bareName != "..";
}

TKernelUpdateSettings DefaultKernelUpdateSettings()
{
    TKernelUpdateSettings settings;
    settings.ProgramFile = ParamStr(0);
    const std::vector<std::string> args = GetCommandLineArgs();
    if (args.size() > 1)
        settings.Arguments.assign(args.begin() + 1, args.end());
    return settings;
}

TfrmKernelUpdate::TfrmKernelUpdate(QWidget* parent, const TKernelUpdateSettings& Settings)
    : TDialogForm(parent), m_settings(Settings), m_connection(std::make_unique<TNembraConnection>()),
      m_request(std::make_unique<TNembraRequest>()), m_monitor(std::make_unique<TKldProgressMonitor>())
{
    setObjectName("frmKernelUpdate");
    setWindowTitle(QStringLiteral("Browser Update"));
    SetPosition(poMainFormCenter);
    m_programPath = ovnFixPath(ExtractFilePath(m_settings.ProgramFile));

    // Its own connection: the update endpoint is not the signed-in server.
    m_connection->SetCompression(false);
    m_request->SetConnection(m_connection.get());
    m_request->SetHTTPMethod("GET");
    m_monitor->OnProgress = [this](TObject* Sender, const std::string& Proc, int32_t Progress,
                                   const std::string& Message, bool& Abort) {
        OnProgress(Sender, Proc, Progress, Message, Abort);
    };

    auto* picture = new TPlainLabel(this);
    picture->setObjectName("imgUpdate");
    picture->setPixmap(QApplication::style()->standardIcon(QStyle::SP_BrowserReload).pixmap(32, 32));
    picture->setAlignment(Qt::AlignTop);
    m_lblTitle = new TPlainLabel(QStringLiteral("New version of the program is available"), this);
    m_lblTitle->setObjectName("lblTitle");
    QFont bold = m_lblTitle->font();
    bold.setBold(true);
    m_lblTitle->setFont(bold);
    m_lblOffer = new TPlainLabel(this);
    m_lblOffer->setObjectName("lblOffer");
    m_lblStatus = new TPlainLabel(this);
    m_lblStatus->setObjectName("lblStatus");
    m_lblStatus->hide();
    m_pbProgress = new QProgressBar(this);
    m_pbProgress->setObjectName("pbProgress");
    m_pbProgress->setRange(0, 100);
    m_pbProgress->setTextVisible(false);
    m_pbProgress->hide();
    m_btnUpdate = MakeButton("Update", mrNone, true);
    m_btnUpdate->setObjectName("btnUpdate");
    connect(m_btnUpdate, &QPushButton::clicked, this, [this] { btnUpdateClick(); });
    m_btnLater = MakeButton("Later", mrCancel, false, true);
    m_btnLater->setObjectName("btnLater");

    auto* texts = new QVBoxLayout;
    texts->addWidget(m_lblTitle);
    texts->addWidget(m_lblOffer);
    texts->addWidget(m_lblStatus);
    texts->addWidget(m_pbProgress);
    texts->addStretch();
    auto* top = new QHBoxLayout;
    top->addWidget(picture);
    top->addLayout(texts, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(MakeButtonRow({m_btnUpdate, m_btnLater}));
    // The width stays when the offer's labels give way to the progress.
    setFixedWidth(420);
    layout->setSizeConstraint(QLayout::SetMinimumSize);
}

TfrmKernelUpdate::~TfrmKernelUpdate()
{
    m_monitor->SetActive(false);
    m_request->SetConnection(nullptr);
}

bool TfrmKernelUpdate::Execute(const std::string& URL)
{
    return Execute(URL, DefaultKernelUpdateSettings());
}

bool TfrmKernelUpdate::Execute(const std::string& URL, const TKernelUpdateSettings& Settings)
{
    TfrmKernelUpdate dialog(ApplicationMainForm(), Settings);
    if (!dialog.CheckNewVersion(URL))
        return false;
    return dialog.ShowModal() == mrOk;
}

bool TfrmKernelUpdate::CheckNewVersion(const std::string& URL)
{
    Log.Info(Format("Check New Version. Source URL: \"%s\"", URL), LogSource);
    if (URL.find("http") == std::string::npos)
        return false;
    m_backupPath = m_programPath + "backup/";
    m_updatePath = m_programPath + "update/";
    m_offeredVersion.clear();
    m_expectedSize = 0;

    const std::string localFile = m_programPath + VersionFileName;
    try {
        TFileStream file(localFile, fmOpenRead | fmShareDenyNone);
        std::string text(static_cast<size_t>(file.Size()), '\0');
        file.ReadBuffer(text.data(), static_cast<int64_t>(text.size()));
        m_installedVersion = ReadInstalledVersion(text);
    } catch (const std::exception&) {
        m_installedVersion.clear();
        Log.Info(Format("error open file: \"%s\"", localFile), LogSource);
    }

    try {
        m_connection->SetServerURL(URL);
        m_request->SetProcedureName(VersionFileName);
        m_request->SetResponseType(qrtText);
        m_request->Execute();
        const TUpdateOffer offer = ReadUpdateOffer(m_request->ResponseText(), DefaultSetupFile);
        m_offeredVersion = offer.Version;
        m_setupFile = offer.SetupFile;
        m_expectedSize = offer.Size;
    } catch (const std::exception& e) {
        Log.Error(e.what(), LogSource, "error getting update");
        m_offeredVersion.clear();
        m_expectedSize = 0;
    }
    m_request->Clear();

    if (!IsUpdateOffered({m_offeredVersion, m_setupFile, m_expectedSize}, m_installedVersion))
        return false;
    Log.Info(Format("New version discovered: \"%s\". Current is: \"%s\".", m_offeredVersion, m_installedVersion),
             LogSource);
    ShowOffer(m_offeredVersion);
    return true;
}

void TfrmKernelUpdate::ShowOffer(const std::string& Version)
{
    m_lblOffer->setText(QString::fromStdString(
        Format("There is a new version of the program is available (%s).", Version) +
        "\nWould you like to install it?"));
    m_running = false;
}

void TfrmKernelUpdate::BeginRunning()
{
    m_running = true;
    m_lblTitle->hide();
    m_lblOffer->hide();
    m_btnLater->hide();
    m_btnUpdate->setText(QStringLiteral("Cancel"));
    m_monitor->SetActive(true);
}

void TfrmKernelUpdate::CheckRunning() const
{
    if (!m_running)
        Abort();
}

void TfrmKernelUpdate::btnUpdateClick()
{
    if (m_running) {
        CancelUpdate();
        return;
    }
    BeginRunning();
    try {
        GetKernelUpdate();
        BackupKernelFiles();
        RunUpdate();
    } catch (const EAbort&) {
        // The user's cancel: nothing to report.
        m_monitor->SetActive(false);
        m_running = false;
        SetModalResult(mrCancel);
        return;
    } catch (...) {
        m_monitor->SetActive(false);
        m_running = false;
        ReportCurrentException(ClassName());
        SetModalResult(mrCancel);
        return;
    }
    m_monitor->SetActive(false);
    SetModalResult(mrOk);
}

void TfrmKernelUpdate::CancelUpdate()
{
    if (MessageDlg("Cancel update?", mtConfirmation, {mbYes, mbNo}, 0) != mrYes)
        return;
    m_running = false;
    m_btnUpdate->setEnabled(false);
    m_cancelling = true;
    SetModalResult(mrCancel);
    m_cancelling = false;
}

void TfrmKernelUpdate::CloseQuery(bool& CanClose)
{
    // While the steps run, Escape or the window's close button is the same
    // question as "Cancel".
    if (m_running && !m_cancelling && ModalResult() != mrOk) {
        CanClose = false;
        QMetaObject::invokeMethod(this, [this] { CancelUpdate(); }, Qt::QueuedConnection);
    }
}

void TfrmKernelUpdate::GetKernelUpdate()
{
    Log.Info(Format("Downloading kernel update \"%s\"", m_setupFile), LogSource);
    if (!IsValidSetupFileName(m_setupFile))
        throw Exception("Invalid update file. Update failed.");
    const std::string bareName = ExtractFileName(m_setupFile);
    MakeFolder(m_updatePath);
    const std::string setupName = m_setupFile;

    m_request->SetProcedureName(setupName);
    m_request->SetResponseType(qrtStream);
    m_request->Execute();
    CheckRunning();

    const std::string dest = m_updatePath + bareName;
    ovnDeleteFile(dest);
    m_request->SaveResponseToFile(dest);
    m_request->Clear();
    m_setupFile = dest;
    if (FileSize(dest) != m_expectedSize)
        throw Exception("Invalid update file. Update failed.");
    SetFileMode(dest, FileMode(dest) | 0100);
}

void TfrmKernelUpdate::BackupKernelFiles()
{
    CheckRunning();
    MakeFolder(m_backupPath);
    const std::string archive = m_backupPath + BackupFileName;
    Log.Info(Format("Backing kernel files \"%s\"", archive), LogSource);
    if (FileExists(archive)) {
        ovnDeleteFile(m_backupPath + OldBackupFileName);
        if (!RenameFile(archive, m_backupPath + OldBackupFileName))
            throw EInOutError(Format("Cannot rename \"%s\"", archive));
    }

    std::vector<std::string> files;
    for (const std::string& name : FindFiles(m_programPath, "*", false))
        if (FileExists(m_programPath + name) && !ExcludedFromBackup(name))
            files.push_back(name);
    DoProgress(0, static_cast<int>(files.size()), "Backing up");

    TKldZipFile zip;
    zip.SetCompressionLevel(zcNone);
    zip.NewZipFile(archive);
    // Written when it goes, also after a stop: the files added so far.
    for (const std::string& name : files) {
        const std::string fileName = m_programPath + name;
        TFileStream in(fileName, fmOpenRead | fmShareDenyNone);
        const int index = zip.CreateFile(name, 0);
        zip.WriteFileStream(index, in);
        // Unix permission bits above the attributes, as Unix zip tools keep
        // them, so that the restore can give a program its execute bit back.
        TFileInfo& info = zip.GetFileInfo(index);
        info.ExternalAttributes = UnixMemberAttributes(fileName);
        info.VersionMadeBy = (3 << 8) | 20;
        NextProgress(Format("Backing up: %s", name));
        QApplication::processEvents();
        CheckRunning();
    }
}

void TfrmKernelUpdate::RunUpdate()
{
    CheckRunning();
    Log.Info(Format("Run kernel update \"%s\"", m_setupFile), LogSource);
    const std::string helper = m_programPath + UpdateHelperFileName;
    const std::string helperCopy = m_backupPath + UpdateHelperFileName;
    if (!FileExists(helper))
        throw EInOutError(Format("File not found: \"%s\"", helper));
    ovnCopyDeleteFile(helper, helperCopy);
    SetFileMode(helperCopy, FileMode(helper));

    m_helperArguments = {m_programPath, m_setupFile, m_backupPath + BackupFileName, m_settings.ProgramFile,
                         Trim(JoinCommandLine(m_settings.Arguments))};
    DoProgress(100, 100, "Run Setup");
    const std::string marker = m_programPath + UpdateMarkerFileName;
    ovnCreateFile(marker);
    if (!StartProcessDetached(helperCopy, m_helperArguments, m_backupPath)) {
        // The client goes on: a marker left behind would tell the next
        // start that an update is being installed.
        const std::string reason = LastProcessError();
        DeleteFile(marker);
        throw EInOutError(Format("Cannot start \"%s\": %s", helperCopy, reason));
    }
}

void TfrmKernelUpdate::DoProgress(int Position, int Max, const std::string& Text)
{
    if (!m_running)
        return;
    m_pbProgress->setMaximum(Max);
    m_pbProgress->setValue(Position);
    m_pbProgress->setVisible(Max > 0);
    m_lblStatus->setVisible(Max > 0);
    m_lblStatus->setText(QString::fromStdString(Text));
    m_pbProgress->repaint();
    m_lblStatus->repaint();
}

void TfrmKernelUpdate::NextProgress(const std::string& Text)
{
    DoProgress(m_pbProgress->value() + 1, m_pbProgress->maximum(), Text);
}

void TfrmKernelUpdate::OnProgress(TObject* Sender, const std::string& Proc, int32_t Progress,
                                  const std::string& Message, bool& Abort)
{
    if (Sender != m_request.get())
        return;
    DoProgress(Progress, 100, Format("Downloading update file: %s", ExtractFileName(m_setupFile)));
    // The download runs on this thread: "Cancel" must still be clickable.
    QApplication::processEvents();
    if (!m_running)
        Abort = true;
}

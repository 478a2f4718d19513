#include "Components/Controller/frmPreferences.h"

#include "Components/Controller/files/ovnUtils.h"
#include "Components/Controller/mainwindow/OrvaneBrowser4.h"
#include "Components/Controller/ovnController.h"
#include "Components/Controller/signin/dlgConnection.h"
#include "platform/ComCtrls.h"
#include "platform/DriveType.h"
#include "platform/FileUtils.h"
#include "platform/StdCtrls.h"
#include "platform/SysUtils.h"
#include "platform/Threads.h"
#include "ui/KldCollectionView.h"
#include "ui/ovnTabUtils.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFontDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

constexpr int MinFontSize = 8;
constexpr int MaxFontSize = 21;

QString Q(const std::string& s)
{
    return QString::fromStdString(s);
}

std::string S(const QString& s)
{
    return s.toStdString();
}

bool DefaultSelectFolder(QWidget* parent, std::string& Folder)
{
    const QString chosen =
        QFileDialog::getExistingDirectory(parent, QStringLiteral("Select Cache Directory"), Q(Folder));
    if (chosen.isEmpty())
        return false;
    Folder = S(chosen);
    return true;
}

bool DefaultSelectFont(QWidget* parent, std::string& Name, int& Size)
{
    bool ok = false;
    const QFont chosen = QFontDialog::getFont(&ok, QFont(Q(Name), Size), parent);
    if (!ok)
        return false;
    Name = S(chosen.family());
    Size = chosen.pointSize();
    return true;
}

TKldColumn* AddColumn(TKldCollectionView& View, const char* Name, int Width, TKldEditType EditType)
{
    TKldColumn* column = View.Columns().Add();
    column->SetName(Name);
    column->SetCaption(Name);
    column->SetWidth(Width);
    column->SetEditType(EditType);
    return column;
}

// The mail check interval: digits only; a text that is no number reads as
// 10 minutes, and the up-down keeps it at 1 or more.
class TMailIntervalEdit : public QSpinBox
{
  public:
    using QSpinBox::QSpinBox;

  protected:
    QValidator::State validate(QString& text, int&) const override
    {
        for (QChar c : text)
            if (!c.isDigit())
                return QValidator::Invalid;
        return QValidator::Acceptable;
    }
    int valueFromText(const QString& text) const override
    {
        return std::clamp(MailIntervalFromText(text.toStdString()), minimum(), maximum());
    }
};

QGroupBox* Group(const char* Caption, QWidget* parent)
{
    return new QGroupBox(QString::fromUtf8(Caption), parent);
}

} // namespace

std::string PreferencesCachePath(const std::string& CacheDirText)
{
    const std::string dir = Trim(CacheDirText);
    return CacheDirIsAbsolute(dir) ? dir : ovnGetDataPath() + dir;
}

void CheckCacheLocation(const std::string& CachePath, TDownloadWhen DownloadWhen,
                        const std::function<uint32_t(const std::string&)>& DriveTypeOf)
{
    const uint32_t kind = DriveTypeOf(CachePath);
    if (kind == DRIVE_REMOVABLE || kind == DRIVE_CDROM)
        throw EovnBrowser("Cache can not be located on a CD drive or removable media");
    if (kind == DRIVE_REMOTE && DownloadWhen != downloadAlways)
        throw EovnBrowser("Cache can not be located on the network");
}

int MailIntervalFromText(const std::string& Text)
{
    int value = 0;
    if (!TryStrToInt(Trim(Text), value))
        return 10;
    return std::max(value, 0);
}

void ClearCachedResources()
{
    TNembraFileSystemCache& cache = Controller->Cache();
    if (cache.Active()) {
        cache.ClearCache();
        cache.Save();
        return;
    }
    std::string folder;
    try {
        folder = Controller->GetCachePath();
    } catch (const Exception&) {
        return; // a cache folder that does not exist holds nothing
    }
    if (!DirectoryExists(folder))
        return;
    cache.SetCacheDir(folder);
    cache.Open();
    cache.ClearCache();
    cache.Save();
    cache.Close();
}

TfrmPreferences::TfrmPreferences(QWidget* parent) : TDialogForm(parent)
{
    setObjectName("frmPreferences");
    setWindowTitle(QStringLiteral("Preferences"));
    SetPosition(poMainFormCenter);
    DriveTypeOf = [](const std::string& Path) { return GetDriveType(Path); };
    SelectFolder = [this](std::string& Folder) { return DefaultSelectFolder(this, Folder); };
    SelectFont = [this](std::string& Name, int& Size) { return DefaultSelectFont(this, Name, Size); };
    ClearCache = [] { ClearCachedResources(); };

    m_pages = new TPageControl(this);
    m_pages->setObjectName("PageControl");
    TabPainter->SetTabControl(m_pages);
    for (auto [caption, make] : {std::pair{"Connections", &TfrmPreferences::MakeConnectionsPage},
                                 std::pair{"General", &TfrmPreferences::MakeGeneralPage},
                                 std::pair{"Cache", &TfrmPreferences::MakeCachePage}}) {
        auto* sheet = new TTabSheet(m_pages);
        sheet->SetCaption(caption);
        auto* layout = new QVBoxLayout(sheet);
        layout->setContentsMargins(8, 8, 8, 8);
        layout->addWidget((this->*make)());
    }
    m_pages->SetActivePageIndex(0);

    QPushButton* ok = MakeButton("&OK", mrOk, true);
    QPushButton* cancel = MakeButton("&Cancel", mrCancel, false, true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pages, 1);
    layout->addLayout(MakeButtonRow({ok, cancel}));
    setFixedSize(520, 420);
}

TfrmPreferences::~TfrmPreferences()
{
    // The view holds the copy by guarded reference; it goes first.
    if (m_view)
        m_view->SetCollection(nullptr);
}

QWidget* TfrmPreferences::MakeConnectionsPage()
{
    auto* page = new QWidget;
    m_view = new TKldCollectionView(page);
    m_view->setObjectName("ConnectionsView");
    m_view->SetShowOptions(m_view->ShowOptions() + TKldListViewShowOptions{soHeader, soMarker, soRowSelect, soAutoWidth});
    m_view->SetNumberedRow(nrAscending);
    m_view->SetMarkerWidth(24);
    m_view->Columns().BeginUpdate();
    AddColumn(*m_view, "Default", 50, etCheck)->SetTextAlignment(taCenter);
    AddColumn(*m_view, "Connection", 140, etNone)->SetReadOnly(true);
    TKldColumn* url = AddColumn(*m_view, "URL", 200, etNone);
    url->SetReadOnly(true);
    url->SetAutoWidth(true);
    m_view->Columns().EndUpdate();
    // The list keeps one default: ticking one clears the others' ticks.
    m_view->OnChanged = [this](TObject*, int, int) { m_view->Invalidate(); };
    m_view->Loaded();

    auto* add = new QPushButton(QStringLiteral("&New..."), page);
    connect(add, &QPushButton::clicked, this, [this] { btnNewClick(); });
    auto* edit = new QPushButton(QStringLiteral("&Edit..."), page);
    connect(edit, &QPushButton::clicked, this, [this] { btnEditClick(); });
    auto* remove = new QPushButton(QStringLiteral("&Delete..."), page);
    connect(remove, &QPushButton::clicked, this, [this] { btnDeleteClick(); });
    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : {add, edit, remove})
        buttons->addWidget(b);
    buttons->addStretch();
    auto* layout = new QHBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view, 1);
    layout->addLayout(buttons);
    return page;
}

QWidget* TfrmPreferences::MakeGeneralPage()
{
    auto* page = new QWidget;
    QGroupBox* login = Group(" User Log In ", page);
    m_cbAutoLogin = new QCheckBox(QStringLiteral("Go to Login screen automatically when program starts"), login);
    m_cbRememberID = new QCheckBox(QStringLiteral("Remember User ID:"), login);
    m_edtUserID = new QLineEdit(login);
    m_edtUserID->setObjectName("edtUserID");
    // User IDs are upper case: what is typed becomes upper case at once.
    connect(m_edtUserID, &QLineEdit::textEdited, this, [this](const QString& text) {
        const int cursor = m_edtUserID->cursorPosition();
        m_edtUserID->setText(text.toUpper());
        m_edtUserID->setCursorPosition(cursor);
    });
    m_cbAutoDBLogin = new QCheckBox(QStringLiteral("Automatically login to database "), login);
    auto* loginLayout = new QGridLayout(login);
    loginLayout->addWidget(m_cbAutoLogin, 0, 0, 1, 2);
    loginLayout->addWidget(m_cbRememberID, 1, 0);
    loginLayout->addWidget(m_edtUserID, 1, 1);
    loginLayout->addWidget(m_cbAutoDBLogin, 2, 0, 1, 2);

    QGroupBox* mail = Group(" O-Mail ", page);
    m_cbMailPopup = new QCheckBox(QStringLiteral("Popup notification about new mail"), mail);
    m_edtMailFooter = new QLineEdit(mail);
    m_edtMailFooter->setObjectName("edtMailFooter");
    m_cbMailCheck = new QCheckBox(QStringLiteral("Check O-Mail every"), mail);
    m_edtMailInterval = new TMailIntervalEdit(mail);
    m_edtMailInterval->setObjectName("edtMailInterval");
    m_edtMailInterval->setRange(1, 9999);
    m_edtMailInterval->setKeyboardTracking(false);
    m_edtMailInterval->installEventFilter(this);
    m_edtMailFont = new QLineEdit(mail);
    m_edtMailFont->setObjectName("edtMailFont");
    m_edtMailFont->setReadOnly(true);
    auto* selectFont = new QPushButton(QStringLiteral("Select..."), mail);
    connect(selectFont, &QPushButton::clicked, this, [this] { btnSelectFontClick(); });
    auto* mailLayout = new QGridLayout(mail);
    mailLayout->addWidget(m_cbMailPopup, 0, 0, 1, 3);
    mailLayout->addWidget(new TPlainLabel(QStringLiteral("New Message footer:"), mail), 1, 0);
    mailLayout->addWidget(m_edtMailFooter, 1, 1, 1, 2);
    mailLayout->addWidget(m_cbMailCheck, 2, 0);
    mailLayout->addWidget(m_edtMailInterval, 2, 1);
    mailLayout->addWidget(new TPlainLabel(QStringLiteral("minutes"), mail), 2, 2);
    mailLayout->addWidget(new TPlainLabel(QStringLiteral("Message font:"), mail), 3, 0);
    mailLayout->addWidget(m_edtMailFont, 3, 1);
    mailLayout->addWidget(selectFont, 3, 2);

    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(login);
    layout->addWidget(mail);
    layout->addStretch();
    return page;
}

QWidget* TfrmPreferences::MakeCachePage()
{
    auto* page = new QWidget;
    QGroupBox* options = Group(" Download Options ", page);
    auto* optionsLayout = new QVBoxLayout(options);
    const char* captions[] = {"Automatic Version Checking (Default Option)", "Always download from system server",
                              "Never download. Take from local cache"};
    for (int i = 0; i < 3; ++i) {
        m_rbDownload[i] = new QRadioButton(QString::fromUtf8(captions[i]), options);
        optionsLayout->addWidget(m_rbDownload[i]);
    }

    QGroupBox* local = Group(" Local Cache ", page);
    m_edtCachePath = new QLineEdit(local);
    m_edtCachePath->setObjectName("edtCachePath");
    m_edtCachePath->setToolTip(QStringLiteral(" Local Cache Path"));
    m_btnBrowse = new QPushButton(QStringLiteral("Browse"), local);
    connect(m_btnBrowse, &QPushButton::clicked, this, [this] { btnBrowseClick(); });
    m_btnClearCache = new QPushButton(QStringLiteral("Clear cached applets and files..."), local);
    connect(m_btnClearCache, &QPushButton::clicked, this, [this] { btnClearCacheClick(); });
    auto* localLayout = new QGridLayout(local);
    localLayout->addWidget(m_edtCachePath, 0, 0);
    localLayout->addWidget(m_btnBrowse, 0, 1);
    localLayout->addWidget(m_btnClearCache, 1, 0, 1, 2, Qt::AlignLeft);

    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(options);
    layout->addWidget(local);
    layout->addStretch();
    return page;
}

bool TfrmPreferences::Execute()
{
    TfrmPreferences dialog(ApplicationMainForm());
    dialog.Fill(Controller->Connections(), Controller->Preferences(), Controller->SysPreferences(),
                Controller->GetConnected());
    return dialog.ShowModal() == mrOk;
}

void TfrmPreferences::Fill(TovnConnections& Connections, TovnPreferences& Preferences,
                           TovnSysPreferences& SysPreferences, bool Connected)
{
    m_targetConnections = &Connections;
    m_targetPreferences = &Preferences;
    m_targetSysPreferences = &SysPreferences;
    m_connections.Assign(Connections);
    Preferences.AssignTo(m_preferences);
    SysPreferences.AssignTo(m_sysPreferences);

    m_view->SetCollection(&m_connections);
    m_cbAutoLogin->setChecked(m_preferences.AutoLogin);
    m_cbRememberID->setChecked(m_preferences.RememberID);
    m_edtUserID->setText(Q(m_preferences.UserID));
    m_cbAutoDBLogin->setChecked(m_preferences.AutoDBLogin);
    m_cbMailPopup->setChecked(m_preferences.MailPopup);
    m_edtMailFooter->setText(Q(m_preferences.MailFooter));
    m_cbMailCheck->setChecked(m_preferences.MailCheck);
    m_edtMailInterval->setValue(m_preferences.MailCheckEvery);
    ShowMailFont();
    m_rbDownload[m_sysPreferences.DownloadWhen]->setChecked(true);
    m_edtCachePath->setText(Q(m_sysPreferences.CacheDir));
    m_edtCachePath->setEnabled(!Connected);
    m_btnBrowse->setEnabled(!Connected);
}

void TfrmPreferences::ShowMailFont()
{
    m_edtMailFont->setText(Q(Format("%s, %d", m_preferences.MailFont, m_preferences.MailFontSize)));
}

TDownloadWhen TfrmPreferences::CheckedDownloadOption() const
{
    for (int i = 0; i < 3; ++i)
        if (m_rbDownload[i]->isChecked())
            return static_cast<TDownloadWhen>(i);
    return downloadNewer;
}

void TfrmPreferences::btnNewClick()
{
    if (TovnConnectionItem* item = TdlgConnection::Execute(m_connections, nullptr)) {
        m_view->Refresh();
        m_view->SetCurrentItem(item);
    }
}

void TfrmPreferences::btnEditClick()
{
    auto* item = dynamic_cast<TovnConnectionItem*>(m_view->GetCurrentItem());
    if (!item)
        return;
    TdlgConnection::Execute(m_connections, item);
    m_view->Refresh();
}

void TfrmPreferences::btnDeleteClick()
{
    m_view->DeleteItem("Delete selected connection?");
}

void TfrmPreferences::btnBrowseClick()
{
    std::string folder = S(m_edtCachePath->text());
    if (SelectFolder && SelectFolder(folder))
        m_edtCachePath->setText(Q(folder));
}

void TfrmPreferences::btnClearCacheClick()
{
    if (MessageDlg("Clear cached applets and files?", mtConfirmation, {mbYes, mbNo}) != mrYes)
        return;
    if (ClearCache)
        ClearCache();
}

void TfrmPreferences::btnSelectFontClick()
{
    std::string name = m_preferences.MailFont;
    int size = m_preferences.MailFontSize;
    if (!SelectFont || !SelectFont(name, size))
        return;
    m_preferences.MailFont = name;
    m_preferences.MailFontSize = std::clamp(size, MinFontSize, MaxFontSize);
    ShowMailFont();
}

void TfrmPreferences::MailIntervalLeft()
{
    m_edtMailInterval->interpretText();
}

bool TfrmPreferences::eventFilter(QObject* watched, QEvent* event)
{
    // The mail interval takes only digits and Backspace from the keyboard.
    if (watched == m_edtMailInterval && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const QString text = key->text();
        if (!text.isEmpty() && text.at(0).isPrint() && !(text.at(0) >= '0' && text.at(0) <= '9'))
            return true;
    }
    return TDialogForm::eventFilter(watched, event);
}

void TfrmPreferences::FormToCopies()
{
    m_preferences.AutoLogin = m_cbAutoLogin->isChecked();
    m_preferences.RememberID = m_cbRememberID->isChecked();
    m_preferences.UserID = S(m_edtUserID->text());
    m_preferences.AutoDBLogin = m_cbAutoDBLogin->isChecked();
    m_preferences.MailPopup = m_cbMailPopup->isChecked();
    m_preferences.MailCheck = m_cbMailCheck->isChecked();
    m_preferences.MailCheckEvery = m_edtMailInterval->value();
    m_preferences.MailFooter = S(m_edtMailFooter->text());
    m_sysPreferences.DownloadWhen = CheckedDownloadOption();
    m_sysPreferences.CacheDir = S(m_edtCachePath->text());
}

void TfrmPreferences::CloseQuery(bool& CanClose)
{
    if (ModalResult() != mrOk)
        return;
    // A pending typed interval counts as left.
    MailIntervalLeft();
    CheckCacheLocation(PreferencesCachePath(S(m_edtCachePath->text())), CheckedDownloadOption(), DriveTypeOf);
    if (m_targetConnections)
        m_targetConnections->Assign(m_connections);
    FormToCopies();
    if (m_targetPreferences)
        m_preferences.AssignTo(*m_targetPreferences);
    if (m_targetSysPreferences)
        m_sysPreferences.AssignTo(*m_targetSysPreferences);
}

void TfrmPreferences::HandleCloseError()
{
    ReportCurrentException(ClassName());
}

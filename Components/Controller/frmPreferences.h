#pragma once
// The preferences dialog `TfrmPreferences` ("Preferences"): the server
// connections, the user preferences and the local cache, on three pages.
//
// It works on copies: the connection list and both preference objects are
// copied in when it is filled and copied back only when it closes with OK,
// so Cancel changes nothing, with one exception: "Clear cached applets and
// files..." marks every cached file's version unknown and saves the cache
// index at once.
//
// Closing with OK checks the cache folder first: on a removable or optical
// drive it is refused ("Cache can not be located on a CD drive or removable
// media"), on a network drive unless every file is downloaded from the
// server anyway ("Cache can not be located on the network"). A refused OK
// keeps the dialog open with nothing copied, and the error goes to the
// program's error boundary (EovnBrowser).
//
// The folder chooser, the font chooser, the drive kind of a path and the
// cache to clear are members that tests replace.
//
// User-interface thread only.

#include "Components/Controller/ovnPreferences.h"
#include "Components/Nembra/ovnControllerUtils.h"
#include "platform/Forms.h"

#include <cstdint>
#include <functional>
#include <string>

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class TKldCollectionView;
class TPageControl;

// The cache folder a text in the cache path edit names: an absolute text as
// it is, any other inside the data folder (where the cache lies by default).
std::string PreferencesCachePath(const std::string& CacheDirText);

// Raises EovnBrowser when the cache may not lie on the drive kind of
// CachePath (see above); DriveTypeOf answers the kind of a path.
void CheckCacheLocation(const std::string& CachePath, TDownloadWhen DownloadWhen,
                        const std::function<uint32_t(const std::string&)>& DriveTypeOf);

// The mail check interval a typed text gives: its number, never below 0;
// 10 when it is no number.
int MailIntervalFromText(const std::string& Text);

// Marks every resource of the controller's cache unknown (the files stay)
// and saves the index. A cache that is not open yet (before the first
// sign-in) is opened on its folder for this and closed again, so that the
// next sign-in fetches every file anew; without a cache folder there is
// nothing to clear.
void ClearCachedResources();

class TfrmPreferences : public TDialogForm
{
  public:
    explicit TfrmPreferences(QWidget* parent = nullptr);
    ~TfrmPreferences() override;
    std::string ClassName() const override { return "TfrmPreferences"; }

    // Over the controller's lists: True when the user closed the dialog
    // with OK and the new values were taken over.
    static bool Execute();

    // Copies the three into the dialog and shows them; Connected disables
    // the cache folder (it cannot move during a session). OK writes back
    // into these objects.
    void Fill(TovnConnections& Connections, TovnPreferences& Preferences, TovnSysPreferences& SysPreferences,
              bool Connected);

    // The dialog's copies.
    TovnConnections& ConnectionsCopy() { return m_connections; }
    TovnPreferences& PreferencesCopy() { return m_preferences; }
    TovnSysPreferences& SysPreferencesCopy() { return m_sysPreferences; }

    // Replaceable services (the defaults are the platform's).
    std::function<uint32_t(const std::string& Path)> DriveTypeOf;
    // Starts at Folder; answers whether one was chosen (into Folder).
    std::function<bool(std::string& Folder)> SelectFolder;
    // Starts at the copy's font; answers whether one was chosen.
    std::function<bool(std::string& Name, int& Size)> SelectFont;
    std::function<void()> ClearCache;

    // The buttons' actions.
    void btnNewClick();
    void btnEditClick();
    void btnDeleteClick();
    void btnBrowseClick();
    void btnClearCacheClick();
    void btnSelectFontClick();

    TPageControl* PageControl() const { return m_pages; }
    TKldCollectionView* ConnectionsView() const { return m_view; }
    QCheckBox* cbAutoLogin() const { return m_cbAutoLogin; }
    QCheckBox* cbRememberID() const { return m_cbRememberID; }
    QLineEdit* edtUserID() const { return m_edtUserID; }
    QCheckBox* cbAutoDBLogin() const { return m_cbAutoDBLogin; }
    QCheckBox* cbMailPopup() const { return m_cbMailPopup; }
    QLineEdit* edtMailFooter() const { return m_edtMailFooter; }
    QCheckBox* cbMailCheck() const { return m_cbMailCheck; }
    QSpinBox* edtMailInterval() const { return m_edtMailInterval; }
    QLineEdit* edtMailFont() const { return m_edtMailFont; }
    QRadioButton* rbDownload(TDownloadWhen Option) const { return m_rbDownload[Option]; }
    QLineEdit* edtCachePath() const { return m_edtCachePath; }
    QPushButton* btnBrowse() const { return m_btnBrowse; }
    QPushButton* btnClearCache() const { return m_btnClearCache; }

  protected:
    void CloseQuery(bool& CanClose) override;
    // The program's error boundary (the process's error report).
    void HandleCloseError() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QWidget* MakeConnectionsPage();
    QWidget* MakeGeneralPage();
    QWidget* MakeCachePage();
    void ShowMailFont();
    void FormToCopies();
    void MailIntervalLeft();
    TDownloadWhen CheckedDownloadOption() const;

    TovnConnections m_connections;
    TovnPreferences m_preferences;
    TovnSysPreferences m_sysPreferences;
    TovnConnections* m_targetConnections = nullptr;
    TovnPreferences* m_targetPreferences = nullptr;
    TovnSysPreferences* m_targetSysPreferences = nullptr;

    TPageControl* m_pages = nullptr;
    TKldCollectionView* m_view = nullptr;
    QCheckBox* m_cbAutoLogin = nullptr;
    QCheckBox* m_cbRememberID = nullptr;
    QLineEdit* m_edtUserID = nullptr;
    QCheckBox* m_cbAutoDBLogin = nullptr;
    QCheckBox* m_cbMailPopup = nullptr;
    QLineEdit* m_edtMailFooter = nullptr;
    QCheckBox* m_cbMailCheck = nullptr;
    QSpinBox* m_edtMailInterval = nullptr;
    QLineEdit* m_edtMailFont = nullptr;
    QRadioButton* m_rbDownload[3] = {};
    QLineEdit* m_edtCachePath = nullptr;
    QPushButton* m_btnBrowse = nullptr;
    QPushButton* m_btnClearCache = nullptr;
};

#pragma once
// The web help `TfrmWebHelp`: one non-modal browser window on the brand's
// help site, with "Close", "<< Back" and "Home". Every show goes to the home
// address; a double click on the top panel shows the start of the page's
// source. At most one window exists (`frmWebHelp`); closing it frees it.
//
// Main thread only.

#include <QWidget>

#include <cstdint>
#include <string>

class QPushButton;
class TovnWebViewController;

// The caption of a brand's web help: Format ("%s Web Help", name) with
// "Orvane", "Tallowin", or '' for any other brand.
std::string WebHelpCaption(int32_t Brand);
// The brand's help site; "about:blank" for a brand without one.
std::string WebHelpHome(int32_t Brand);

class TfrmWebHelp : public QWidget
{
  public:
    // The controller is made through DefaultWebViewControllerClass. A
    // non-empty HomeOverride replaces the brand's home address.
    TfrmWebHelp(int32_t Brand, const std::string& HomeOverride, QWidget* parent = nullptr);
    ~TfrmWebHelp() override;

    const std::string& Home() const { return m_home; }
    TovnWebViewController& Browser() const { return *m_browser; }
    QWidget* pnlTop() const { return m_pnlTop; }
    QPushButton* btnClose() const { return m_btnClose; }
    QPushButton* btnBack() const { return m_btnBack; }
    QPushButton* btnHome() const { return m_btnHome; }

    // "Home": the browser to the home address.
    void GoHome();
    // "<< Back": back in the history; nothing when there is none.
    void GoBack();
    // The double click of the top panel: the first 200 characters of the
    // page's source, JSON escapes undone, in a message box.
    void ShowSource();

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    TovnWebViewController* m_browser = nullptr;
    std::string m_home;
    QWidget* m_pnlTop = nullptr;
    QPushButton* m_btnClose = nullptr;
    QPushButton* m_btnBack = nullptr;
    QPushButton* m_btnHome = nullptr;
};

// The one web help window, null when none is open.
extern TfrmWebHelp* frmWebHelp;
// Makes the window when there is none (AppBrand's, with HomeOverride), then
// brings it to the front when it shows, or shows it.
void ShowWebHelp(const std::string& HomeOverride = "");

#pragma once
// `TfrmNETHealth`, the modal dialog "System Information": the Kernel page
// (program, version, brand and the build's files beside the program), the
// Resources page (cache settings and every cached resource) and the Network
// page (addresses and a timed test over the system plug-in's Ping). Each
// page fills the first time it is shown; double-clicking a file row puts
// its CRC-32 in the row. The rules are NETHealthRules.h.
//
// Main thread only.

#include "admin/NETHealthRules.h"
#include "platform/Forms.h"

#include <functional>
#include <memory>
#include <string>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class TNembraDatabase;
class TNembraFileCache;
class TReportList;

// What the dialog shows, taken from the controller when it opens
// (NETHealthContextOfController) or given by tests and the gallery.
struct TNETHealthContext
{
    int32_t Brand = 0;
    std::string ProgramFile; // the running program's full path
    std::string BrowserVersion;
    std::string CacheFolder; // with a trailing delimiter
    TNembraFileCache* Cache = nullptr;
    int DownloadOption = 0;
    std::string CacheURI;
    std::string UpdateURL;
    std::string ConnectionName;
    std::string ServerURL;
    std::string VNSHost;
    std::string VNSPort;
    std::function<bool()> VNSActive;
    // The Ping dataset's database, asked when the test runs (the
    // call fails while nobody is signed in).
    std::function<TNembraDatabase*()> SysDB;
};

// The signed-in controller's values (AppBrand, ParamStr(0), the web view
// class's browser version, the cache, preferences, system connection and
// notification link).
TNETHealthContext NETHealthContextOfController();

class TfrmNETHealth : public TDialogForm
{
  public:
    explicit TfrmNETHealth(TNETHealthContext Context, QWidget* parent = nullptr);
    ~TfrmNETHealth() override;
    std::string ClassName() const override { return "TfrmNETHealth"; }

    // The dialog over the controller's values, modally.
    static void Execute(QWidget* parent = nullptr);

    // Fills the page when it is shown the first time (the page change and
    // the first showing call it).
    void PageShown(TNETHealthPage Page);
    // "&Test network": three Ping calls, then a block in the memo. A failed
    // call raises and leaves the memo as it was.
    void TestNetwork();
    // Double-click on a row: its checksum into the CRC32 column.
    void ComputeKernelCRC(int Row);
    void ComputeResourceCRC(int Row);

    const TNETHealthFill& Fill() const { return m_fill; }
    TovnOndrelSystem& sysPing() const { return *m_sysPing; }
    QTabWidget* pcMain() const { return m_pages; }
    QLabel* lblVersion() const { return m_lblVersion; }
    QLabel* lblProgram() const { return m_lblProgram; }
    QLabel* lblBrand() const { return m_lblBrand; }
    TReportList* lvFiles() const { return m_lvFiles; }
    QLabel* lblCachePath() const { return m_lblCachePath; }
    QLabel* lblDownload() const { return m_lblDownload; }
    QLabel* lblCacheURI() const { return m_lblCacheURI; }
    QLabel* lblUpdateURL() const { return m_lblUpdateURL; }
    TReportList* lvResources() const { return m_lvResources; }
    QLabel* lblConnection() const { return m_lblConnection; }
    QLabel* lblServer() const { return m_lblServer; }
    QLabel* lblVNS() const { return m_lblVNS; }
    QPushButton* btnTest() const { return m_btnTest; }
    QPlainTextEdit* mmResult() const { return m_mmResult; }

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void FillKernel();
    void FillResources();
    void FillNetwork();

    TNETHealthContext m_context;
    std::string m_programFolder;
    TNETHealthFill m_fill;
    std::unique_ptr<TovnOndrelSystem> m_sysPing;
    QTabWidget* m_pages = nullptr;
    QLabel* m_lblVersion = nullptr;
    QLabel* m_lblProgram = nullptr;
    QLabel* m_lblBrand = nullptr;
    TReportList* m_lvFiles = nullptr;
    QLabel* m_lblCachePath = nullptr;
    QLabel* m_lblDownload = nullptr;
    QLabel* m_lblCacheURI = nullptr;
    QLabel* m_lblUpdateURL = nullptr;
    TReportList* m_lvResources = nullptr;
    QLabel* m_lblConnection = nullptr;
    QLabel* m_lblServer = nullptr;
    QLabel* m_lblVNS = nullptr;
    QPushButton* m_btnTest = nullptr;
    QPlainTextEdit* m_mmResult = nullptr;
};

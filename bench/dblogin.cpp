// The main window's database sign-in against the local application server:
// a database of 50 modules and 5,000 menu rows (their icons cached before
// the measurement), next to its peer in the same run, the "GetMenu" fetch of
// those rows alone.
//
// The sign-in's own work is its wall time minus the time of the server
// calls it makes: every remote call of the main thread reports progress
// from its first phase ([Sending]) to the end of its last ([Receiving]);
// the benchmark is the progress receiver and adds those spans up. The
// counter "client_ms" is the sign-in's own work, "server_ms" its calls;
// the fetch's time is that of the peer. Each iteration is followed, outside
// the measurement, by the database log-off and the end of its icon
// preloading.

#include <benchmark/benchmark.h>

#include "Components/Controller/mainwindow/OrvaneBrowser4.h"
#include "Components/Controller/ovnController.h"
#include "Components/Nembra/NembraDBDataSets.h"
#include "base/KldLogFile.h"
#include "base/KldProgress.h"
#include "bench/BenchMode.h"
#include "bench/QtBenchmarkMain.h"
#include "platform/Messages.h"
#include "support/AppServerProcess.h"
#include "support/TempFolder.h"

#include <QApplication>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

namespace {

const int kModules = BenchSize(50, 3);
const int kMenuRows = BenchSize(5000, 20);

std::string DatabaseSql()
{
    const std::string modules = std::to_string(kModules);
    const std::string rows = std::to_string(kMenuRows);
    return "INSERT INTO TBL_ENTERPRISES (COUNTER, ENTERPRISE, DESCRIPTION, CURRENT_USE) "
           "VALUES (80, 'BENCH CARE', 'Bench Care', 'T');\n"
           "INSERT INTO TBL_DBALIASES (COUNTER, ALIAS, DESCRIPTION, C_ENTERPRISE, CURRENT_USE) "
           "VALUES (80, 'MAPLE', 'Maple Court', 80, 'T');\n"
           "INSERT INTO TBL_ROLES (COUNTER, ROLE_ID, C_ENTERPRISE, C_ALIAS, CURRENT_USE) "
           "VALUES (80, 'NURSE', 80, 80, 'T');\n"
           "INSERT INTO TBL_USERS (COUNTER, USER_ID, USER_PASSWORD, FULL_NAME, USER_TYPE, C_ENTERPRISE) "
           "VALUES (80, 'BENCH', 'bench', 'Bench User', 'USR', 80);\n"
           "INSERT INTO TBL_USERDBACCESS (C_USER, C_ROLE) VALUES (80, 80);\n"
           "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i + 1 < " + modules + ")\n"
           "  INSERT INTO TBL_RESOURCES (COUNTER, RESOURCE_NAME, DESCRIPTION, FILE_NAME)\n"
           "  SELECT 20000 + i, 'ICN_M' || i, 'icon', 'icn_m' || i || '.png' FROM n;\n"
           "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i + 1 < " + modules + ")\n"
           "  INSERT INTO TBL_MODULES (COUNTER, MODULE, DESCRIPTION) SELECT 1000 + i, 'Module ' || i, 'm' FROM n;\n"
           "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i + 1 < " + modules + ")\n"
           "  INSERT INTO SRV_MODULE_RESOURCES (C_MODULE, C_RESOURCE) SELECT 1000 + i, 20000 + i FROM n;\n"
           "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i + 1 < " + modules + ")\n"
           "  INSERT INTO TBL_ROLEMODULES (C_ROLE, C_MODULE) SELECT 80, 1000 + i FROM n;\n"
           "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i + 1 < " + rows + ")\n"
           "  INSERT INTO TBL_RESOURCES (COUNTER, RESOURCE_NAME, DESCRIPTION, FILE_NAME)\n"
           "  SELECT 30000 + i, 'RES_' || i, 'applet', 'res_' || i || '.so' FROM n;\n"
           "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i + 1 < " + rows + ")\n"
           "  INSERT INTO TBL_MENU (COUNTER, C_MODULE, MENU_LEVEL, SEQUENCE, DESCRIPTION, C_RESOURCE, C_ICON_RESOURCE)\n"
           "  SELECT 50000 + i, 1000 + i % " + modules + ", 0, i, 'Menu entry ' || i, 30000 + i, 20000 + i % " +
           modules + " FROM n;\n";
}

// Adds up the time of the main thread's remote calls, from the first
// progress notice of a call to its last.
class TCallClock : public IMessageReceiver
{
  public:
    void WndProc(TMessage& message) override
    {
        if (message.Msg != WM_KLDPROGRESS || std::this_thread::get_id() != m_main)
            return;
        const auto* info = reinterpret_cast<const TKldProgressInfo*>(message.LParam);
        const auto now = std::chrono::steady_clock::now();
        if (info->Sender != m_sender) {
            Close();
            m_sender = info->Sender;
            m_first = now;
        }
        m_last = now;
    }
    // Ends the call being timed and answers the total so far.
    double Seconds()
    {
        Close();
        return m_total;
    }
    void Reset()
    {
        m_sender = nullptr;
        m_total = 0;
    }

  private:
    void Close()
    {
        if (m_sender)
            m_total += std::chrono::duration<double>(m_last - m_first).count();
        m_sender = nullptr;
    }
    std::thread::id m_main = std::this_thread::get_id();
    const TObject* m_sender = nullptr;
    std::chrono::steady_clock::time_point m_first, m_last;
    double m_total = 0;
};

struct TBenchClient
{
    TTempFolder Data;
    TTempFolder Files;
    std::unique_ptr<TAppServerProcess> Server;
    TovnController* Controller = nullptr;
    TfrmOrvaneBrowser4* Window = nullptr;

    TBenchClient()
    {
        const std::filesystem::path resources = std::filesystem::path(Files.Path()) / "resources";
        std::filesystem::create_directories(resources);
        for (int i = 0; i < kModules; ++i)
            std::ofstream(resources / ("icn_m" + std::to_string(i) + ".png")) << "icon " << i;
        Server = std::make_unique<TAppServerProcess>(std::vector<std::string>{"--files", Files.Path()}, DatabaseSql());
        ovnSetDataPath(Data.Path());
        AppBrand = 0;
        Controller = new TovnController(nullptr);
        Window = Controller->Browser();
        Controller->Preferences().AutoLogin = false;
        Controller->Preferences().AutoDBLogin = false;
        Window->OnCheckKernelUpdate = [] { return false; };
        TovnConnections& list = Controller->Connections();
        list.Clear();
        TovnConnectionItem* local = list.Add();
        local->SetConnection("Local");
        local->SetURL("http://127.0.0.1:" + std::to_string(Server->Port()));
        local->SetDefault(true);
        Window->ExecuteLoginDialog = [](const TLoginCallback& callback) {
            return callback(nullptr, "BENCH", "bench", "Local");
        };
        Window->SetLogged(true);
        // A first sign-in registers the icons; they are fetched into the
        // cache before anything is measured.
        Window->SetDBLogged(true);
        Window->JoinPreloading();
        for (int i = 0; i < kModules; ++i)
            Controller->GetResourceFile("ICN_M" + std::to_string(i));
        Controller->Cache().Save();
        Window->SetDBLogged(false);
        QApplication::processEvents();
    }
};

TBenchClient& Client()
{
    static TBenchClient client;
    return client;
}

void DatabaseSignIn(benchmark::State& state)
{
    TBenchClient& c = Client();
    TCallClock clock;
    Progress.RegisterHandler(&clock);
    double client = 0;
    double server = 0;
    for (auto _ : state) {
        clock.Reset();
        const auto start = std::chrono::steady_clock::now();
        c.Window->SetDBLogged(true);
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const double calls = clock.Seconds();
        server += calls;
        client += wall - calls;
        state.SetIterationTime(wall);
        state.PauseTiming();
        if (c.Window->ModuleItems().ModuleNames().Count() != kModules ||
            c.Window->sysGetMenu().RecordCount() != kMenuRows)
            state.SkipWithError("the sign-in did not list every module and menu row");
        c.Window->SetDBLogged(false);
        // The icon preloading of this sign-in ends here, not inside the
        // next one (which would wait for it).
        c.Window->JoinPreloading();
        QApplication::processEvents();
        state.ResumeTiming();
    }
    Progress.UnRegisterHandler(&clock);
    state.counters["client_ms"] = benchmark::Counter(client * 1000 / static_cast<double>(state.iterations()));
    state.counters["server_ms"] = benchmark::Counter(server * 1000 / static_cast<double>(state.iterations()));
}

void GetMenuFetch(benchmark::State& state)
{
    TBenchClient& c = Client();
    c.Window->SetDBLogged(true);
    TovnOndrelSystem& menu = c.Window->sysGetMenu();
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        menu.Close();
        menu.Open();
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        if (menu.RecordCount() != kMenuRows)
            state.SkipWithError("the fetch did not read every menu row");
    }
    c.Window->SetDBLogged(false);
    QApplication::processEvents();
}

BENCHMARK(DatabaseSignIn)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(BenchRuns(5))
    ->Repetitions(BenchRuns(5))
    ->ReportAggregatesOnly(true);
BENCHMARK(GetMenuFetch)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(BenchRuns(5))
    ->Repetitions(BenchRuns(5))
    ->ReportAggregatesOnly(true);

} // namespace

KLD_QT_BENCHMARK_MAIN()

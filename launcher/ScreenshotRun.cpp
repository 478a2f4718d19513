#include "launcher/ScreenshotRun.h"

#include "launcher/TallowinStart.h"

#include "Components/Controller/mainwindow/OrvaneBrowser4.h"
#include "Components/Controller/mainwindow/OrvaneBrowser4Services.h"
#include "Components/Controller/ovnController.h"
#include "Components/Controller/signin/frmDBLogin.h"
#include "Components/Controller/signin/frmLogin.h"
#include "admin/ExplorerConsoles.h"
#include "admin/frmAdmin.h"
#include "admin/frmEnterprises.h"
#include "admin/frmExplorerMain.h"
#include "admin/frmNETHealth.h"
#include "platform/SysUtils.h"
#include "ui/KldAppletView.h"
#include "ui/KldModuleView.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <functional>
#include <iostream>
#include <vector>

namespace {

// How long a stop is left to paint (and a server call to answer) before its
// picture is taken.
constexpr qint64 SettleMs = 1500;
// The database sign-in may not show the module list; the road goes on after
// this long.
constexpr qint64 ModuleListWaitMs = 10000;
// A tool's window may take long to open on a busy machine (it asks the
// server first); its stop waits this long for it before the road goes on
// without its picture.
constexpr qint64 ModalWaitMs = 60000;

void SavePicture(QWidget* widget, const std::string& fileName)
{
    if (!widget->grab().save(QString::fromStdString(fileName), "PNG"))
        std::cerr << "Tallowin: cannot save the screenshot to " << fileName << "\n";
}

// Steps that may show boxes of their own (the sign-in, a modal tool, the
// close) run from the event loop, not inside the run's timer call: a box
// opened inside it would wait for a timer that cannot fire again until it
// returns.
template <class Fn> void Later(QObject* context, Fn fn)
{
    QTimer::singleShot(0, context, [fn] {
        try {
            fn();
        } catch (...) {
            ApplicationHandleException("Tallowin");
        }
    });
}

// One stop of a road: what is done there, and whether the picture is of the
// modal window the action shows (it is closed afterwards) or of the main
// window. Prepare runs once the modal window is up.
struct TRoadStop
{
    std::string Picture;
    std::function<void()> Act;
    bool Modal = false;
    std::function<void(QWidget*)> Prepare;
};

TfrmExplorerMain* Explorer()
{
    TfrmOrvaneBrowser4* main = ApplicationMainForm();
    return main ? dynamic_cast<TfrmExplorerMain*>(main->SystemWindow(swExplorer)) : nullptr;
}

void SelectConsoleTool(int Tag)
{
    if (TfrmAdmin* console = frmAdmin())
        console->KldOnAppSelect(nullptr, console->View().Items().Items(0)->Items().ItemByTag(Tag));
}

// The explorer's system database: the first database node of the sign-in
// connection, expanded, with its table TBL_USERS selected.
void ShowUsersTable()
{
    TfrmExplorerMain* explorer = Explorer();
    TfrmOrvaneBrowser4* main = ApplicationMainForm();
    if (!explorer || !main)
        return;
    QTreeWidgetItem* connection = explorer->ConnectionNode(&main->conMAIN());
    QTreeWidgetItem* system = TfrmExplorerMain::ChildNode(connection, "SYSTEM_DATA");
    if (!system)
        return;
    system->setExpanded(true);
    QTreeWidgetItem* table = TfrmExplorerMain::ChildNode(TfrmExplorerMain::ChildNode(system, "Tables"), "TBL_USERS");
    if (table)
        explorer->SetCurrentNode(table);
}

void RunUsersQuery()
{
    TfrmExplorerMain* explorer = Explorer();
    TfrmOrvaneBrowser4* main = ApplicationMainForm();
    if (!explorer || !main)
        return;
    for (const auto& console : explorer->Consoles()) {
        auto* sql = dynamic_cast<TSQLEditorObject*>(console.get());
        if (!sql || !sql->Database() || sql->Database()->DatabaseName() != "SYSTEM_DATA")
            continue;
        explorer->SetActivePage(sql->TabSheet());
        sql->SetSQLText("select * from tbl_users");
        explorer->actExecute->trigger();
        return;
    }
}

std::vector<TRoadStop> AdminRoad()
{
    std::vector<TRoadStop> road;
    road.push_back({"-console", [] { ApplicationMainForm()->DoOpenAdminConsole(); }, false, nullptr});
    road.push_back({"-enterprises", [] { SelectConsoleTool(13); }, true, [](QWidget* modal) {
                        if (auto* form = dynamic_cast<TfrmEnterprises*>(modal)) {
                            // The care group, which has homes and databases.
                            form->tblEnterprise->Next();
                            form->btnFacilityShow->click();
                            form->btnAliasShow->click();
                        }
                    }});
    road.push_back({"-connections", [] { SelectConsoleTool(11); }, true, nullptr});
    road.push_back({"-information", [] { SelectConsoleTool(17); }, true, [](QWidget* modal) {
                        if (auto* form = dynamic_cast<TfrmNETHealth*>(modal)) {
                            form->pcMain()->setCurrentIndex(form->pcMain()->count() - 1);
                            form->btnTest()->click();
                        }
                    }});
    road.push_back({"-explorer",
                    [] {
                        ApplicationMainForm()->DoOpenOndrelExplorer();
                        ShowUsersTable();
                    },
                    false, nullptr});
    road.push_back({"-explorer-sql", RunUsersQuery, false, nullptr});
    road.push_back({"-user-list", [] { ApplicationMainForm()->DoOpenUserList(); }, false, nullptr});
    return road;
}

// The nurse's road: the module list first (the database sign-in shows it),
// then the first module opened, then its sample applet running.
std::vector<TRoadStop> NurseRoad()
{
    std::vector<TRoadStop> road;
    road.push_back({"-modules", nullptr, false, nullptr});
    road.push_back({"-module",
                    [] {
                        TModuleItems& entries = ApplicationMainForm()->ModuleItems();
                        for (int i = 0; i < entries.Count(); ++i)
                            if (entries.Items(i)->Counter > 0) {
                                entries.OpenModule(*entries.Items(i));
                                break;
                            }
                    },
                    false, nullptr});
    road.push_back({"-applet",
                    [] { ApplicationMainForm()->RunApplet(-1, "SAMPLE_APPLET", sbResource, 0, "", nullptr, false); },
                    false, nullptr});
    return road;
}

// A timer that looks at the program every 200 ms: it takes the sign-in
// dialog (and, on the administrator's road, the database choice), then
// walks the road stop by stop, then ends the program. It runs inside any
// modal loop as well.
class TScreenshotRun : public QObject
{
  public:
    TScreenshotRun(const std::string& fileName, const std::string& signIn, TScreenshotRoad road)
        : QObject(QCoreApplication::instance()), m_fileName(fileName), m_road(road),
          m_stops(road == TScreenshotRoad::Admin ? AdminRoad() : NurseRoad())
    {
        const size_t colon = signIn.find(':');
        if (colon != std::string::npos) {
            m_user = signIn.substr(0, colon);
            m_password = signIn.substr(colon + 1);
        }
        m_clock.start();
        auto* timer = new QTimer(this);
        QObject::connect(timer, &QTimer::timeout, this, [this] { Step(); });
        timer->start(200);
    }

  private:
    qint64 Since() const { return m_clock.elapsed() - m_shownAt; }
    void Settle() { m_shownAt = m_clock.elapsed(); }

    void Step()
    {
        if (m_clock.elapsed() < SettleMs)
            return;
        if (QWidget* modal = QApplication::activeModalWidget()) {
            OnModal(modal);
            return;
        }
        TfrmOrvaneBrowser4* form = ApplicationMainForm();
        if (m_done || !form || Since() < SettleMs)
            return;
        // Without a sign-in only the last picture is taken; the same for the
        // nurse's road without a database sign-in, since it starts at the
        // module list that sign-in shows.
        if (!form->Logged() || (m_road == TScreenshotRoad::Nurse && !form->DBLogged())) {
            Finish(form, true);
            return;
        }
        if (m_next == 0 && m_road == TScreenshotRoad::Nurse && !form->ModuleList().Visible() &&
            m_clock.elapsed() - m_shownAt < ModuleListWaitMs)
            return;
        bool mainPictured = false;
        if (m_pending) {
            if (m_stops[m_next].Modal && m_modalSeenAt < 0 && Since() < ModalWaitMs)
                return; // its window has not opened yet
            // A modal stop whose window has closed again has its picture.
            if (!m_stops[m_next].Modal) {
                SavePicture(form, StepScreenshotName(m_fileName, m_stops[m_next].Picture));
                mainPictured = true;
            }
            m_pending = false;
            ++m_next;
        }
        if (m_next >= m_stops.size()) {
            // The last stop's picture already shows the main window as the
            // run ends; a second file of the same pixels would say nothing.
            Finish(form, !mainPictured);
            return;
        }
        StartStop(m_stops[m_next]);
    }

    void StartStop(const TRoadStop& stop)
    {
        m_pending = true;
        m_modalSeenAt = -1;
        Settle();
        if (stop.Act)
            Later(this, stop.Act);
    }

    void OnModal(QWidget* modal)
    {
        if (auto* login = dynamic_cast<TfrmLogin*>(modal)) {
            SignIn(*login);
        } else if (auto* choice = dynamic_cast<TfrmDBLogin*>(modal);
                   choice && m_road == TScreenshotRoad::Admin && !m_choseDatabase) {
            ChooseDatabase(*choice);
        } else if (m_pending && m_stops[m_next].Modal) {
            ShowModalStop(modal, m_stops[m_next]);
            return;
        } else {
            Close(modal);
        }
        Settle();
    }

    // The tool's window: prepared once, left to paint, pictured, closed.
    void ShowModalStop(QWidget* modal, const TRoadStop& stop)
    {
        if (m_modalSeenAt < 0) {
            m_modalSeenAt = m_clock.elapsed();
            if (stop.Prepare) {
                QPointer<QWidget> window(modal);
                auto prepare = stop.Prepare;
                Later(this, [window, prepare] {
                    if (window)
                        prepare(window);
                });
            }
            return;
        }
        if (m_clock.elapsed() - m_modalSeenAt < 2 * SettleMs)
            return;
        SavePicture(modal->window(), StepScreenshotName(m_fileName, stop.Picture));
        Close(modal);
        Settle();
    }

    static void Close(QWidget* modal)
    {
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        else
            modal->close();
    }

    // The administrator's data: MAPLE, found by typing its name.
    void ChooseDatabase(TfrmDBLogin& choice)
    {
        m_choseDatabase = true;
        for (char c : std::string("MAPLE"))
            choice.TypeChar(static_cast<char32_t>(c));
        QPointer<TfrmDBLogin> dialog(&choice);
        Later(this, [dialog] {
            if (dialog)
                dialog->btnOK()->click();
        });
    }

    void Finish(TfrmOrvaneBrowser4* form, bool picture)
    {
        m_done = true;
        if (picture)
            SavePicture(form, m_fileName);
        Later(this, [] {
            if (TfrmOrvaneBrowser4* main = ApplicationMainForm()) {
                main->SetLogged(false);
                main->close();
            }
        });
    }

    void SignIn(TfrmLogin& login)
    {
        if (login.Busy())
            return;
        // The picture shows the dialog filled in, before it signs in.
        if (!m_signInSaved) {
            if (!m_user.empty()) {
                login.edtID()->setText(QString::fromStdString(m_user));
                login.edtPassword()->setText(QString::fromStdString(m_password));
            }
            SavePicture(&login, SignInScreenshotName(m_fileName));
            m_signInSaved = true;
            return;
        }
        if (m_user.empty() || m_tried) {
            login.SetModalResult(mrCancel);
            return;
        }
        m_tried = true;
        QPointer<TfrmLogin> dialog(&login);
        Later(this, [dialog] {
            if (dialog)
                dialog->btnOkClick();
        });
    }

    std::string m_fileName;
    TScreenshotRoad m_road;
    std::vector<TRoadStop> m_stops;
    std::string m_user;
    std::string m_password;
    QElapsedTimer m_clock;
    qint64 m_shownAt = 0;
    qint64 m_modalSeenAt = -1;
    size_t m_next = 0;
    bool m_pending = false;
    bool m_signInSaved = false;
    bool m_tried = false;
    bool m_choseDatabase = false;
    bool m_done = false;
};

} // namespace

TScreenshotRoad ParseScreenshotRoad(const std::string& Text)
{
    return SameText(Trim(Text), "admin") ? TScreenshotRoad::Admin : TScreenshotRoad::Nurse;
}

void StartScreenshotRun(const std::string& FileName, const std::string& SignIn, TScreenshotRoad Road)
{
    new TScreenshotRun(FileName, SignIn, Road);
}

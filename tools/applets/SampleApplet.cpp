// "SAMPLE_APPLET": a form that shows its caption, mode and parameters, opens
// a child form or another applet, marks unsaved data and closes itself; it
// adds an item to the info bar. Its other buttons use the controller: take
// and clear a lock, show the facilities in the debug viewer, look up a
// value, run the add-on "BROWSER_LOGIN", and send a notification to a user
// (the demo's way to reach another user's notification center).
#include "SampleForms.h"

#include <QLineEdit>

#include <functional>
#include <memory>

namespace {

class TSampleApplet;

class TSampleChildForm : public TovnAppletForm
{
  public:
    explicit TSampleChildForm(TovnApplet* Applet)
    {
        setObjectName("SampleChildForm");
        SetCaption("Sample Child");
        auto* layout = new QVBoxLayout(this);
        Samples::NamedLabel(this, "lblChild", layout)->setText("A child form of the sample applet");
        QPushButton* close = Samples::NamedButton(this, "btnCloseChild", "Close", layout);
        QObject::connect(close, &QPushButton::clicked, this, [Applet] { Applet->Close(false); });
    }
};

class TSampleForm : public TovnAppletForm
{
  public:
    explicit TSampleForm(TovnApplet* Applet) : m_applet(Applet)
    {
        setObjectName("SampleAppletForm");
        SetCaption("Sample Applet");
        auto* layout = new QVBoxLayout(this);
        m_caption = Samples::NamedLabel(this, "lblCaption", layout);
        m_mode = Samples::NamedLabel(this, "lblMode", layout);
        m_params = Samples::NamedLabel(this, "lblParams", layout);
        m_state = Samples::NamedLabel(this, "lblState", layout);
        QPushButton* child = Samples::NamedButton(this, "btnChild", "Open Child Form", layout);
        QPushButton* other = Samples::NamedButton(this, "btnApplet", "Open Another Applet", layout);
        QPushButton* dirty = Samples::NamedButton(this, "btnModify", "Mark Unsaved Data", layout);
        QPushButton* lock = Samples::NamedButton(this, "btnLock", "Take Lock", layout);
        QPushButton* unlock = Samples::NamedButton(this, "btnUnlock", "Clear Lock", layout);
        QPushButton* debug = Samples::NamedButton(this, "btnDebug", "Show Data in Debug Viewer", layout);
        QPushButton* lookup = Samples::NamedButton(this, "btnLookup", "Look Up a Value", layout);
        QPushButton* addon = Samples::NamedButton(this, "btnAddon", "Run Add-on", layout);
        m_notifyUser = Samples::NamedEdit(this, "edtNotifyUser", "MANAGER", "For user (empty: everybody)", layout);
        m_notifyText = Samples::NamedEdit(this, "edtNotifyText", "Please look at the sample applet.",
                                          "Notification text", layout);
        QPushButton* notify = Samples::NamedButton(this, "btnNotify", "Send Notification", layout);
        QPushButton* close = Samples::NamedButton(this, "btnClose", "Close", layout);
        layout->addStretch(1);
        // The controller's services; an error shows in the state line.
        QObject::connect(lock, &QPushButton::clicked, this, [this] {
            Report([this] { m_lockPath = Controller->CreateLockWithAlias("SAMPLE", "Sample applet"); },
                   [this] { return "Locked " + m_lockPath; });
        });
        QObject::connect(unlock, &QPushButton::clicked, this, [this] {
            Report([this] { Controller->ClearLock(m_lockPath); }, [] { return std::string("Lock cleared"); });
        });
        QObject::connect(debug, &QPushButton::clicked, this, [this] {
            Report(
                [this] {
                    std::unique_ptr<TovnOndrelQuery> query(
                        LibController::CreateQuery("SELECT COUNTER, FACILITY, FACILITY_NAME FROM TBL_FACILITY"));
                    query->SetName("qryFacilities");
                    query->Open();
                    Controller->DebugDataset(query.get());
                },
                [] { return std::string("Debug viewer closed"); });
        });
        QObject::connect(lookup, &QPushButton::clicked, this, [this] {
            std::string value;
            Report(
                [&] {
                    value = VarToStr(LibController::LookupValue(
                        "SELECT FACILITY_NAME FROM TBL_FACILITY WHERE COUNTER = :C", {Variant(int32_t(1))}));
                },
                [&] { return "Facility 1: " + value; });
        });
        QObject::connect(addon, &QPushButton::clicked, this, [this] {
            int32_t result = 0;
            Report([&] { result = Controller->RunObject("BROWSER_LOGIN", "seven"); },
                   [&] { return "Add-on answered " + std::to_string(result); });
        });
        // Clicking the notification in the receiver's center opens this
        // applet again with these parameters.
        QObject::connect(notify, &QPushButton::clicked, this, [this] {
            const std::string user = Trim(m_notifyUser->text().toStdString());
            Report(
                [&] {
                    CreateNotification(m_applet, Now(), m_notifyText->text().toStdString(), "Sample Applet",
                                       "SAMPLE_APPLET", "FROM=NOTIFICATION", 0, 0, 0, 0, 0, user);
                },
                [&] { return "Notification sent" + (user.empty() ? std::string() : " to " + user); });
        });
        QObject::connect(child, &QPushButton::clicked, this, [this] { OpenChild(); });
        QObject::connect(other, &QPushButton::clicked, this,
                         [this] { m_applet->RunApplet("SAMPLE_APPLET", 0, "FROM=SAMPLE_APPLET"); });
        QObject::connect(dirty, &QPushButton::clicked, this, [this] {
            m_applet->Modified = true;
            m_state->setText("Unsaved data");
        });
        QObject::connect(close, &QPushButton::clicked, this, [this] { m_applet->Close(false); });
    }

    void Report(const std::function<void()>& Step, const std::function<std::string()>& Done)
    {
        try {
            Step();
            m_state->setText(QString::fromStdString(Done()));
        } catch (const Exception& e) {
            m_state->setText(QString::fromStdString(e.Message()));
        }
    }

    void OpenChild()
    {
        auto* form = new TSampleChildForm(m_applet);
        m_applet->AddChild(form);
        form->show();
    }

    void WndProc(TMessage& Message) override
    {
        switch (Message.Msg) {
        case WM_APPLETSHOWN:
            Samples::ShowAppletFacts(*m_applet, m_caption, m_mode, m_params);
            m_state->setText("Shown");
            break;
        case WM_APPLETREACTIVATE:
            m_state->setText("On top again");
            break;
        case WM_FILLINFOBARITEMS:
            if (auto* list = reinterpret_cast<TovnInfoList*>(Message.LParam))
                list->AddInfo("SAMPLE", "Sample applet: " + m_applet->Caption, -1);
            break;
        default:
            TovnAppletForm::WndProc(Message);
        }
    }

  private:
    TovnApplet* m_applet;
    QLabel* m_caption;
    QLabel* m_mode;
    QLabel* m_params;
    QLabel* m_state;
    QLineEdit* m_notifyUser;
    QLineEdit* m_notifyText;
    std::string m_lockPath;
};

class TSampleApplet : public TovnApplet
{
  public:
    TSampleApplet() { MainForm = new TSampleForm(this); }
};

} // namespace

OVN_APPLET_INIT(new TSampleApplet)

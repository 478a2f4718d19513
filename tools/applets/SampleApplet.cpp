// "SAMPLE_APPLET": a form that shows its caption, mode and parameters, opens
// a child form or another applet, marks unsaved data and closes itself; it
// adds an item to the info bar.
#include "SampleForms.h"

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
        QPushButton* close = Samples::NamedButton(this, "btnClose", "Close", layout);
        layout->addStretch(1);
        QObject::connect(child, &QPushButton::clicked, this, [this] { OpenChild(); });
        QObject::connect(other, &QPushButton::clicked, this,
                         [this] { m_applet->RunApplet("SAMPLE_APPLET", 0, "FROM=SAMPLE_APPLET"); });
        QObject::connect(dirty, &QPushButton::clicked, this, [this] {
            m_applet->Modified = true;
            m_state->setText("Unsaved data");
        });
        QObject::connect(close, &QPushButton::clicked, this, [this] { m_applet->Close(false); });
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
};

class TSampleApplet : public TovnApplet
{
  public:
    TSampleApplet() { MainForm = new TSampleForm(this); }
};

} // namespace

OVN_APPLET_INIT(new TSampleApplet)

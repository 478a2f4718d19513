// "SAMPLE_WIDGET": a widget two columns wide (1225 answers 0x0102, of which
// the host takes the low byte) that shows its caption and parameters.
#include "SampleForms.h"

namespace {

class TSampleWidgetForm : public TovnAppletForm
{
  public:
    explicit TSampleWidgetForm(TovnApplet* Applet) : m_applet(Applet)
    {
        setObjectName("SampleWidgetForm");
        SetCaption("Sample Widget");
        auto* layout = new QVBoxLayout(this);
        m_caption = Samples::NamedLabel(this, "lblCaption", layout);
        m_mode = Samples::NamedLabel(this, "lblMode", layout);
        m_params = Samples::NamedLabel(this, "lblParams", layout);
        layout->addStretch(1);
        setStyleSheet("background: white;");
    }

    void WndProc(TMessage& Message) override
    {
        switch (Message.Msg) {
        case WM_GETWIDGETCOLSPAN:
            Message.Result = 0x0102;
            break;
        case WM_APPLETSHOWN:
            Samples::ShowAppletFacts(*m_applet, m_caption, m_mode, m_params);
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
};

class TSampleWidget : public TovnApplet
{
  public:
    TSampleWidget() { MainForm = new TSampleWidgetForm(this); }
};

} // namespace

OVN_APPLET_INIT(new TSampleWidget)

// "_RESIDENTS_DATA": the print applet of the residents data form. It shows
// the parameters it received: the list's filter and sort, each in double
// quotes, and the form's further print parameters.
#include "SampleForms.h"

namespace {

class TResidentsPrintForm : public TovnAppletForm
{
  public:
    explicit TResidentsPrintForm(TovnApplet* Applet) : m_applet(Applet)
    {
        setObjectName("frmResidentsPrint");
        SetCaption("Residents: Print");
        auto* layout = new QVBoxLayout(this);
        m_caption = Samples::NamedLabel(this, "lblCaption", layout);
        m_mode = Samples::NamedLabel(this, "lblMode", layout);
        m_params = Samples::NamedLabel(this, "lblParams", layout);
        m_params->setWordWrap(true);
        QPushButton* close = Samples::NamedButton(this, "btnClose", "Close", layout);
        layout->addStretch(1);
        QObject::connect(close, &QPushButton::clicked, this, [this] { m_applet->Close(false); });
    }

    void WndProc(TMessage& Message) override
    {
        if (Message.Msg == WM_APPLETSHOWN)
            Samples::ShowAppletFacts(*m_applet, m_caption, m_mode, m_params);
        else
            TovnAppletForm::WndProc(Message);
    }

  private:
    TovnApplet* m_applet;
    QLabel* m_caption;
    QLabel* m_mode;
    QLabel* m_params;
};

class TResidentsPrintApplet : public TovnApplet
{
  public:
    TResidentsPrintApplet() { MainForm = new TResidentsPrintForm(this); }
};

} // namespace

OVN_APPLET_INIT(new TResidentsPrintApplet)

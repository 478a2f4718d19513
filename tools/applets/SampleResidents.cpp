// "SAMPLE_RESIDENTS": the "Residents" form over TBL_RESIDENT, built from the
// data-entry controls: the name in a data edit, the facility in a lookup
// combo on C_FACILITY showing FACILITY_NAME (the form's query carries it
// from TBL_FACILITY; posting writes TBL_RESIDENT's columns only), the
// admission date in a data combo with the date tool, CURRENT_USE in a radio
// pair, the notes in a memo, and Edit and Post buttons. The combos' plus
// buttons stay hidden: a data-form manager shows them when it sets their
// Applet.
#include "SampleForms.h"

#include <QApplication>

#include <functional>
#include <memory>

namespace {

class TResidentsForm : public TovnAppletForm
{
  public:
    explicit TResidentsForm(TovnApplet* Applet) : m_applet(Applet)
    {
        setObjectName("ResidentsForm");
        SetCaption("Residents");
        resize(470, 330);

        m_query = std::make_unique<TovnOndrelQuery>();
        m_query->SetName("qryResident");
        m_query->SetDatabaseName("DATA");
        TSQLQuerySchema& sql = m_query->SQLSchema();
        sql.Select().SetText("R.COUNTER, R.RESIDENT_NAME, R.C_FACILITY, F.FACILITY_NAME, R.ADMISSION_DATE, "
                             "R.CURRENT_USE, R.NOTES");
        sql.From().SetText("TBL_RESIDENT R LEFT JOIN TBL_FACILITY F ON F.COUNTER = R.C_FACILITY");
        sql.OrderBy().SetText("R.COUNTER");
        // Edits go to the resident's own table; FACILITY_NAME is shown only.
        m_query->SetTableName("TBL_RESIDENT");
        m_query->SetKeyFieldName("COUNTER");
        m_query->SetServerUpdate(true);
        m_source.SetDataSet(m_query.get());

        edtName = new TovnDBEdit(this);
        edtName->setObjectName("edtName");
        Place(edtName, 10, "Name");
        edtName->SetDataSource(&m_source);
        edtName->SetDataField("RESIDENT_NAME");

        cboFacility = new TovnDBLookupCombo(this);
        cboFacility->setObjectName("cboFacility");
        Place(cboFacility, 44, "Facility");
        cboFacility->SetDataSource(&m_source);
        cboFacility->SetDataField("C_FACILITY");
        cboFacility->SetDataDisplayField("FACILITY_NAME");
        cboFacility->SetLookupDisplayField("FACILITY_NAME");
        cboFacility->LookupSQL().Select().SetText("COUNTER, FACILITY, FACILITY_NAME, STATE");
        cboFacility->LookupSQL().From().SetText("TBL_FACILITY");
        cboFacility->LookupSQL().Where().SetText("CURRENT_USE = 'T'");
        cboFacility->LookupSQL().OrderBy().SetText("FACILITY_NAME");
        cboFacility->SetPlusResource("SAMPLE_APPLET");
        cboFacility->SetComboButtons(TComboButtons{cbLookup});
        cboFacility->Loaded();

        cboAdmission = new TovnDBCombo(this);
        cboAdmission->setObjectName("cboAdmission");
        Place(cboAdmission, 78, "Admission Date", 260);
        cboAdmission->SetDataSource(&m_source);
        cboAdmission->SetDataField("ADMISSION_DATE");
        cboAdmission->SetLookupTool(TLookupTool::ltCalendarDate);
        cboAdmission->SetComboButtons(TComboButtons{cbLookup});
        cboAdmission->Loaded();

        rdoCurrentUse = new TovnDBRadio(this);
        rdoCurrentUse->setObjectName("rdoCurrentUse");
        rdoCurrentUse->SetIndent(110);
        rdoCurrentUse->SetCaption("Current");
        rdoCurrentUse->SetBounds(10, 112, 260, 27);
        rdoCurrentUse->SetDataSource(&m_source);
        rdoCurrentUse->SetDataField("CURRENT_USE");

        memNotes = new TovnDBMemo(this);
        memNotes->setObjectName("memNotes");
        memNotes->SetBounds(10, 146, 450, 110);
        memNotes->SetDataSource(&m_source);
        memNotes->SetDataField("NOTES");

        btnEdit = new QPushButton("&Edit", this);
        btnEdit->setObjectName("btnEdit");
        btnEdit->setGeometry(10, 266, 90, 26);
        btnPost = new QPushButton("&Post", this);
        btnPost->setObjectName("btnPost");
        btnPost->setGeometry(110, 266, 90, 26);
        m_state = new QLabel(this);
        m_state->setTextFormat(Qt::PlainText); // the server's error texts too
        m_state->setObjectName("lblState");
        m_state->setGeometry(10, 298, 450, 24);
        QObject::connect(btnEdit, &QPushButton::clicked, this,
                         [this] { Report([this] { m_query->Edit(); }); });
        QObject::connect(btnPost, &QPushButton::clicked, this, [this] {
            Report([this] {
                // The controls write what they hold before the row goes.
                if (QWidget* focused = QApplication::focusWidget())
                    focused->clearFocus();
                m_query->Post();
            });
        });
    }

    // The controls go before the query and the data source they are bound to.
    ~TResidentsForm() override
    {
        for (QWidget* child : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
            delete child;
    }

    void WndProc(TMessage& Message) override
    {
        if (Message.Msg == WM_APPLETSHOWN) {
            Report([this] { m_query->Open(); });
            return;
        }
        TovnAppletForm::WndProc(Message);
    }

    TovnDBEdit* edtName;
    TovnDBLookupCombo* cboFacility;
    TovnDBCombo* cboAdmission;
    TovnDBRadio* rdoCurrentUse;
    TovnDBMemo* memNotes;
    QPushButton* btnEdit;
    QPushButton* btnPost;

  private:
    template <class C> void Place(C* Control, int Top, const char* Caption, int Width = 450)
    {
        Control->SetIndent(110);
        Control->SetCaption(Caption);
        Control->SetBounds(10, Top, Width, 27);
        Control->SetTabStop(true);
    }

    // Runs Step; an error shows in the state line.
    void Report(const std::function<void()>& Step)
    {
        try {
            Step();
            m_state->setText(QString::fromStdString(m_query->State() == dsEdit ? "Editing" : "Browsing"));
        } catch (const Exception& e) {
            m_state->setText(QString::fromStdString(e.Message()));
        }
    }

    TovnApplet* m_applet;
    std::unique_ptr<TovnOndrelQuery> m_query;
    TDataSource m_source;
    QLabel* m_state;
};

class TResidentsApplet : public TovnApplet
{
  public:
    TResidentsApplet() { MainForm = new TResidentsForm(this); }
};

} // namespace

OVN_APPLET_INIT(new TResidentsApplet)

// The faulty sample libraries, one per SAMPLE_FAULT value:
// NO_INIT      no "INIT" export
// NIL_INIT     "INIT" answers null
// RAISE_INIT   the applet's OnInit raises
// RAISE_SHOWN  the form raises while it handles 1224
// NO_FORM      the applet has no main form
// REFUSE_CLOSE the form refuses to close
// OLD_API      built against an interface version the controller lacks
// RAISE_OWN    the applet's OnInit raises an exception class of the library's own
// HAND_INIT    an "INIT" written without the header's macro raises a class of its own
#include "SampleForms.h"

#include <stdexcept>

#define FAULT_NO_INIT 1
#define FAULT_NIL_INIT 2
#define FAULT_RAISE_INIT 3
#define FAULT_RAISE_SHOWN 4
#define FAULT_NO_FORM 5
#define FAULT_REFUSE_CLOSE 6
#define FAULT_OLD_API 7
#define FAULT_RAISE_OWN 8
#define FAULT_HAND_INIT 9

namespace {

#if SAMPLE_FAULT == FAULT_RAISE_OWN
// A class of this library alone: its type information and its destructor
// are code of the library (the key function below is defined here).
class ESampleFault : public Exception
{
  public:
    using Exception::Exception;
    std::string ClassName() const override;
};

std::string ESampleFault::ClassName() const
{
    return "ESampleFault";
}
#elif SAMPLE_FAULT == FAULT_HAND_INIT
class ESampleInitFault : public std::runtime_error
{
  public:
    using std::runtime_error::runtime_error;
    ~ESampleInitFault() override;
};

ESampleInitFault::~ESampleInitFault() = default;
#endif

class TFaultyForm : public TovnAppletForm
{
  public:
    TFaultyForm()
    {
        setObjectName("FaultyForm");
        SetCaption("Faulty Applet");
        auto* layout = new QVBoxLayout(this);
        Samples::NamedLabel(this, "lblFault", layout)->setText("A faulty sample");
#if SAMPLE_FAULT == FAULT_REFUSE_CLOSE
        OnCloseQuery = [this](TObject*, bool& CanClose) { CanClose = AllowClose; };
#endif
    }

    void WndProc(TMessage& Message) override
    {
#if SAMPLE_FAULT == FAULT_RAISE_SHOWN
        if (Message.Msg == WM_APPLETSHOWN)
            throw Exception("The sample form fails when shown");
#endif
        TovnAppletForm::WndProc(Message);
    }

#if SAMPLE_FAULT == FAULT_REFUSE_CLOSE
    // The refusing form lets go once told (so a test can end cleanly).
    static inline bool AllowClose = false;
#endif
};

class TFaultyApplet : public TovnApplet
{
  public:
    TFaultyApplet()
    {
#if SAMPLE_FAULT != FAULT_NO_FORM
        MainForm = new TFaultyForm;
#endif
#if SAMPLE_FAULT == FAULT_RAISE_INIT
        OnInit = [] { throw Exception("The sample applet fails to initialise"); };
#elif SAMPLE_FAULT == FAULT_RAISE_OWN
        OnInit = [] { throw ESampleFault("The sample applet fails with an error of its own"); };
#endif
    }
};

} // namespace

#if SAMPLE_FAULT == FAULT_NO_INIT
extern "C" __attribute__((visibility("default"))) int SAMPLE_NOT_AN_APPLET()
{
    return 1;
}
#elif SAMPLE_FAULT == FAULT_NIL_INIT
OVN_APPLET_INIT(nullptr)
#elif SAMPLE_FAULT == FAULT_OLD_API
// What a library built against version 0 of the header would call.
extern "C" TovnApplet* ovnAppletApi_0(TovnApplet* Applet);
extern "C" __attribute__((visibility("default"))) TovnApplet* INIT()
{
    return ovnAppletApi_0(new TFaultyApplet);
}
#elif SAMPLE_FAULT == FAULT_HAND_INIT
// Written by hand: nothing keeps the exception inside the library.
extern "C" __attribute__((visibility("default"))) TovnApplet* INIT()
{
    throw ESampleInitFault("The sample library fails in its own INIT");
}
#else
OVN_APPLET_INIT(new TFaultyApplet)
#endif

#if SAMPLE_FAULT == FAULT_REFUSE_CLOSE
// Lets the refusing form close (tests end with it).
extern "C" __attribute__((visibility("default"))) void SAMPLE_ALLOW_CLOSE(bool Value)
{
    TFaultyForm::AllowClose = Value;
}
#endif

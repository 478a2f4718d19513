// The quick-type popup: its placement over the editor of the control that
// opens it, its look, and the keys that accept or cancel it.
#include "ui/DataEntryForm.h"

#include "platform/Mask.h"
#include "ui/ovnMaskEdit.h"

#include "support/DialogScript.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QTimer>

namespace {

struct Host
{
    QWidget Window;
    TovnGeneralControl* Control;
    Host(int x, int y)
    {
        Window.setGeometry(x, y, 300, 100);
        Control = new TovnMaskEdit(&Window);
        Control->SetBounds(10, 0, 200, 40);
        Window.show();
    }
};

struct Shown
{
    QRect Geometry;
    QRect EditGeometry;
    double Opacity = 0;
    int CursorPosition = -1;
    QRgb Corner = 0;
    QRgb Inside = 0;
    QColor EditText;
    QColor EditBase;
    bool TimerActive = true;
};

// Shows the popup for Control's editor Rect, runs Steps on it and answers
// what it looked like and its result.
int RunPopup(TovnGeneralControl* Control, TRect Rect, std::function<void(TfrmDataEntry&)> Steps, Shown& Seen,
             const QString& Typed = QString())
{
    TfrmDataEntry popup;
    popup.SetParams(Control, Rect);
    popup.Edt->SetText(Typed.toStdString());
    auto shown = WhenModal<TfrmDataEntry>([&](TfrmDataEntry& p) {
        Seen.Geometry = p.geometry();
        Seen.EditGeometry = p.Edt->geometry();
        Seen.Opacity = p.windowOpacity();
        Seen.CursorPosition = p.Edt->cursorPosition();
        Seen.EditText = p.Edt->palette().color(QPalette::Text);
        Seen.EditBase = p.Edt->palette().color(QPalette::Base);
        Seen.TimerActive = p.Timer->isActive();
        const QImage picture = p.grab().toImage();
        Seen.Corner = picture.pixel(0, 0);
        Seen.Inside = picture.pixel(1, 1);
        Steps(p);
    });
    popup.ShowModal();
    EXPECT_TRUE(*shown);
    return popup.Tag;
}

TEST(DataEntryPopup, LiesOverTheEditorInItsOwnColours)
{
    Host host(100, 200);
    const QPoint editor = host.Control->mapToGlobal(QPoint(4, 12));
    Shown seen;
    RunPopup(host.Control, TRect{4, 12, 124, 30}, [](TfrmDataEntry& p) { Keys::Escape(*p.Edt); }, seen, "a");
    EXPECT_EQ(seen.Geometry.topLeft(), QPoint(editor.x() + 3, editor.y() - 10));
    EXPECT_EQ(seen.Geometry.width(), 120) << "the editor's width";
    EXPECT_EQ(seen.EditGeometry.left(), 2);
    EXPECT_EQ(seen.EditGeometry.top(), 4);
    EXPECT_EQ(seen.EditGeometry.width(), 116);
    EXPECT_NEAR(seen.Opacity, 220.0 / 255.0, 0.01);
    EXPECT_EQ(seen.CursorPosition, 1) << "after the typed character";
    EXPECT_EQ(seen.Corner, qRgb(0x20, 0x59, 0xC6)) << "the frame";
    EXPECT_EQ(seen.Inside, qRgb(0xD1, 0xDF, 0xF8)) << "the background";
    EXPECT_EQ(seen.EditBase, QColor(0xD1, 0xDF, 0xF8));
    EXPECT_EQ(seen.EditText, QColor(Qt::black)) << "navy until shown";
    EXPECT_FALSE(seen.TimerActive);

    // An editor at the top of the screen: the popup goes below its top.
    Host top(0, 0);
    const QPoint high = top.Control->mapToGlobal(QPoint(0, 0));
    ASSERT_LE(high.y(), 3);
    RunPopup(top.Control, TRect{0, 0, 80, 20}, [](TfrmDataEntry& p) { Keys::Escape(*p.Edt); }, seen);
    EXPECT_EQ(seen.Geometry.top(), high.y() + 3);

    // Without a control: at the origin, its own size.
    TfrmDataEntry probe;
    const QSize own = probe.size();
    RunPopup(nullptr, TRect{50, 50, 60, 60}, [](TfrmDataEntry& p) { Keys::Escape(*p.Edt); }, seen);
    EXPECT_EQ(seen.Geometry, QRect(QPoint(0, 0), own));
}

TEST(DataEntryPopup, KeysAcceptOrCancel)
{
    Host host(100, 200);
    struct Case
    {
        const char* what;
        std::function<void(QWidget&)> keys;
        int result;
        std::string text;
    };
    const std::vector<Case> cases = {
        {"Enter", [](QWidget& w) { Keys::Enter(w); }, 100, "a"},
        {"Escape", [](QWidget& w) { Keys::Escape(w); }, 0, "a"},
        {"Down", [](QWidget& w) { Keys::Press(w, Qt::Key_Down); }, 100, "a"},
        {"Tab", [](QWidget& w) { Keys::Press(w, Qt::Key_Tab, Qt::NoModifier, "\t"); }, 100, "a"},
        {"a bracket is typed like any other character, then Enter",
         [](QWidget& w) {
             Keys::Type(w, "(");
             Keys::Enter(w);
         },
         100, "a("},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Shown seen;
        std::string text;
        const int result = RunPopup(
            host.Control, TRect{0, 10, 100, 30},
            [&](TfrmDataEntry& p) {
                c.keys(*p.Edt);
                text = p.Edt->Text();
            },
            seen, "a");
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(text, c.text);
    }

    // Closed from outside (a press elsewhere closes a popup): a cancel.
    Shown seen;
    EXPECT_EQ(RunPopup(host.Control, TRect{0, 10, 100, 30}, [](TfrmDataEntry& p) { p.close(); }, seen, "a"), 0);
}

TEST(DataEntryPopup, TheUnitVariableForgetsAFreedPopup)
{
    auto* popup = new TfrmDataEntry();
    frmDataEntry = popup;
    delete popup;
    EXPECT_EQ(frmDataEntry, nullptr);
}

} // namespace

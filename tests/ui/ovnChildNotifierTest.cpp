// Setting a value on the child notifier posts exactly one 6658 to its owner.
#include "ui/ovnChildNotifier.h"

#include "platform/FormParts.h"

#include <QApplication>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

struct Owner : QWidget
{
    std::vector<std::pair<uint32_t, QObject*>> got;
    uintptr_t wparam = 99;
    bool event(QEvent* e) override
    {
        if (e->type() == TChildNotifyEvent::EventType()) {
            auto* n = static_cast<TChildNotifyEvent*>(e);
            got.push_back({n->Msg, n->Control.data()});
            wparam = n->WParam;
            return true;
        }
        return QWidget::event(e);
    }
};

} // namespace

TEST(ovnChildNotifier, SetValuePostsOne6658WithTheControl)
{
    Owner form;
    auto* panel = new QWidget(&form);
    auto* notifier = new TOvnChildNotifier(panel);
    EXPECT_EQ(notifier->GetValue(), "");
    notifier->EnableContents(false);
    notifier->SetValue("anything");
    EXPECT_TRUE(form.got.empty()); // posted, not sent
    QCoreApplication::sendPostedEvents();
    ASSERT_EQ(form.got.size(), 1u);
    EXPECT_EQ(form.got[0].first, 6658u);
    EXPECT_EQ(form.got[0].second, notifier);
    EXPECT_EQ(form.wparam, 0u);
    EXPECT_EQ(notifier->GetValue(), "");

    // Gone before the owner reads it: the message names no control.
    notifier->SetValue("");
    delete notifier;
    QCoreApplication::sendPostedEvents();
    ASSERT_EQ(form.got.size(), 2u);
    EXPECT_EQ(form.got[1].second, nullptr);
}

// A form embedded in another window (as applet forms sit in their
// containers) gets the message; the window around it does not.
TEST(ovnChildNotifier, TheOwnerFormIsTheFormNotTheWindowAroundIt)
{
    Owner window;
    auto* form = new Owner;
    form->setParent(&window);
    MarkAsForm(form);
    auto* panel = new QWidget(form);
    auto* notifier = new TOvnChildNotifier(panel);
    notifier->SetValue("1");
    QCoreApplication::sendPostedEvents();
    ASSERT_EQ(form->got.size(), 1u);
    EXPECT_EQ(form->got[0].first, 6658u);
    EXPECT_EQ(form->got[0].second, notifier);
    EXPECT_TRUE(window.got.empty());
}

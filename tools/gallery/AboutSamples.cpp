// The about box of both brands and the web help window.

#include "tools/gallery/GallerySamples.h"

#include "Components/Controller/mainwindow/frmAbout.h"
#include "Components/Controller/web/frmWebHelp.h"
#include "Components/Controller/web/ovnWebViewController.h"
#include "platform/DateUtils.h"

namespace {

template <class D> D* Embed(D* dialog)
{
    dialog->setWindowFlags(Qt::Widget);
    return dialog;
}

TovnVersionInfo SampleVersion()
{
    TovnVersionInfo info;
    info.ProductVersion = "4.2";
    info.FileVersion = "4.2.0.117";
    info.FileDate = EncodeDateTime(2026, 3, 7, 14, 5, 0, 0);
    return info;
}

QWidget* MakeAbout0(QWidget* parent)
{
    return Embed(new TfrmAbout(0, SampleVersion(), parent));
}

QWidget* MakeAbout1(QWidget* parent)
{
    return Embed(new TfrmAbout(1, SampleVersion(), parent));
}

QWidget* MakeWebHelp(QWidget* parent)
{
    auto* help = new TfrmWebHelp(1, "about:blank", parent);
    help->setWindowFlags(Qt::Widget);
    return help;
}

std::vector<std::pair<std::string, QImage>> FillWebHelp(QWidget* control)
{
    static_cast<TfrmWebHelp*>(control)->Browser().ShowHtml(
        "<html><body><h1>Tallowin Web Help</h1><p>Sign in with <b>Session, User Login</b>.</p>"
        "<p>Lock the browser with <b>Session, Lock Browser</b>; your password unlocks it.</p></body></html>");
    return {};
}

const TGalleryRegistration About0{{"about-orvane", QSize(360, 220), MakeAbout0, nullptr}};
const TGalleryRegistration About1{{"about-tallowin", QSize(360, 220), MakeAbout1, nullptr}};
const TGalleryRegistration WebHelp{{"web-help", QSize(560, 360), MakeWebHelp, FillWebHelp}};

} // namespace

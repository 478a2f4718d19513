// The program update: the "Browser Update" dialog offering and running, and
// the update helper's window in its five states.

#include "GallerySamples.h"

#include "Components/Controller/update/KernelUpdateForm.h"
#include "updater/SwapletForm.h"

#include <QApplication>

namespace {

QWidget* MakeUpdateOffer(QWidget* parent)
{
    auto* dialog = new TfrmKernelUpdate(parent);
    dialog->setWindowFlags(Qt::Widget);
    dialog->ShowOffer("4.1.0.0");
    return dialog;
}

QWidget* MakeUpdateRunning(QWidget* parent)
{
    auto* dialog = new TfrmKernelUpdate(parent);
    dialog->setWindowFlags(Qt::Widget);
    dialog->ShowOffer("4.1.0.0");
    dialog->BeginRunning();
    dialog->DoProgress(3, 7, "Backing up: libMirabo.so");
    return dialog;
}

// Three arguments: the window never starts a setup of its own here.
TfrmSwaplet* MakeSwaplet(QWidget* parent, TSwapletState State)
{
    auto* window = new TfrmSwaplet({"/opt/tallowin/", "/opt/tallowin/update/setup", "/opt/tallowin/backup/ov4backup.zip"},
                                   {}, [] {}, parent);
    window->setWindowFlags(Qt::Widget);
    window->ShowState(State, "Invalid zip file format");
    if (State == ssRestoring)
        window->DoProgress(2, 5, "Currently restoring: \"libMirabo.so\".");
    return window;
}

const QSize SwapletSize(431, 136);
const TGalleryRegistration UpdateOffer{{"kernel-update-offer", QSize(420, 130), MakeUpdateOffer, nullptr}};
const TGalleryRegistration UpdateRunning{{"kernel-update-running", QSize(420, 130), MakeUpdateRunning, nullptr}};
const TGalleryRegistration SwapletInstalling{
    {"swaplet-installing", SwapletSize, [](QWidget* p) { return MakeSwaplet(p, ssInstalling); }, nullptr}};
const TGalleryRegistration SwapletDone{
    {"swaplet-done", SwapletSize, [](QWidget* p) { return MakeSwaplet(p, ssDone); }, nullptr}};
const TGalleryRegistration SwapletFailed{
    {"swaplet-failed", SwapletSize, [](QWidget* p) { return MakeSwaplet(p, ssFailed); }, nullptr}};
const TGalleryRegistration SwapletRestoring{
    {"swaplet-restoring", SwapletSize, [](QWidget* p) { return MakeSwaplet(p, ssRestoring); }, nullptr}};
const TGalleryRegistration SwapletRestoreFailed{
    {"swaplet-restore-failed", SwapletSize, [](QWidget* p) { return MakeSwaplet(p, ssRestoreFailed); }, nullptr}};

} // namespace

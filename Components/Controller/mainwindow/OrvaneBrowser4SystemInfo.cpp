#include "Components/Controller/mainwindow/OrvaneBrowser4SystemInfo.h"

#include <utility>

namespace {

TSystemInfoDialog& SystemInfoDialog()
{
    static TSystemInfoDialog dialog;
    return dialog;
}

} // namespace

void RegisterSystemInfoDialog(TSystemInfoDialog Dialog)
{
    SystemInfoDialog() = std::move(Dialog);
}

void ShowSystemInfoDialog(QWidget* Owner)
{
    if (SystemInfoDialog())
        SystemInfoDialog()(Owner);
}

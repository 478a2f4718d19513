#pragma once
// The public interface of applet and add-on libraries, version 8. An applet library is
// a Linux shared library built with the client's compiler, C++ library and
// Qt, linked against the controller library (libMirabo.so), with the run
// path $ORIGIN. All it may use of the client is in this header:
//
// - `TovnApplet` (ovnApplet.h): the applet object it creates in "INIT",
//   with its `MainForm` set (and `OnInit` when it wants a step before the
//   form shows). The host fills the rest; the forms close through
//   `Close`, open further applets through `RunApplet` and note unsaved data
//   in `Modified`. Further forms are listed with `AddChild`.
// - `TovnAppletForm` (ovnAppletForm.h): the base of its forms. The host
//   dispatches 1224 (`WM_APPLETSHOWN`, right after the first show), 1225
//   (`WM_GETWIDGETCOLSPAN`, for a widget: the low byte of the answer is its
//   column span), 1524 (`WM_FILLINFOBARITEMS`, lParam the `TovnInfoList`
//   to add items to) and 48061 (`WM_APPLETREACTIVATE`, on top again) to its
//   WndProc.
// - `TovnVirtualApplet` and `TLookupTool` (ovnGeneralControl.h): the applet
//   as the data-entry controls see it.
// - The data-entry controls of its forms: the base `TovnGeneralControl`
//   with `GetEffectiveColor` (ovnGeneralControl.h), the pictures and
//   `DrawShelf`/`DrawShelfExt` (ovnPictures.h), `TovnMaskEdit`,
//   `TovnDBEdit`, `TovnDBMemo` and `TovnDBRadio`, and the dialogs
//   `ovnInputBox` (ovnBox.h), `runCalendar` (ovnCalendar.h) and `ShowBlob`
//   (ViewBLOB.h). Version 2 added them.
// - The lookup pick window: `ShowLookup`, `ShowLookup2`, `ShowLookupEx`
//   and `EovnLookup` (Lookup.h). Version 5 added it.
// - The combos: `TovnCombo` and `EovnCombo` (ovnCombo.h), `TovnDBCombo` and
//   `EovnDbCombo` (ovnDBCombo.h), `TovnDBLookupCombo` and
//   `EovnDBLookupCombo` (ovnDBLookupCombo.h), their picture button
//   `TovnControlButton` (ovnButtons.h), their lookup window `TfrmDBCombo`
//   and `ELookup` (LookupFormDBCombo.h) and quick-type popup
//   `TfrmDataEntry` (DataEntryForm.h). Version 6 added them.
// - Data forms: the data-form manager `TovnManager` (ovnManager.h) and the
//   command stack `aStack` (ovnStack.h); a form's non-visual parts belong to
//   its component root `FormComponents` (FormParts.h); the stock controls
//   of the platform's StockControls.h, DBStockControls.h, Buttons.h,
//   ListBox.h, ComCtrls.h and DBGrids.h; the in-memory dataset and data
//   source `TovnDataSet`, `TovnDataSource` (ovnDataSet.h). Version 7 added
//   them.
// - `OVN_APPLET_INIT(expression)`: defines the one export "INIT" with C
//   linkage, returning the new applet (null when it cannot be made; an
//   exception never leaves it).
//
// - The controller's facade (`Controller`, ovnController.h): the server
//   components, applets and modules, counters, locks, rights, resources,
//   the debug viewer, and the exported log texts (LogAdd ... LogRunAdminApplet).
//   Version 3 added it, `LibController` and the add-on export.
// - `LibController` (LibController.h): one-call SQL on the data database.
// - `CreateNotification` and `NotifyUsers` (NotificationsAPI.h): a
//   notification for the users' notification centers. Version 4 added them.
// - `OVN_ADDON_RUNOBJECT(function)`: an add-on library's one export
//   "RUNOBJECT" with C linkage: it takes the parameter text in UTF-8 and
//   answers a 32-bit integer. The platform's `Exception` family crosses the
//   boundary (both sides link libMirabo.so): an add-on reports a failure by
//   raising one, which the host logs and raises again after unloading it.
//   Version 8 changed its layout: it records the stack where it was made.
//
// Everything a library creates is owned by its applet object or its forms:
// the host destroys the forms and the applet before it unloads the library.
//
// The INIT and RUNOBJECT macros call a symbol of the controller library that carries the
// header's version, so a library built against another version of this
// header fails to load ("Cannot Initialize Applet") instead of running
// with a wrong layout.

#include "Components/Controller/LibController.h"
#include "Components/Controller/applets/ovnApplet.h"
#include "Components/Controller/applets/ovnAppletForm.h"
#include "Components/Controller/forms/ovnManager.h"
#include "Components/Controller/forms/ovnStack.h"
#include "Components/Controller/notifications/NotificationsAPI.h"
#include "Components/Controller/ovnController.h"
#include "Components/Nembra/ovnDataSet.h"
#include "platform/Buttons.h"
#include "platform/ComCtrls.h"
#include "platform/DBGrids.h"
#include "platform/DBStockControls.h"
#include "platform/FormParts.h"
#include "platform/ListBox.h"
#include "platform/Messages.h"
#include "platform/StockControls.h"
#include "ui/DataEntryForm.h"
#include "ui/Lookup.h"
#include "ui/LookupFormDBCombo.h"
#include "ui/ViewBLOB.h"
#include "ui/ovnBox.h"
#include "ui/ovnButtons.h"
#include "ui/ovnCalendar.h"
#include "ui/ovnCombo.h"
#include "ui/ovnDBCombo.h"
#include "ui/ovnDBEdit.h"
#include "ui/ovnDBLookupCombo.h"
#include "ui/ovnDBMemo.h"
#include "ui/ovnDbRadio.h"
#include "ui/ovnGeneralControl.h"
#include "ui/ovnMaskEdit.h"
#include "ui/ovnPictures.h"

#include <cstdint>

#define OVN_APPLET_API_VERSION 8

// Version 8 of the interface: answers the applet it is given.
extern "C" TovnApplet* ovnAppletApi_8(TovnApplet* Applet);
// Version 8 of the add-on interface: answers the parameter text it is given.
extern "C" const char* ovnAddonApi_8(const char* Params);

#define OVN_APPLET_INIT(Expression)                                                                          \
    extern "C" __attribute__((visibility("default"))) TovnApplet* INIT()                                     \
    {                                                                                                        \
        try {                                                                                                \
            return ovnAppletApi_8(Expression);                                                               \
        } catch (...) {                                                                                      \
            return nullptr;                                                                                  \
        }                                                                                                    \
    }

#define OVN_ADDON_RUNOBJECT(Function)                                                                        \
    extern "C" __attribute__((visibility("default"))) int32_t RUNOBJECT(const char* Params)                 \
    {                                                                                                        \
        return Function(std::string(ovnAddonApi_8(Params)));                                                \
    }

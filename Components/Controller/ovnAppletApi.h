#pragma once
// The public interface of applet libraries, version 3. An applet library is
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
//   and `EovnLookup` (Lookup.h). Version 3 added it.
// - `OVN_APPLET_INIT(expression)`: defines the one export "INIT" with C
//   linkage, returning the new applet (null when it cannot be made; an
//   exception never leaves it).
//
// Everything a library creates is owned by its applet object or its forms:
// the host destroys the forms and the applet before it unloads the library.
//
// The INIT macro calls a symbol of the controller library that carries the
// header's version, so a library built against another version of this
// header fails to load ("Cannot Initialize Applet") instead of running
// with a wrong layout.

#include "Components/Controller/ovnApplet.h"
#include "Components/Controller/ovnAppletForm.h"
#include "Components/Controller/ovnController.h"
#include "platform/Messages.h"
#include "ui/Lookup.h"
#include "ui/ViewBLOB.h"
#include "ui/ovnBox.h"
#include "ui/ovnCalendar.h"
#include "ui/ovnDBEdit.h"
#include "ui/ovnDBMemo.h"
#include "ui/ovnDbRadio.h"
#include "ui/ovnGeneralControl.h"
#include "ui/ovnMaskEdit.h"
#include "ui/ovnPictures.h"

#define OVN_APPLET_API_VERSION 3

// Version 3 of the interface: answers the applet it is given.
extern "C" TovnApplet* ovnAppletApi_3(TovnApplet* Applet);

#define OVN_APPLET_INIT(Expression)                                                                          \
    extern "C" __attribute__((visibility("default"))) TovnApplet* INIT()                                     \
    {                                                                                                        \
        try {                                                                                                \
            return ovnAppletApi_3(Expression);                                                               \
        } catch (...) {                                                                                      \
            return nullptr;                                                                                  \
        }                                                                                                    \
    }

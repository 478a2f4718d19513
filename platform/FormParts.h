#pragma once
// The parts of a form, as the system's code finds them by name. A form is a
// top-level widget; its visual parts are its descendant widgets and objects
// (named by object name), its non-visual parts (datasets, data sources,
// managers) are the components owned by the form's component root, which
// the form owns: `FormComponents` makes it on first use, and it is
// destroyed, with everything it owns, when the form is.
//
// Names are compared without regard to case; the widgets are searched
// first, then the components depth first (a dataset's fields after it).
// Widgets: main thread only.

#include "platform/Component.h"

#include <functional>
#include <string>

class QObject;
class QWidget;

// A visual part (Object) or a component (Component); empty when none.
struct TFormPart
{
    QObject* Object = nullptr;
    TComponent* Component = nullptr;

    explicit operator bool() const { return Object || Component; }
    // The part as the platform's object (a widget stand-in, a component);
    // null for a Qt object that is none.
    TObject* AsTObject() const;
    // The part's name as the form gave it.
    std::string Name() const;
};

// Marks Widget as a form: applet forms are embedded in their containers, so
// the window a control lies in is not its form.
void MarkAsForm(QWidget* Widget);
// The form Control lies in: the nearest marked ancestor (Control itself
// included), else its window; null for null.
QWidget* ParentForm(QWidget* Control);

// The component root of Form: owner of the form's non-visual components.
TComponent& FormComponents(QWidget* Form);
// The form whose component root Component is or is owned by (through any
// number of owners); null when none.
QWidget* FormOfComponent(const TComponent* Component);
// Whether Component is a form's component root.
bool IsFormComponentRoot(const TComponent* Component);
// The part of Form named Name; empty when none or Name is empty.
TFormPart FindFormPart(QWidget* Form, const std::string& Name);
// Calls Fn for every part of Form: widgets and objects first, then the
// components.
void ForEachFormPart(QWidget* Form, const std::function<void(const TFormPart&)>& Fn);

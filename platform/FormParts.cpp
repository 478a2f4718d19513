#include "platform/FormParts.h"

#include "platform/SysUtils.h"

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <memory>

namespace {

// Object name of the holder, which the part searches skip.
const char* const kRootObjectName = "__ovnFormComponents";
const char* const kFormProperty = "ovnIsForm";

class TFormRoot : public TComponent
{
  public:
    explicit TFormRoot(QWidget* Form) : m_form(Form) {}
    ~TFormRoot() override { Destroying(); }
    std::string ClassName() const override { return "TFormComponents"; }
    QWidget* Form() const { return m_form; }

  private:
    QPointer<QWidget> m_form;
};

// Lives as a child object of the form and takes the root with it.
class TRootHolder : public QObject
{
  public:
    explicit TRootHolder(QWidget* Form) : QObject(Form), Root(std::make_unique<TFormRoot>(Form))
    {
        setObjectName(kRootObjectName);
    }
    std::unique_ptr<TFormRoot> Root;
};

TRootHolder* HolderOf(QWidget* Form)
{
    for (QObject* child : Form->children())
        if (child->objectName() == QLatin1String(kRootObjectName))
            if (auto* holder = dynamic_cast<TRootHolder*>(child))
                return holder;
    return nullptr;
}

TComponent* FindComponentDeep(TComponent* Owner, const std::string& Name)
{
    for (int i = 0; i < Owner->ComponentCount(); ++i) {
        TComponent* part = Owner->Components(i);
        if (SameText(part->Name(), Name))
            return part;
    }
    for (int i = 0; i < Owner->ComponentCount(); ++i)
        if (TComponent* found = FindComponentDeep(Owner->Components(i), Name))
            return found;
    return nullptr;
}

void ForEachComponentDeep(TComponent* Owner, const std::function<void(const TFormPart&)>& Fn)
{
    for (int i = 0; i < Owner->ComponentCount(); ++i) {
        TComponent* part = Owner->Components(i);
        Fn(TFormPart{nullptr, part});
        ForEachComponentDeep(part, Fn);
    }
}

} // namespace

void MarkAsForm(QWidget* Widget)
{
    if (Widget)
        Widget->setProperty(kFormProperty, true);
}

QWidget* ParentForm(QWidget* Control)
{
    for (QWidget* w = Control; w; w = w->parentWidget())
        if (w->property(kFormProperty).toBool())
            return w;
    return Control ? Control->window() : nullptr;
}

TObject* TFormPart::AsTObject() const
{
    if (Component)
        return Component;
    return dynamic_cast<TObject*>(Object);
}

std::string TFormPart::Name() const
{
    if (Component)
        return Component->Name();
    return Object ? Object->objectName().toStdString() : std::string();
}

TComponent& FormComponents(QWidget* Form)
{
    if (!Form)
        throw Exception("A form's components need a form");
    TRootHolder* holder = HolderOf(Form);
    if (!holder)
        holder = new TRootHolder(Form);
    return *holder->Root;
}

bool IsFormComponentRoot(const TComponent* Component)
{
    return dynamic_cast<const TFormRoot*>(Component) != nullptr;
}

QWidget* FormOfComponent(const TComponent* Component)
{
    for (const TComponent* c = Component; c; c = c->Owner())
        if (auto* root = dynamic_cast<const TFormRoot*>(c))
            return root->Form();
    return nullptr;
}

TFormPart FindFormPart(QWidget* Form, const std::string& Name)
{
    if (!Form || Name.empty())
        return {};
    const QString name = QString::fromStdString(Name);
    const QList<QObject*> parts = Form->findChildren<QObject*>();
    for (QObject* part : parts)
        if (part->objectName().compare(name, Qt::CaseInsensitive) == 0)
            return TFormPart{part, nullptr};
    if (TRootHolder* holder = HolderOf(Form))
        if (TComponent* found = FindComponentDeep(holder->Root.get(), Name))
            return TFormPart{nullptr, found};
    return {};
}

void ForEachFormPart(QWidget* Form, const std::function<void(const TFormPart&)>& Fn)
{
    if (!Form)
        return;
    const QList<QObject*> parts = Form->findChildren<QObject*>();
    for (QObject* part : parts)
        if (!dynamic_cast<TRootHolder*>(part))
            Fn(TFormPart{part, nullptr});
    if (TRootHolder* holder = HolderOf(Form))
        ForEachComponentDeep(holder->Root.get(), Fn);
}

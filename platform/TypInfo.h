#pragma once
// Published properties: the settings a class declares by name, so that
// generic code (a collection view's columns, a settings list) can read and
// write them as text without knowing the class.
//
// A class publishes by deriving from `IPublished` and answering one
// `TPropList` per class (a function-local static), declared in order with
// the typed helpers of `TPropDeclarer` and chained to its base class's list:
//
//     const TPropList& TMyItem::PublishedProps() const
//     {
//         static const TPropList props = [] {
//             TPropList list(&TBaseItem::ClassProps());
//             TPropDeclarer<TMyItem>(list)
//                 .String("Caption", &TMyItem::Caption, &TMyItem::SetCaption)
//                 .Boolean("Visible", &TMyItem::Visible, &TMyItem::SetVisible);
//             return list;
//         }();
//         return props;
//     }
//
// Rules callers rely on:
// - Names are found without regard to case, the class's own declarations
//   first, then its base's (a redeclared name hides the base's).
// - Texts: an enumeration (Boolean included: "False", "True") by the name of
//   its value; integers in decimal; strings unchanged.
// - Writing converts the text back to the property's type: an enumeration
//   name is found without regard to case, else EPropertyConvertError
//   "Invalid property element: %s"; a number converts as a variant text does
//   (decimal or float text rounded half to even, "True"/"False" as -1/0),
//   else EVariantTypeCastError, and a value out of range EVariantOverflowError.
// - A name the object does not publish raises EPropertyError "Property %s
//   does not exist"; writing a property declared without a setter raises
//   EPropertyError "Property %s is read-only".

#include "platform/Persistent.h"
#include "platform/SysUtils.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

KLD_DECLARE_EXCEPTION(EPropertyError, Exception);
KLD_DECLARE_EXCEPTION(EPropertyConvertError, Exception);

enum TTypeKind
{
    tkInteger,     // 32-bit signed
    tkInt64,       // 64-bit signed
    tkEnumeration, // Boolean too: the value names are "False" and "True"
    tkString
};

class TPropInfo
{
  public:
    // Reads the value as text; writes it from text (the conversion is the
    // setter's). A property without setter is read-only.
    using TGetText = std::function<std::string(const TObject& instance)>;
    using TSetText = std::function<void(TObject& instance, const std::string& text)>;

    TPropInfo(std::string name, TTypeKind kind, std::vector<std::string> enumNames, TGetText get, TSetText set);

    const std::string& Name() const { return m_name; }
    TTypeKind Kind() const { return m_kind; }
    // The value names of an enumeration, by ordinal; empty for other kinds.
    const std::vector<std::string>& EnumNames() const { return m_enumNames; }
    bool Writable() const { return static_cast<bool>(m_set); }

    std::string GetText(const TObject& instance) const;
    void SetText(TObject& instance, const std::string& text) const;

  private:
    std::string m_name;
    TTypeKind m_kind;
    std::vector<std::string> m_enumNames;
    TGetText m_get;
    TSetText m_set;
};

// The properties one class declares, in declared order, after those of its
// base class (the parent list, which must outlive this one).
class TPropList
{
  public:
    explicit TPropList(const TPropList* parent = nullptr) : m_parent(parent) {}

    void Add(TPropInfo info);
    // The property of that name without regard to case; nullptr when none.
    const TPropInfo* Find(std::string_view name) const;
    // Every property, the base's first; a redeclared name appears once, at
    // the base's place.
    std::vector<const TPropInfo*> All() const;
    const TPropList* Parent() const { return m_parent; }

  private:
    const TPropList* m_parent;
    std::vector<TPropInfo> m_props;
};

// Implemented by classes that publish properties.
class IPublished
{
  public:
    virtual ~IPublished() = default;
    virtual const TPropList& PublishedProps() const = 0;
};

// The published properties of `instance`; nullptr when it publishes none.
const TPropList* GetPropList(const TObject& instance);
// The property `name` of `instance`; nullptr when there is none.
const TPropInfo* GetPropInfo(const TObject& instance, std::string_view name);
bool IsPublishedProp(const TObject& instance, std::string_view name);
// The value of property `name` as text (EPropertyError when there is none).
std::string GetPropValue(const TObject& instance, const std::string& name);
// Converts `text` and stores it in property `name` (see the rules above).
void SetPropValue(TObject& instance, const std::string& name, const std::string& text);

// Raises EPropertyError "Property %s does not exist" (for callers that keep
// their own look-up).
[[noreturn]] void RaiseUnknownProperty(const std::string& name);

// The name of value `ordinal` of an enumeration ("" when out of range), and
// the ordinal of `name` without regard to case (-1 when none).
std::string GetEnumName(const std::vector<std::string>& names, int ordinal);
int GetEnumValue(const std::vector<std::string>& names, std::string_view name);

namespace TypInfoDetail {
int32_t TextToInteger(const std::string& text);
int64_t TextToInt64(const std::string& text);
int TextToEnum(const std::vector<std::string>& names, const std::string& text);
[[noreturn]] void WrongClass(const std::string& property, const TObject& instance);

template <class C> const C& Cast(const TObject& instance, const std::string& property)
{
    const auto* object = dynamic_cast<const C*>(&instance);
    if (!object)
        WrongClass(property, instance);
    return *object;
}
template <class C> C& Cast(TObject& instance, const std::string& property)
{
    auto* object = dynamic_cast<C*>(&instance);
    if (!object)
        WrongClass(property, instance);
    return *object;
}
} // namespace TypInfoDetail

// Typed declarations for class C. Getters and setters are member functions
// or callables taking the object (a setter may be nullptr: read-only).
template <class C> class TPropDeclarer
{
  public:
    explicit TPropDeclarer(TPropList& list) : m_list(list) {}

    template <class G, class S> TPropDeclarer& String(const std::string& name, G get, S set)
    {
        return Declare(name, tkString, {},
                       [get](const C& o) { return std::string(std::invoke(get, o)); },
                       MakeSetter<std::string>(set, [](const std::string& t) { return t; }));
    }

    template <class G, class S> TPropDeclarer& Integer(const std::string& name, G get, S set)
    {
        return Declare(name, tkInteger, {},
                       [get](const C& o) { return std::to_string(static_cast<int32_t>(std::invoke(get, o))); },
                       MakeSetter<int32_t>(set, &TypInfoDetail::TextToInteger));
    }

    template <class G, class S> TPropDeclarer& Int64(const std::string& name, G get, S set)
    {
        return Declare(name, tkInt64, {},
                       [get](const C& o) { return std::to_string(static_cast<int64_t>(std::invoke(get, o))); },
                       MakeSetter<int64_t>(set, &TypInfoDetail::TextToInt64));
    }

    template <class G, class S> TPropDeclarer& Boolean(const std::string& name, G get, S set)
    {
        return Declare(
            name, tkEnumeration, {"False", "True"},
            [get](const C& o) { return std::string(std::invoke(get, o) ? "True" : "False"); },
            MakeSetter<bool>(set, [](const std::string& t) { return TypInfoDetail::TextToEnum({"False", "True"}, t) == 1; }));
    }

    // An enumeration E whose values are 0 .. names.size() - 1, named in order.
    template <class E, class G, class S>
    TPropDeclarer& Enumeration(const std::string& name, std::vector<std::string> names, G get, S set)
    {
        return Declare(
            name, tkEnumeration, names,
            [get, names](const C& o) { return GetEnumName(names, static_cast<int>(std::invoke(get, o))); },
            MakeSetter<E>(set, [names](const std::string& t) { return static_cast<E>(TypInfoDetail::TextToEnum(names, t)); }));
    }

  private:
    using TTypedGet = std::function<std::string(const C&)>;
    using TTypedSet = std::function<void(C&, const std::string&)>;

    template <class V, class S, class Convert> static TTypedSet MakeSetter(S set, Convert convert)
    {
        if constexpr (std::is_null_pointer_v<S>) {
            return {};
        } else {
            return [set, convert](C& o, const std::string& text) { std::invoke(set, o, static_cast<V>(convert(text))); };
        }
    }

    TPropDeclarer& Declare(const std::string& name, TTypeKind kind, std::vector<std::string> names, TTypedGet get,
                           TTypedSet set)
    {
        TPropInfo::TSetText untypedSet;
        if (set)
            untypedSet = [name, set](TObject& o, const std::string& text) {
                set(TypInfoDetail::Cast<C>(o, name), text);
            };
        m_list.Add(TPropInfo(
            name, kind, std::move(names),
            [name, get](const TObject& o) { return get(TypInfoDetail::Cast<C>(o, name)); }, std::move(untypedSet)));
        return *this;
    }

    TPropList& m_list;
};

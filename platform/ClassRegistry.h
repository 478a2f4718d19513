#pragma once
// The class library's register of component classes by name: what a reader
// of stored forms looks a class name up in. A class may be known under
// further names (aliases), so that forms stored under a class's old name
// still load.
//
// Names are found without regard to case. Registering a name again replaces
// what it named. Registration usually happens while a library initialises;
// the register exists before the first static object that uses it.

#include "platform/Component.h"

#include <functional>
#include <memory>
#include <string>

// A component class: its own name and how to make a component of it (the
// caller owns the result; a reader inserts it into its owner).
struct TComponentClass
{
    std::string ClassName;
    std::function<std::unique_ptr<TComponent>()> Create;
};

// The class of C, named `className`.
template <class C> TComponentClass ComponentClassOf(std::string className)
{
    return {std::move(className), [] { return std::unique_ptr<TComponent>(std::make_unique<C>()); }};
}

// Makes `alias` another name of `componentClass`.
void RegisterClassAlias(const TComponentClass& componentClass, const std::string& alias);
// The class registered under `name`, or null.
const TComponentClass* GetClass(const std::string& name);

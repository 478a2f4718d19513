#include "platform/ClassRegistry.h"

#include "platform/SysUtils.h"

#include <map>
#include <mutex>

namespace {

struct TClassRegister
{
    std::mutex Lock;
    // By upper-case name.
    std::map<std::string, TComponentClass> Classes;
};

// Made on first use, so that units may register while they initialise.
TClassRegister& Register()
{
    static TClassRegister r;
    return r;
}

} // namespace

void RegisterClassAlias(const TComponentClass& componentClass, const std::string& alias)
{
    TClassRegister& r = Register();
    std::lock_guard<std::mutex> guard(r.Lock);
    r.Classes[UpperCase(alias)] = componentClass;
}

const TComponentClass* GetClass(const std::string& name)
{
    TClassRegister& r = Register();
    std::lock_guard<std::mutex> guard(r.Lock);
    const auto it = r.Classes.find(UpperCase(name));
    return it == r.Classes.end() ? nullptr : &it->second;
}

#include "Components/Controller/GVars.h"

#include "platform/Params.h"

TVars::TVars(TParams* Params) : m_params(Params) {}

std::string TVars::MakeKey(const std::string& Name, int Module)
{
    return UpperCase(Name + "@" + IntToStr(Module));
}

TParams& TVars::CheckParams() const
{
    if (!m_params)
        throw EovnVars("Params not assigned");
    return *m_params;
}

void TVars::StoreValue(TParam& Param, const Variant& Value)
{
    if (Value.IsEmpty())
        Param.SetValue(Variant::Null());
    else
        Param.SetValue(Value);
}

void TVars::Clear()
{
    CheckParams().Clear();
}

void TVars::DeclareParam(const std::string& Name, TFieldType DataType, int Module)
{
    SetParam(Name, DataType, Variant::Null(), Module);
}

void TVars::SetParam(const std::string& Name, TFieldType DataType, const Variant& Value, int Module)
{
    TParam* param = GetParam(Name, Module);
    if (!param) {
        param = CheckParams().AddParameter();
        param->SetName(MakeKey(Name, Module));
        param->SetParamType(ptUnknown);
        param->SetDataType(DataType);
    }
    StoreValue(*param, Value);
}

void TVars::SetParam(const std::string& Name, const Variant& Value, int Module)
{
    TParam* param = GetParam(Name, Module);
    if (!param)
        throw EovnVars("Variable \"" + Name + "\" is not declared");
    StoreValue(*param, Value);
}

TParam* TVars::GetParam(const std::string& Name, int Module) const
{
    return CheckParams().FindParam(MakeKey(Name, Module));
}

void TVars::DeleteParam(const std::string& Name, int Module)
{
    if (TParam* param = GetParam(Name, Module))
        CheckParams().RemoveParam(param);
}

void TVars::DeleteModuleParams(int Module)
{
    TParams& params = CheckParams();
    const std::string suffix = "@" + IntToStr(Module);
    for (int i = params.Count() - 1; i >= 0; --i) {
        const std::string name = UpperCase(params.Items(i)->Name());
        if (name.size() >= suffix.size() &&
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
            params.RemoveParam(params.Items(i));
    }
}

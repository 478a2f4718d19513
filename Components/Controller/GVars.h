#pragma once
// The module variable store: named, typed values kept per module in a
// parameter list that the controller owns. A variable's key is
// UpperCase(Name + "@" + module counter), so DEFAULT_STATE@12; module -1
// holds the variables of no module.

#include "platform/DBTypes.h"
#include "platform/SysUtils.h"
#include "platform/Variants.h"

#include <string>

class TParam;
class TParams;

KLD_DECLARE_EXCEPTION(EovnVars, Exception);

class TVars
{
  public:
    explicit TVars(TParams* Params);
    TVars(const TVars&) = delete;
    TVars& operator=(const TVars&) = delete;

    static std::string MakeKey(const std::string& Name, int Module);

    // Removes every variable (the whole list).
    void Clear();
    // SetParam with Null: creates the variable or nulls an existing one (whose
    // data type stays).
    void DeclareParam(const std::string& Name, TFieldType DataType, int Module);
    // Creates a missing variable with DataType; an empty Value stores Null.
    // The data type of an existing variable is not changed.
    void SetParam(const std::string& Name, TFieldType DataType, const Variant& Value, int Module);
    // The variable must exist: EovnVars "Variable \"x\" is not declared".
    void SetParam(const std::string& Name, const Variant& Value, int Module);
    // The variable or null; EovnVars "Params not assigned" without a list.
    TParam* GetParam(const std::string& Name, int Module) const;
    void DeleteParam(const std::string& Name, int Module);
    // Every variable whose key ends with "@" + Module.
    void DeleteModuleParams(int Module);

  private:
    TParams& CheckParams() const;
    static void StoreValue(TParam& Param, const Variant& Value);

    TParams* m_params; // owned by the controller
};

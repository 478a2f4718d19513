#include "Components/Controller/LibController.h"

#include "platform/SysUtils.h"

#include <memory>

namespace LibController {

TovnOndrelQuery* CreateQuery(const std::string& SQL, TovnOndrelQuery* Query)
{
    std::unique_ptr<TovnOndrelQuery> made;
    if (!Query) {
        made = std::make_unique<TovnOndrelQuery>();
        made->SetDatabaseName("DATA");
        Query = made.get();
    }
    Query->Close();
    Query->SetUseSQL(false);
    Query->Params().Clear();
    Query->SQL().SetText(SQL);
    Query->SetUseSQL(true);
    made.release();
    return Query;
}

TovnOndrelQuery* CreateQuery(const std::string& SQL, const std::vector<Variant>& Values, TovnOndrelQuery* Query)
{
    const bool makeHere = Query == nullptr;
    Query = CreateQuery(SQL, Query);
    std::unique_ptr<TovnOndrelQuery> made(makeHere ? Query : nullptr);
    TParams& params = Query->Params();
    params.ParseSQL(SQL, true);
    // A missing value would send the statement with a parameter nobody set.
    if (static_cast<size_t>(params.Count()) > Values.size())
        throw EDatabaseError(Format("CreateQuery: %d values given for %d parameters",
                                    static_cast<int>(Values.size()), params.Count()));
    for (int i = 0; i < params.Count(); ++i)
        AssignParamFromVariant(params.Items(i), Values[static_cast<size_t>(i)]);
    made.release();
    return Query;
}

Variant LookupValue(const std::string& SQL, const std::vector<Variant>& Values)
{
    std::unique_ptr<TovnOndrelQuery> query(CreateQuery(SQL, Values));
    query->Open();
    if (query->IsEmpty())
        return Variant::Null();
    return query->Fields().Fields(0)->Value();
}

void ExecuteSQL(const std::string& SQL, const std::vector<Variant>& Values)
{
    try {
        std::unique_ptr<TovnOndrelQuery> query(CreateQuery(SQL, Values));
        query->Execute();
    } catch (const Exception& e) {
        throw EDatabaseError(CutServerMessage(e.Message()));
    }
}

void AssignParamFromVariant(TParam* Param, const Variant& Value)
{
    if (UpperCase(Param->Name()).find("_BLOB_") != std::string::npos)
        Param->SetDataType(ftBlob);
    switch (Param->DataType()) {
    case ftSmallint:
    case ftInteger:
    case ftLargeint:
        Param->SetAsInteger(Value.AsInteger());
        break;
    case ftBoolean:
        Param->SetAsBoolean(Value.AsBoolean());
        break;
    case ftFloat:
    case ftBCD:
        Param->SetAsFloat(Value.AsDouble());
        break;
    case ftDate:
    case ftTime:
    case ftDateTime:
    case ftTimeStamp:
        Param->SetAsDate(Value.AsDateTime());
        break;
    case ftBlob:
    case ftMemo:
        Param->SetAsBlob(VarToStr(Value));
        break;
    default:
        Param->SetAsString(VarToStr(Value));
        break;
    }
}

} // namespace LibController

std::string LibController::CutServerMessage(const std::string& Message)
{
    static const std::string start = "ORA-20001:";
    const size_t p = Message.find(start);
    if (p == std::string::npos)
        return Message;
    const size_t q = Message.find("$END$");
    // Only a text after the marker and before "$END$" is the user's.
    if (q == std::string::npos || p + start.size() >= q)
        return Message;
    return Message.substr(p + start.size(), q - p - start.size());
}

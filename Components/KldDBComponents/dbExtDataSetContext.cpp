#include "Components/KldDBComponents/dbExtDataSetContext.h"

#include "platform/DataSet.h"

Variant TDataSetContext::GetItem(void* Context, const std::string& Name) const
{
    auto* dataSet = static_cast<TDataSet*>(Context);
    return dataSet->FieldByName(Name)->Value();
}

TExpressionContextClass TDataSetContext::Class()
{
    static const TDataSetContext instance;
    return &instance;
}

#pragma once
// The expression context of a dataset's filter: a name in the expression is
// the value of the dataset's field of that name, read in the dataset's
// current state (so while the dataset filters, the row under test).

#include <string>

#include "Components/KldDBComponents/dbExtEvaluator.h"

class TDataSetContext : public TExpressionContext
{
  public:
    // `Context` is the TDataSet. An unknown name raises the dataset's
    // "Field '%s' not found" error; dotted names are not resolved (the base
    // class raises for their first name).
    Variant GetItem(void* Context, const std::string& Name) const override;

    static TExpressionContextClass Class();
};

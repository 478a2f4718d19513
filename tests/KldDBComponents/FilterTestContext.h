#pragma once
// A map-backed expression context for the filter tests: names resolve to
// values of a record, dotted names descend into nested records.

#include <map>
#include <string>
#include <vector>

#include "Components/KldDBComponents/dbExtEvaluator.h"
#include "platform/SysUtils.h"

struct FilterRecord
{
    struct NameLess
    {
        bool operator()(const std::string& a, const std::string& b) const { return AnsiCompareText(a, b) < 0; }
    };

    std::map<std::string, Variant, NameLess> Values;
    std::map<std::string, FilterRecord, NameLess> Children;
    // The names read, in order, to show what an evaluation touched.
    mutable std::vector<std::string> Reads;
};

class TFilterRecordContext : public TExpressionContext
{
public:
    Variant GetItem(void* Context, const std::string& Name) const override
    {
        const auto& record = *static_cast<const FilterRecord*>(Context);
        record.Reads.push_back(Name);
        auto it = record.Values.find(Name);
        if (it == record.Values.end())
            throw EDatabaseError(Format("Field '%s' not found", Name));
        return it->second;
    }

    void* GetSubContext(void* Context, const std::string& Name, TExpressionContextClass& SubContextClass) const override
    {
        auto& record = *static_cast<FilterRecord*>(Context);
        auto it = record.Children.find(Name);
        if (it == record.Children.end())
            return TExpressionContext::GetSubContext(Context, Name, SubContextClass);
        SubContextClass = Class();
        return &it->second;
    }

    static TExpressionContextClass Class()
    {
        static const TFilterRecordContext instance;
        return &instance;
    }
};

// Evaluates `text` against `record`.
inline Variant EvaluateOn(const std::string& text, FilterRecord& record)
{
    return EvaluateExpression(text, &record, TFilterRecordContext::Class());
}

// The message of the exception that `fn` raises, or "(no error)".
template <class Fn>
std::string ErrorOf(Fn&& fn)
{
    try
    {
        fn();
    }
    catch (const Exception& e)
    {
        return e.Message();
    }
    return "(no error)";
}

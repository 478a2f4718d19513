#pragma once
// Shared pieces of the server-dataset tests: a dataset over a private table
// with the fields a test names, and the format settings changed for one test.
// Column (the values of one field) comes from the table dataset's tests.

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "Components/Nembra/NembraDataSet.h"
#include "KldDBComponents/KldDataSetTestSupport.h"
#include "platform/DateUtils.h"

struct TestFieldSpec
{
    std::string Name;
    TFieldType Type;
    int Size = 0;
};

// Defines the fields on a closed dataset with a private table and opens it;
// the table's columns are made from the definitions.
inline void OpenWithFields(TKldDataSet& ds, std::initializer_list<TestFieldSpec> fields)
{
    ds.FieldDefs().Clear();
    for (const TestFieldSpec& f : fields)
        ds.FieldDefs().Add(f.Name, f.Type, f.Size);
    ds.Open();
}

// Sets the process-wide format settings for one test and restores them.
class ScopedFormatSettings
{
  public:
    ScopedFormatSettings() : m_saved(FormatSettings) {}
    ~ScopedFormatSettings() { FormatSettings = m_saved; }
    ScopedFormatSettings(const ScopedFormatSettings&) = delete;
    ScopedFormatSettings& operator=(const ScopedFormatSettings&) = delete;

  private:
    TFormatSettings m_saved;
};

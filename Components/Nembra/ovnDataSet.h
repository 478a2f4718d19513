#pragma once
// Unit ovnDataSet: the in-memory dataset that forms place for local lists
// (`TovnDataSet`), their data source (`TovnDataSource`), and helpers for
// records and field definitions. The classes only give the server client's
// classes the names forms use; every behaviour is TNembraDataSet's.

#include "Components/Nembra/NembraDataSet.h"

#include "platform/DataSource.h"
#include "platform/SysUtils.h"

#include <string>

// Raised by the helpers of this unit.
KLD_DECLARE_EXCEPTION(EovnDataSet, Exception);

// The local dataset forms place: a TNembraDataSet over a private table.
class TovnDataSet : public TNembraDataSet
{
  public:
    using TNembraDataSet::TNembraDataSet;
    std::string ClassName() const override { return "TovnDataSet"; }
};

class TovnDataSource : public TDataSource
{
  public:
    using TDataSource::TDataSource;
    std::string ClassName() const override { return "TovnDataSource"; }
};

// The current record as one delimited line: the fields in order (the first
// maxFields of them when maxFields > 0). A blob or memo field gives
// blobText; any other field its text, cut to maxLength characters and
// followed by ellipsis when it is longer and maxLength > 0. Items are joined
// by delimiter, and an item holding the delimiter, the quote character, a
// blank or a control character is put in quoteChar with inner quote
// characters doubled. A missing dataset raises EovnDataSet "RecToStr:
// Dataset not assigned".
std::string RecToStr(TDataSet* dataSet, char delimiter, char quoteChar, int maxFields, int maxLength,
                     const std::string& ellipsis, const std::string& blobText);

// Appends to dest a copy of every field definition of source; ftFMTBcd
// becomes ftFloat. A definition named as a whole item of the comma-separated
// notRequired list (compared exactly) is made not required. A missing list
// raises EovnDataSet "CopyFieldDefs: source or destination not assigned".
void CopyFieldDefs(const TFieldDefs* source, TFieldDefs* dest, const std::string& notRequired);

// CopyRecordFields (NembraDataSet.h) is this unit's record copy as well.

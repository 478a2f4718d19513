#include "Components/Nembra/ovnDataSet.h"

#include "platform/DataSet.h"
#include "platform/StringList.h"

#include <algorithm>

namespace {

// The first `count` UTF-8 characters of `text`, and whether it had more.
bool CutCharacters(std::string& text, int count)
{
    size_t pos = 0;
    for (int chars = 0; pos < text.size() && chars < count; ++chars) {
        const auto lead = static_cast<unsigned char>(text[pos]);
        const size_t len = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 1;
        pos = std::min(text.size(), pos + len);
    }
    if (pos >= text.size())
        return false;
    text.resize(pos);
    return true;
}

} // namespace

std::string RecToStr(TDataSet* dataSet, char delimiter, char quoteChar, int maxFields, int maxLength,
                     const std::string& ellipsis, const std::string& blobText)
{
    if (!dataSet)
        throw EovnDataSet("RecToStr: Dataset not assigned");
    TStringList items;
    items.SetDelimiter(delimiter);
    items.SetQuoteChar(quoteChar);
    const int count = maxFields > 0 ? std::min(maxFields, dataSet->FieldCount()) : dataSet->FieldCount();
    for (int i = 0; i < count; ++i) {
        TField* field = dataSet->Fields()[i];
        if (field->IsBlob()) {
            items.Add(blobText);
            continue;
        }
        std::string text = field->AsString();
        if (maxLength > 0 && CutCharacters(text, maxLength))
            text += ellipsis;
        items.Add(text);
    }
    return items.DelimitedText();
}

void CopyFieldDefs(const TFieldDefs* source, TFieldDefs* dest, const std::string& notRequired)
{
    if (!source || !dest)
        throw EovnDataSet("CopyFieldDefs: source or destination not assigned");
    TStringList optional;
    optional.SetCaseSensitive(true); // names are compared exactly
    optional.SetCommaText(notRequired);
    for (int i = 0; i < source->Count(); ++i) {
        const TFieldDef* from = source->Items(i);
        const TFieldType type = from->DataType() == ftFMTBcd ? ftFloat : from->DataType();
        // A name taken in dest raises the duplicate-name error.
        TFieldDef* def = dest->Add(from->Name(), type, from->Size());
        def->SetPrecision(from->Precision());
        def->SetAttributes(from->Attributes().Set(faRequired, from->Required() && optional.IndexOf(from->Name()) < 0));
        def->SetInternalCalcField(from->InternalCalcField());
    }
}

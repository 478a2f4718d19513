// Format's variant argument, kept apart from SysUtils.cpp so that a program
// using Format without variants does not pull in the variant unit.
#include "platform/SysUtils.h"
#include "platform/Variants.h"

FormatArg::FormatArg(const Variant& v) : kind(Kind::String), fromVariant(true)
{
    switch (v.VarType()) {
    case varSmallint:
    case varInteger:
    case varShortInt:
    case varByte:
    case varWord:
    case varLongWord:
    case varInt64:
    case varBoolean:
        kind = Kind::Int;
        i = v.AsInt64();
        break;
    case varSingle:
    case varDouble:
    case varCurrency:
    case varDate:
        kind = Kind::Float;
        f = v.AsDouble();
        break;
    default:
        break;
    }
    // The variant's own text conversion: a Null (or an array) has none and
    // raises, as in the library's Format.
    s = v.AsString();
}

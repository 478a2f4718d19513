#include "Components/Nembra/SQLQuerySchema.h"

#include "platform/DB.h"
#include "platform/DateUtils.h"

#include <algorithm>
#include <cctype>

TExecuteQueryBuilderEvent OnExecuteQueryBuilder = nullptr;

namespace {

const char* const CRLF = "\r\n";

bool IsTextType(TFieldType type)
{
    return type == ftString || type == ftBlob || type == ftMemo || type == ftFixedChar || type == ftWideString;
}

bool IsDateType(TFieldType type)
{
    return type == ftDate || type == ftTime || type == ftDateTime || type == ftTimeStamp;
}

bool IsNumericType(TFieldType type)
{
    return type == ftSmallint || type == ftInteger || type == ftWord || type == ftFloat || type == ftCurrency ||
           type == ftBCD || type == ftAutoInc || type == ftLargeint || type == ftFMTBcd;
}

std::string Quoted(const std::string& value)
{
    std::string out = "'";
    for (char c : value) {
        out += c;
        if (c == '\'')
            out += '\'';
    }
    return out + "'";
}

// A number typed by the user, with a point as decimal separator whatever the
// locale, written back with a point. Whole numbers keep their digits (a
// double would round large counters).
std::string NumberValue(const std::string& typed)
{
    const std::string value = Trim(typed);
    size_t digits = value.size() > 0 && (value[0] == '-' || value[0] == '+') ? 1 : 0;
    const bool whole = digits < value.size() &&
                       value.find_first_not_of("0123456789", digits) == std::string::npos;
    TFormatSettings point = FormatSettings;
    point.DecimalSeparator = '.';
    point.ThousandSeparator = '\0';
    const double number = StrToFloat(value, point); // raises for anything else
    return whole ? value : FloatToStr(number, point);
}

// A value of another type (a Boolean flag, say) goes into the statement as
// typed, so it must be one word: letters, digits, . and _ after an optional
// sign (two dashes would start a comment).
std::string WordValue(const std::string& typed)
{
    const std::string value = Trim(typed);
    const size_t start = !value.empty() && (value[0] == '-' || value[0] == '+') ? 1 : 0;
    const bool word = start < value.size() && std::all_of(value.begin() + start, value.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '_';
    });
    if (!word)
        throw EConvertError(Format("'%s' is not a valid filter value", typed));
    return value;
}

} // namespace

TSQLQuerySchema::TSQLQuerySchema(TDataSet* dataSet) : m_dataSet(dataSet)
{
    for (TStringList* clause : {&m_select, &m_from, &m_where, &m_orderBy, &m_other})
        clause->OnChange = [this](TObject*) { Changed(); };
}

TSQLQuerySchema::~TSQLQuerySchema()
{
    for (TStringList* clause : {&m_select, &m_from, &m_where, &m_orderBy, &m_other})
        clause->OnChange = nullptr;
}

void TSQLQuerySchema::Changed()
{
    if (!IsUpdating() && OnChange)
        OnChange(this);
}

void TSQLQuerySchema::BeginUpdate()
{
    ++m_updateCount;
}

void TSQLQuerySchema::EndUpdate()
{
    if (m_updateCount > 0 && --m_updateCount == 0)
        Changed();
}

void TSQLQuerySchema::SetUserFilter(const std::string& value)
{
    if (value == m_userFilter)
        return;
    m_userFilter = value;
    Changed();
}

void TSQLQuerySchema::SetUserSort(const std::string& value)
{
    if (value == m_userSort)
        return;
    m_userSort = value;
    Changed();
}

void TSQLQuerySchema::SetQueryBuilder(std::unique_ptr<TObject> obj)
{
    if (obj.get() != m_queryBuilder.get())
        m_queryBuilder = std::move(obj);
    else
        (void)obj.release(); // the one already held: it stays, owned once
}

void TSQLQuerySchema::Assign(const TPersistent& source)
{
    const auto* schema = dynamic_cast<const TSQLQuerySchema*>(&source);
    if (!schema) {
        TPersistent::Assign(source);
        return;
    }
    BeginUpdate();
    try {
        m_select.Assign(schema->m_select);
        m_from.Assign(schema->m_from);
        m_where.Assign(schema->m_where);
        m_orderBy.Assign(schema->m_orderBy);
        m_other.Assign(schema->m_other);
        SetUserFilter(schema->m_userFilter);
        SetUserSort(schema->m_userSort);
        m_simpleFiltered = schema->m_simpleFiltered;
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TSQLQuerySchema::Assign(const TPersistent* source)
{
    if (source)
        Assign(*source);
    else
        Clear();
}

void TSQLQuerySchema::Clear()
{
    BeginUpdate();
    for (TStringList* clause : {&m_select, &m_from, &m_where, &m_orderBy, &m_other})
        clause->Clear();
    SetUserFilter("");
    SetUserSort("");
    EndUpdate();
}

bool TSQLQuerySchema::Defined() const
{
    return !Trim(m_from.Text()).empty() || !Trim(m_other.Text()).empty();
}

void TSQLQuerySchema::ApplyFilter(const std::string& filter, const std::string& sort)
{
    BeginUpdate();
    SetUserFilter(filter);
    SetUserSort(sort);
    m_simpleFiltered = false;
    EndUpdate();
}

void TSQLQuerySchema::ApplySimpleFilterExt(const std::string& filter, const std::string& sort, bool reopen)
{
    const bool wasOpen = m_dataSet && m_dataSet->Active();
    if (filter != m_userFilter || sort != m_userSort) {
        if (m_dataSet)
            m_dataSet->Close();
        ApplyFilter(filter, sort);
    }
    m_simpleFiltered = true;
    if (m_dataSet && (reopen || wasOpen))
        m_dataSet->Open();
}

void TSQLQuerySchema::ApplySimpleFilter(const std::string& filter, const std::string& sort)
{
    ApplySimpleFilterExt(filter, sort, true);
}

void TSQLQuerySchema::ClearSimpleFilter()
{
    ApplySimpleFilterExt("", "", false);
}

std::string TSQLQuerySchema::GetFilter() const
{
    const std::string where = Trim(m_where.Text());
    const bool user = !Trim(m_userFilter).empty();
    if (!where.empty() && user)
        return " (" + where + ") AND (" + m_userFilter + ") ";
    return where.empty() ? m_userFilter : where;
}

std::string TSQLQuerySchema::GetSort() const
{
    const std::string user = Trim(m_userSort);
    return user.empty() ? Trim(m_orderBy.Text()) : user;
}

std::string TSQLQuerySchema::GetSQL()
{
    if (!Defined())
        return {};
    const std::string select = Trim(m_select.Text());
    std::string sql = select.empty() ? std::string("SELECT * ") + CRLF : "SELECT " + select + CRLF;
    const std::string from = Trim(m_from.Text());
    if (!from.empty())
        sql += "FROM " + from + CRLF;
    const std::string filter = Trim(GetFilter());
    if (!filter.empty())
        sql += "WHERE " + filter + CRLF;
    const std::string sort = GetSort();
    if (!sort.empty())
        sql += "ORDER BY " + sort + CRLF;
    const std::string other = Trim(m_other.Text());
    if (!other.empty())
        sql += other + CRLF;
    return sql;
}

bool TSQLQuerySchema::IsFiltered() const
{
    return (!m_userFilter.empty() || !m_userSort.empty()) && !m_simpleFiltered;
}

bool TSQLQuerySchema::IsSimpleFiltered() const
{
    return (!m_userFilter.empty() || !m_userSort.empty()) && m_simpleFiltered;
}

void TSQLQuerySchema::Execute(const std::string& fieldName)
{
    if (OnExecuteQueryBuilder)
        OnExecuteQueryBuilder(this, fieldName);
}

void TSQLQuerySchema::ResetFilter()
{
    m_queryBuilder.reset();
    ClearSimpleFilter();
}

std::string TSQLQuerySchema::OriginateField(const std::string& fieldName) const
{
    TField* field = m_dataSet ? m_dataSet->FindField(fieldName) : nullptr;
    return field && !field->Origin().empty() ? field->Origin() : fieldName;
}

std::string TSQLQuerySchema::CreateFilterExpression(const std::string& fieldName, const std::string& relation,
                                                    const std::string& value, bool caseSensitive) const
{
    std::string column = OriginateField(fieldName);
    if (!m_dataSet)
        DatabaseErrorFmt(DBConsts::SFieldNotFound, {fieldName}); // no dataset: no field either
    TFieldType type = m_dataSet->FieldByName(fieldName)->DataType();
    std::string rel = relation;
    std::string text = value;
    if (text.empty()) {
        rel = relation == "=" ? " IS " : " IS NOT ";
        text = "NULL";
    } else {
        const std::string upperRelation = UpperCase(Trim(relation));
        if (upperRelation == "LIKE" || upperRelation == "NOT LIKE") {
            if (text.find('%') == std::string::npos)
                text = "%" + text + "%";
            type = ftString; // a pattern is text whatever the field holds
        }
        if (IsTextType(type)) {
            if (!caseSensitive) {
                column = "UPPER(" + column + ")";
                text = UpperCase(text);
            }
            text = Quoted(text);
        } else if (IsDateType(type)) {
            const TDateTime when = StrToDateTime(Trim(text));
            const std::string format = TimeOf(when) != 0 ? "yyyy-mm-dd hh:nn:ss" : "yyyy-mm-dd";
            text = "TO_DATE('" + FormatDateTime(format, when) + "', 'yyyy-mm-dd hh24:mi:ss')";
        } else if (IsNumericType(type)) {
            text = NumberValue(text);
        } else {
            text = WordValue(text);
        }
    }
    return column + " " + rel + " " + text;
}

std::string TSQLQuerySchema::CreateOrderByExpression(const std::string& fieldName, bool descending,
                                                     bool caseSensitive) const
{
    std::string column = OriginateField(fieldName);
    if (m_dataSet && !caseSensitive) {
        const TFieldType type = m_dataSet->FieldByName(fieldName)->DataType();
        if (type == ftString || type == ftFixedChar || type == ftWideString)
            column = "UPPER(" + column + ")";
    }
    return column + (descending ? " DESC" : " ASC");
}

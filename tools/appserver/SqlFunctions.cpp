#include "SqlFunctions.h"
#include "TextCase.h"

#include "SqlDialect.h"
#include "Wire.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>

namespace {


std::string ValueText(sqlite3_value* v)
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(v));
    return text ? std::string(text, static_cast<size_t>(sqlite3_value_bytes(v))) : std::string();
}

void ResultText(sqlite3_context* ctx, const std::string& text)
{
    sqlite3_result_text(ctx, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

void ResultError(sqlite3_context* ctx, const std::string& text)
{
    sqlite3_result_error(ctx, text.data(), static_cast<int>(text.size()));
}

// Runs f, turning an Oracle error into the statement's error.
template <class F> void Guarded(sqlite3_context* ctx, F&& f)
{
    try {
        f();
    } catch (const std::exception& e) {
        ResultError(ctx, e.what());
    }
}

// ---------------------------------------------------------------------------
// Dates

bool LeapYear(int y)
{
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int DaysInMonth(int y, int m)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && LeapYear(y) ? 29 : days[m - 1];
}

struct TDateParts
{
    int Year = -1, Month = -1, Day = -1, Hour = 0, Minute = 0, Second = 0;
};

// The digits at `pos` (at most `width`), or ORA-01858.
int ReadDigits(const std::string& text, size_t& pos, size_t width)
{
    const size_t start = pos;
    while (pos < text.size() && pos - start < width && std::isdigit(static_cast<unsigned char>(text[pos])))
        ++pos;
    if (pos == start)
        throw EOracleError("ORA-01858: a non-numeric character was found where a numeric was expected");
    return std::atoi(text.substr(start, pos - start).c_str());
}

std::string FormatDate(const TDateParts& d)
{
    char out[80];
    std::snprintf(out, sizeof out, "%04d-%02d-%02d %02d:%02d:%02d", d.Year, d.Month, d.Day, d.Hour, d.Minute,
                  d.Second);
    return out;
}

void CheckDate(const TDateParts& d)
{
    if (d.Year < 1 || d.Year > 9999)
        throw EOracleError("ORA-01841: (full) year must be between -4713 and +9999, and not be 0");
    if (d.Month < 1 || d.Month > 12)
        throw EOracleError("ORA-01843: not a valid month");
    if (d.Day < 1 || d.Day > DaysInMonth(d.Year, d.Month))
        throw EOracleError("ORA-01847: day of month must be between 1 and last day of month");
    if (d.Hour > 23)
        throw EOracleError("ORA-01850: hour must be between 0 and 23");
    if (d.Minute > 59)
        throw EOracleError("ORA-01851: minutes must be between 0 and 59");
    if (d.Second > 59)
        throw EOracleError("ORA-01852: seconds must be between 0 and 59");
}

// ---------------------------------------------------------------------------
// Functions

void ToDate(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL)
        return sqlite3_result_null(ctx);
    const std::string format = argc > 1 ? ValueText(argv[1]) : std::string("YYYY-MM-DD HH24:MI:SS");
    Guarded(ctx, [&] { ResultText(ctx, OracleToDate(ValueText(argv[0]), format)); });
}

void ToNumber(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    switch (sqlite3_value_type(argv[0])) {
    case SQLITE_NULL:
        return sqlite3_result_null(ctx);
    case SQLITE_INTEGER:
        return sqlite3_result_int64(ctx, sqlite3_value_int64(argv[0]));
    case SQLITE_FLOAT:
        return sqlite3_result_double(ctx, sqlite3_value_double(argv[0]));
    default:
        break;
    }
    std::string text = ValueText(argv[0]);
    text.erase(0, text.find_first_not_of(" \t"));
    text.erase(text.find_last_not_of(" \t") + 1);
    if (text.empty())
        return sqlite3_result_null(ctx); // '' is NULL in Oracle
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !std::isfinite(value))
        return ResultError(ctx, "ORA-01722: invalid number");
    if (value == std::floor(value) && std::fabs(value) < 9.0e15)
        return sqlite3_result_int64(ctx, static_cast<sqlite3_int64>(value));
    sqlite3_result_double(ctx, value);
}

// The last value each sequence gave on this connection (CURRVAL).
struct TSequenceState
{
    std::map<std::string, sqlite3_int64> Current;
};

thread_local int t_advancingSequence = 0;

sqlite3_int64 NextValue(sqlite3* db, const std::string& name)
{
    // The rights of the connection see this UPDATE as the client's own.
    struct TAdvancing
    {
        TAdvancing() { ++t_advancingSequence; }
        ~TAdvancing() { --t_advancingSequence; }
    } advancing;
    sqlite3_stmt* update = nullptr;
    sqlite3_prepare_v2(db,
                       "UPDATE OVN_SEQUENCES SET LAST_NUMBER = LAST_NUMBER + INCREMENT_BY "
                       "WHERE SEQUENCE_NAME = ?1 COLLATE NOCASE RETURNING LAST_NUMBER",
                       -1, &update, nullptr);
    if (!update)
        throw EOracleError("ORA-02289: sequence does not exist");
    sqlite3_bind_text(update, 1, name.data(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
    const int rc = sqlite3_step(update);
    const sqlite3_int64 value = rc == SQLITE_ROW ? sqlite3_column_int64(update, 0) : 0;
    std::string error = rc == SQLITE_ROW || rc == SQLITE_DONE ? std::string() : sqlite3_errmsg(db);
    if (rc == SQLITE_ROW)
        sqlite3_step(update);
    sqlite3_finalize(update);
    if (!error.empty())
        throw EOracleError("ORA-08004: sequence " + UpperText(name) + " cannot be advanced: " + error);
    if (rc != SQLITE_ROW)
        throw EOracleError("ORA-02289: sequence does not exist");
    return value;
}

void NextVal(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    Guarded(ctx, [&] {
        const std::string name = UpperText(ValueText(argv[0]));
        const sqlite3_int64 value = NextValue(sqlite3_context_db_handle(ctx), name);
        static_cast<TSequenceState*>(sqlite3_user_data(ctx))->Current[name] = value;
        sqlite3_result_int64(ctx, value);
    });
}

void CurrVal(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    const std::string name = UpperText(ValueText(argv[0]));
    auto& current = static_cast<TSequenceState*>(sqlite3_user_data(ctx))->Current;
    const auto it = current.find(name);
    if (it == current.end())
        return ResultError(ctx, "ORA-08002: sequence " + name + ".CURRVAL is not yet defined in this session");
    sqlite3_result_int64(ctx, it->second);
}

void AutoCounter(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    Guarded(ctx, [&] {
        const std::string table = UpperText(ValueText(argv[0]));
        if (table.size() <= 4)
            throw EOracleError("ORA-02289: sequence does not exist");
        const std::string name = "SEQ_" + table.substr(4);
        const sqlite3_int64 value = NextValue(sqlite3_context_db_handle(ctx), name);
        static_cast<TSequenceState*>(sqlite3_user_data(ctx))->Current[name] = value;
        sqlite3_result_int64(ctx, value);
    });
}

// "ORA-20001: text" followed by the line that names where it was raised, as
// the suite's server reports an application error (callers look for the
// text between "ORA-20001:" and the "$END$" their procedures put after it).
void RaiseApplicationError(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    const sqlite3_int64 code = sqlite3_value_int64(argv[0]);
    char prefix[32];
    std::snprintf(prefix, sizeof prefix, "ORA-%05lld: ", static_cast<long long>(code < 0 ? -code : code));
    ResultError(ctx, prefix + ValueText(argv[1]) + "\nORA-06512: at line 1");
}

void Concat(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    std::string out;
    bool any = false;
    for (int i = 0; i < argc; ++i) {
        if (sqlite3_value_type(argv[i]) == SQLITE_NULL)
            continue;
        any = true;
        out += ValueText(argv[i]);
    }
    if (!any || out.empty())
        return sqlite3_result_null(ctx); // '' is NULL in Oracle
    ResultText(ctx, out);
}

void CastToRaw(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL)
        return sqlite3_result_null(ctx);
    const std::string bytes = ValueText(argv[0]);
    sqlite3_result_blob(ctx, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
}

void SysDate(sqlite3_context* ctx, int, sqlite3_value**)
{
    ResultText(ctx, Wire::NowText());
}

void ResidentInGroup(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    sqlite3* db = sqlite3_context_db_handle(ctx);
    sqlite3_stmt* query = nullptr;
    if (sqlite3_prepare_v2(db,
                           "SELECT 1 FROM TBL_RESIDENTGROUPDETAIL WHERE C_RESIDENTGROUP = ?1 AND C_RESIDENT = ?2",
                           -1, &query, nullptr) != SQLITE_OK)
        return ResultError(ctx, "ORA-00942: table or view does not exist");
    sqlite3_bind_value(query, 1, argv[0]);
    sqlite3_bind_value(query, 2, argv[1]);
    const bool found = sqlite3_step(query) == SQLITE_ROW;
    sqlite3_finalize(query);
    ResultText(ctx, found ? "T" : "F");
}

} // namespace

std::optional<std::string> NormalizeDateText(const std::string& text)
{
    auto digitsAt = [&](size_t pos, size_t count) {
        for (size_t i = pos; i < pos + count; ++i)
            if (i >= text.size() || !std::isdigit(static_cast<unsigned char>(text[i])))
                return false;
        return true;
    };
    if (text.size() < 10 || !digitsAt(0, 4) || text[4] != '-' || !digitsAt(5, 2) || text[7] != '-' ||
        !digitsAt(8, 2))
        return std::nullopt;
    if (text.size() == 10)
        return text + " 00:00:00";
    if (text.size() >= 16 && (text[10] == ' ' || text[10] == 'T') && digitsAt(11, 2) && text[13] == ':' &&
        digitsAt(14, 2)) {
        if (text.size() == 16)
            return text.substr(0, 10) + " " + text.substr(11) + ":00";
        if (text.size() >= 19 && text[16] == ':' && digitsAt(17, 2))
            return text.substr(0, 10) + " " + text.substr(11, 8);
    }
    return std::nullopt;
}

std::string OracleToDate(const std::string& text, const std::string& format)
{
    const std::string f = UpperText(format);
    TDateParts d;
    size_t pos = 0;
    size_t i = 0;
    auto element = [&](const char* name) {
        const size_t n = std::char_traits<char>::length(name);
        if (f.compare(i, n, name) != 0)
            return false;
        i += n;
        return true;
    };
    while (i < f.size()) {
        const char c = f[i];
        if (!std::isalnum(static_cast<unsigned char>(c))) {
            // A separator of the format matches any run of separators.
            ++i;
            while (pos < text.size() && !std::isalnum(static_cast<unsigned char>(text[pos])))
                ++pos;
            continue;
        }
        int* part = nullptr;
        size_t width = 2;
        if (element("YYYY")) {
            part = &d.Year;
            width = 4;
        } else if (element("MM"))
            part = &d.Month;
        else if (element("DD"))
            part = &d.Day;
        else if (element("HH24") || element("HH"))
            part = &d.Hour;
        else if (element("MI"))
            part = &d.Minute;
        else if (element("SS"))
            part = &d.Second;
        else
            throw EOracleError("ORA-01821: date format not recognized");
        if (pos >= text.size()) {
            if (d.Year < 0 || d.Month < 0 || d.Day < 0 || part == &d.Year || part == &d.Month || part == &d.Day)
                throw EOracleError("ORA-01840: input value not long enough for date format");
            continue; // the time of day left out is midnight
        }
        *part = ReadDigits(text, pos, width);
    }
    while (pos < text.size() && std::isspace(static_cast<unsigned char>(text[pos])))
        ++pos;
    if (pos < text.size())
        throw EOracleError("ORA-01830: date format picture ends before converting entire input string");
    if (d.Year < 0 || d.Month < 0 || d.Day < 0)
        throw EOracleError("ORA-01840: input value not long enough for date format");
    CheckDate(d);
    return FormatDate(d);
}

bool AdvancingSequence()
{
    return t_advancingSequence > 0;
}

void RegisterSqlFunctions(sqlite3* db)
{
    const int flags = SQLITE_UTF8;
    const int pure = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    auto* sequences = new TSequenceState;
    sqlite3_create_function_v2(db, "TO_DATE", 1, pure, nullptr, ToDate, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "TO_DATE", 2, pure, nullptr, ToDate, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "TO_NUMBER", 1, pure, nullptr, ToNumber, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "OVN_NEXTVAL", 1, flags, sequences, NextVal, nullptr, nullptr,
                               [](void* p) { delete static_cast<TSequenceState*>(p); });
    sqlite3_create_function_v2(db, "OVN_CURRVAL", 1, flags, sequences, CurrVal, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "OVN_AUTOCOUNTER", 1, flags, sequences, AutoCounter, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "RAISE_APPLICATION_ERROR", 2, flags, nullptr, RaiseApplicationError, nullptr,
                               nullptr, nullptr);
    sqlite3_create_function_v2(db, "OVN_CONCAT", -1, pure, nullptr, Concat, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "OVN_CAST_TO_RAW", 1, pure, nullptr, CastToRaw, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "OVN_SYSDATE", 0, flags, nullptr, SysDate, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "GET_ADT_RESIDENT_IN_GROUP", 2, flags, nullptr, ResidentInGroup, nullptr,
                               nullptr, nullptr);
}

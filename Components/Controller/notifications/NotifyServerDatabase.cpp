#include "Components/Controller/notifications/NotifyServerDatabase.h"

#include "Components/Nembra/NembraDBDataSets.h"
#include "platform/Fields.h"

#include <algorithm>
#include <cctype>

TNotifyServerDatabase::TNotifyServerDatabase(std::function<std::string()> UserID,
                                             std::function<std::vector<int32_t>()> Facilities,
                                             std::string DatabaseName)
    : m_userID(std::move(UserID)), m_facilities(std::move(Facilities)), m_databaseName(std::move(DatabaseName)),
      m_query(std::make_unique<TovnOndrelQuery>())
{
    m_query->SetDatabaseName(m_databaseName);
    m_query->SetUseSQL(true);
}

TNotifyServerDatabase::~TNotifyServerDatabase() = default;

namespace {

// The ":Name" references of a statement in the order they occur, quoted
// literals skipped. A name may occur more than once; the query holds one
// parameter for it.
std::vector<std::string> ParamOccurrences(const std::string& SQL)
{
    std::vector<std::string> names;
    bool quoted = false;
    for (size_t i = 0; i < SQL.size(); ++i) {
        const char c = SQL[i];
        if (c == '\'') {
            quoted = !quoted;
            continue;
        }
        if (quoted || c != ':' || i + 1 >= SQL.size())
            continue;
        size_t j = i + 1;
        while (j < SQL.size() && (std::isalnum(static_cast<unsigned char>(SQL[j])) || SQL[j] == '_'))
            ++j;
        if (j > i + 1 && !std::isdigit(static_cast<unsigned char>(SQL[i + 1])))
            names.push_back(SQL.substr(i + 1, j - i - 1));
        i = j - 1;
    }
    return names;
}

} // namespace

std::vector<TNotifyRow> TNotifyServerDatabase::Open(const std::string& SQL, const std::vector<Variant>& Values)
{
    return OpenFetchingBy(SQL, Values, 0);
}

std::vector<TNotifyRow> TNotifyServerDatabase::OpenFetchingBy(const std::string& SQL, const std::vector<Variant>& Values,
                                                              int32_t FetchBy)
{
    m_query->Close();
    m_query->SetFetchBy(FetchBy);
    m_lastFetchBy = FetchBy;
    m_query->SQL().SetText(SQL);
    // Values go by position of the references; a name that occurs again
    // keeps the value of its first occurrence.
    const std::vector<std::string> names = ParamOccurrences(SQL);
    if (names.size() > Values.size())
        throw EovnOndrelQuery("The statement takes " + std::to_string(names.size()) + " values, " +
                              std::to_string(Values.size()) + " given");
    TParams& params = m_query->Params();
    std::vector<std::string> done;
    for (size_t i = 0; i < names.size(); ++i) {
        if (std::any_of(done.begin(), done.end(), [&](const std::string& d) { return SameText(d, names[i]); }))
            continue;
        done.push_back(names[i]);
        if (TParam* param = params.FindParam(names[i]))
            param->SetAsString(VarToStr(Values[i]));
    }
    m_query->Open();
    std::vector<TNotifyRow> rows;
    while (!m_query->Eof()) {
        TNotifyRow row;
        for (int f = 0; f < m_query->FieldCount(); ++f) {
            TField* field = m_query->Fields()[f];
            row[UpperCase(field->FieldName())] = field->Value();
        }
        rows.push_back(std::move(row));
        m_query->Next();
    }
    m_query->Close();
    return rows;
}

void TNotifyServerDatabase::Execute(const std::string& SQL) { GetOndrelDatabase(m_databaseName).ExecSQL(SQL); }

#include "SqlDialect.h"
#include "TextCase.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cctype>
#include <set>

namespace {

using TTokens = std::vector<TSqlToken>;


bool IsWordChar(unsigned char c)
{
    return std::isalnum(c) || c == '_' || c == '$' || c == '#' || c >= 0x80;
}

bool IsWord(const TSqlToken& t, const char* word)
{
    return t.Kind == TSqlToken::tkWord && UpperText(t.Text) == word;
}

bool IsOp(const TSqlToken& t, const char* op)
{
    return t.Kind == TSqlToken::tkOperator && t.Text == op;
}

[[noreturn]] void Unimplemented(const std::string& what)
{
    throw EOracleError("ORA-03001: unimplemented feature: " + what +
                       " is not supported by the local application server");
}

TSqlToken Make(TSqlToken::TKind kind, std::string text, std::string space = "")
{
    TSqlToken t;
    t.Kind = kind;
    t.Text = std::move(text);
    t.Space = std::move(space);
    return t;
}

// ---------------------------------------------------------------------------
// Tokens

size_t SkipComment(const std::string& sql, size_t i, std::string& space)
{
    if (sql.compare(i, 2, "--") == 0) {
        const size_t end = std::min(sql.find('\n', i), sql.size());
        space.append(sql, i, end - i);
        return end;
    }
    const size_t end = sql.find("*/", i + 2);
    if (end == std::string::npos)
        throw EOracleError("ORA-01742: comment not terminated properly");
    space.append(sql, i, end + 2 - i);
    return end + 2;
}

size_t ReadQuoted(const std::string& sql, size_t i, char quote, std::string& text)
{
    size_t p = i + 1;
    for (;;) {
        const size_t q = sql.find(quote, p);
        if (q == std::string::npos)
            throw EOracleError(quote == '\'' ? "ORA-01756: quoted string not properly terminated"
                                             : "ORA-01740: missing double quote in identifier");
        if (quote == '\'' && q + 1 < sql.size() && sql[q + 1] == '\'') {
            p = q + 2;
            continue;
        }
        text = sql.substr(i, q + 1 - i);
        return q + 1;
    }
}

size_t ReadNumber(const std::string& sql, size_t i)
{
    size_t p = i;
    while (p < sql.size() && (std::isdigit(static_cast<unsigned char>(sql[p])) || sql[p] == '.'))
        ++p;
    if (p < sql.size() && (sql[p] == 'e' || sql[p] == 'E')) {
        size_t q = p + 1;
        if (q < sql.size() && (sql[q] == '+' || sql[q] == '-'))
            ++q;
        if (q < sql.size() && std::isdigit(static_cast<unsigned char>(sql[q]))) {
            p = q;
            while (p < sql.size() && std::isdigit(static_cast<unsigned char>(sql[p])))
                ++p;
        }
    }
    return p;
}

size_t ReadOperator(const std::string& sql, size_t i, std::string& text)
{
    static const char* const pairs[] = {"||", "<>", "<=", ">=", "!=", "^=", "=>"};
    for (const char* pair : pairs) {
        if (sql.compare(i, 2, pair) == 0) {
            text = pair;
            return i + 2;
        }
    }
    text = sql.substr(i, 1);
    return i + 1;
}

// ---------------------------------------------------------------------------
// Statements the local server will not pretend to run

void RefuseUnsupported(const TTokens& t)
{
    for (size_t i = 0; i < t.size(); ++i) {
        const TSqlToken& k = t[i];
        const bool hasNext = i + 1 < t.size();
        if (k.Kind == TSqlToken::tkOpen && i + 2 < t.size() && IsOp(t[i + 1], "+") &&
            t[i + 2].Kind == TSqlToken::tkClose)
            Unimplemented("the (+) outer join marker (write LEFT JOIN)");
        if (IsWord(k, "CONNECT") && hasNext && IsWord(t[i + 1], "BY"))
            Unimplemented("CONNECT BY");
        if (IsWord(k, "START") && hasNext && IsWord(t[i + 1], "WITH"))
            Unimplemented("START WITH");
        if (IsWord(k, "RETURNING"))
            Unimplemented("RETURNING ... INTO");
    }
    size_t first = 0;
    while (first < t.size() && t[first].Kind == TSqlToken::tkOpen)
        ++first;
    if (first < t.size()) {
        if (IsWord(t[first], "MERGE"))
            Unimplemented("MERGE");
        if (IsWord(t[first], "BEGIN") || IsWord(t[first], "DECLARE"))
            Unimplemented("a PL/SQL block");
    }
}

// ---------------------------------------------------------------------------
// Word-level rewrites

bool IsName(const TSqlToken& t)
{
    return t.Kind == TSqlToken::tkWord || t.Kind == TSqlToken::tkQuotedName;
}

std::string BareName(const TSqlToken& t)
{
    return t.Kind == TSqlToken::tkQuotedName ? t.Text.substr(1, t.Text.size() - 2) : t.Text;
}

std::string SqlLiteral(const std::string& text)
{
    std::string out = "'";
    for (char c : text) {
        out += c;
        if (c == '\'')
            out += '\'';
    }
    return out + "'";
}

// seq.NEXTVAL and schema.seq.NEXTVAL become OVN_NEXTVAL('seq').
void RewriteSequences(TTokens& t)
{
    for (size_t i = 0; i + 2 < t.size(); ++i) {
        if (!IsName(t[i]) || t[i + 1].Kind != TSqlToken::tkDot)
            continue;
        const bool next = IsWord(t[i + 2], "NEXTVAL");
        if (!next && !IsWord(t[i + 2], "CURRVAL"))
            continue;
        size_t first = i;
        if (i >= 2 && t[i - 1].Kind == TSqlToken::tkDot && IsName(t[i - 2]))
            first = i - 2;
        const std::string space = t[first].Space;
        const TTokens call = {Make(TSqlToken::tkWord, next ? "OVN_NEXTVAL" : "OVN_CURRVAL", space),
                              Make(TSqlToken::tkOpen, "("), Make(TSqlToken::tkString, SqlLiteral(BareName(t[i]))),
                              Make(TSqlToken::tkClose, ")")};
        t.erase(t.begin() + static_cast<std::ptrdiff_t>(first), t.begin() + static_cast<std::ptrdiff_t>(i + 3));
        t.insert(t.begin() + static_cast<std::ptrdiff_t>(first), call.begin(), call.end());
        i = first + call.size() - 1;
    }
}

void RewriteWords(TTokens& t)
{
    for (size_t i = 0; i < t.size(); ++i) {
        const bool afterDot = i > 0 && t[i - 1].Kind == TSqlToken::tkDot;
        const bool beforeOpen = i + 1 < t.size() && t[i + 1].Kind == TSqlToken::tkOpen;
        if (afterDot || t[i].Kind != TSqlToken::tkWord)
            continue;
        const std::string word = UpperText(t[i].Text);
        if (word == "NVL" && beforeOpen) {
            t[i].Text = "IFNULL";
        } else if (word == "SYSDATE" && !beforeOpen) {
            t[i].Text = "OVN_SYSDATE";
            t.insert(t.begin() + static_cast<std::ptrdiff_t>(i + 1),
                     {Make(TSqlToken::tkOpen, "("), Make(TSqlToken::tkClose, ")")});
        } else if (word == "MINUS") {
            t[i].Text = "EXCEPT";
        } else if (word == "UTL_RAW" && i + 2 < t.size() && t[i + 1].Kind == TSqlToken::tkDot &&
                   IsWord(t[i + 2], "CAST_TO_RAW")) {
            t[i].Text = "OVN_CAST_TO_RAW";
            t.erase(t.begin() + static_cast<std::ptrdiff_t>(i + 1), t.begin() + static_cast<std::ptrdiff_t>(i + 3));
        } else if (word == "FROM" && i + 1 < t.size() && IsWord(t[i + 1], "DUAL")) {
            if (i + 2 < t.size() && (t[i + 2].Kind == TSqlToken::tkComma || t[i + 2].Kind == TSqlToken::tkDot))
                Unimplemented("DUAL joined with other tables");
            // The blank before FROM stays between the neighbours, and so do
            // comments.
            const std::string space = t[i].Space.empty() ? " " : t[i].Space;
            t.erase(t.begin() + static_cast<std::ptrdiff_t>(i), t.begin() + static_cast<std::ptrdiff_t>(i + 2));
            if (i < t.size()) {
                const bool blank = t[i].Space.find_first_not_of(" \t\r\n") == std::string::npos;
                t[i].Space = space + (blank ? std::string() : t[i].Space);
            }
            --i;
        }
    }
}

// ---------------------------------------------------------------------------
// ROWNUM

// The tokens of the select that holds position `at`: from after the opening
// bracket (or the start) to the closing bracket, ';' or the end.
std::pair<size_t, size_t> LevelOf(const TTokens& t, size_t at)
{
    size_t start = 0;
    int depth = 0;
    for (size_t k = at; k-- > 0;) {
        if (t[k].Kind == TSqlToken::tkClose) {
            ++depth;
        } else if (t[k].Kind == TSqlToken::tkOpen) {
            if (depth == 0) {
                start = k + 1;
                break;
            }
            --depth;
        }
    }
    size_t end = t.size();
    depth = 0;
    for (size_t k = at; k < t.size(); ++k) {
        if (t[k].Kind == TSqlToken::tkOpen) {
            ++depth;
        } else if (t[k].Kind == TSqlToken::tkClose || t[k].Kind == TSqlToken::tkSemicolon) {
            if (depth == 0) {
                end = k;
                break;
            }
            if (t[k].Kind == TSqlToken::tkClose)
                --depth;
        }
    }
    return {start, end};
}

void RewriteRownum(TTokens& t)
{
    static const std::set<std::string> blocking = {"ORDER",  "GROUP", "HAVING", "UNION", "INTERSECT",
                                                   "EXCEPT", "MINUS", "LIMIT",  "OR"};
    const char* const refused = "ROWNUM other than as a condition ROWNUM = n, ROWNUM < n or ROWNUM <= n joined "
                                "by AND to the WHERE clause of a select without ORDER BY, GROUP BY, OR or UNION";
    for (size_t i = 0; i < t.size(); ++i) {
        if (!IsWord(t[i], "ROWNUM") || (i > 0 && t[i - 1].Kind == TSqlToken::tkDot))
            continue;
        if (i + 2 >= t.size() || t[i + 2].Kind != TSqlToken::tkNumber ||
            t[i + 2].Text.find_first_not_of("0123456789") != std::string::npos ||
            !(IsOp(t[i + 1], "=") || IsOp(t[i + 1], "<") || IsOp(t[i + 1], "<=")))
            Unimplemented(refused);
        if (i == 0 || !(IsWord(t[i - 1], "WHERE") || IsWord(t[i - 1], "AND")))
            Unimplemented(refused);
        const auto [start, end] = LevelOf(t, i);
        if (i + 3 < end && !IsWord(t[i + 3], "AND"))
            Unimplemented(refused);
        bool where = false;
        int depth = 0;
        for (size_t k = start; k < end; ++k) {
            if (t[k].Kind == TSqlToken::tkOpen)
                ++depth;
            else if (t[k].Kind == TSqlToken::tkClose)
                --depth;
            else if (depth == 0 && t[k].Kind == TSqlToken::tkWord) {
                const std::string word = UpperText(t[k].Text);
                if (word == "WHERE" && k < i)
                    where = true;
                if (blocking.count(word) > 0 && (word != "OR" || where))
                    Unimplemented(refused);
            }
        }
        if (!where)
            Unimplemented(refused);
        // A number beyond 64 bits limits nothing.
        long long n = INT64_MAX;
        std::from_chars(t[i + 2].Text.data(), t[i + 2].Text.data() + t[i + 2].Text.size(), n);
        long long limit = 0;
        if (t[i + 1].Text == "=")
            limit = n == 1 ? 1 : 0; // no row is numbered n > 1 while earlier ones are filtered out
        else if (t[i + 1].Text == "<")
            limit = std::max(n - 1, 0LL);
        else
            limit = n;
        t[i] = Make(TSqlToken::tkNumber, "1", t[i].Space);
        t[i + 1] = Make(TSqlToken::tkOperator, "=", " ");
        t[i + 2] = Make(TSqlToken::tkNumber, "1", " ");
        t.insert(t.begin() + static_cast<std::ptrdiff_t>(end),
                 {Make(TSqlToken::tkWord, "LIMIT", " "), Make(TSqlToken::tkNumber, std::to_string(limit), " ")});
    }
}

// ---------------------------------------------------------------------------
// Concatenation: a || b || c becomes OVN_CONCAT(a, b, c)

// A token, or a bracketed group with the rewritten tokens inside.
struct TNode
{
    TSqlToken Token;
    bool Group = false;
    std::vector<TNode> Children;
    TSqlToken Close;
    bool Closed = false;
};

std::vector<TNode> BuildTree(const TTokens& t, size_t& i, bool inGroup)
{
    std::vector<TNode> nodes;
    while (i < t.size()) {
        if (t[i].Kind == TSqlToken::tkClose && inGroup)
            return nodes;
        TNode node;
        node.Token = t[i++];
        if (node.Token.Kind == TSqlToken::tkOpen) {
            node.Group = true;
            node.Children = BuildTree(t, i, true);
            if (i < t.size()) {
                node.Close = t[i++];
                node.Closed = true;
            }
        }
        nodes.push_back(std::move(node));
    }
    return nodes;
}

void Flatten(const std::vector<TNode>& nodes, TTokens& out)
{
    for (const TNode& n : nodes) {
        out.push_back(n.Token);
        if (n.Group) {
            Flatten(n.Children, out);
            if (n.Closed)
                out.push_back(n.Close);
        }
    }
}

bool NodeIsWord(const std::vector<TNode>& n, size_t i, const char* word)
{
    return i < n.size() && !n[i].Group && IsWord(n[i].Token, word);
}

bool NodeIsName(const std::vector<TNode>& n, size_t i)
{
    return i < n.size() && !n[i].Group && IsName(n[i].Token);
}

bool NodeIsConcat(const std::vector<TNode>& n, size_t i)
{
    return i < n.size() && !n[i].Group && IsOp(n[i].Token, "||");
}

// Words that may stand before a bracket without being a function name.
bool IsKeyword(const TSqlToken& t)
{
    static const std::set<std::string> keywords = {
        "IN",    "AND",   "OR",   "NOT",  "EXISTS", "SELECT", "FROM",     "WHERE", "ON",    "VALUES",
        "AS",    "BY",    "THEN", "ELSE", "WHEN",   "ANY",    "ALL",      "SOME",  "USING", "INTO",
        "SET",   "JOIN",  "UNION", "HAVING", "IS",  "LIKE",   "BETWEEN",  "CASE",  "DISTINCT",
        "OVER",  "WITH",  "EXCEPT", "INTERSECT", "END", "RETURN", "ESCAPE", "TABLE"};
    return t.Kind == TSqlToken::tkWord && keywords.count(UpperText(t.Text)) > 0;
}

[[noreturn]] void MissingExpression()
{
    throw EOracleError("ORA-00936: missing expression");
}

// The end (exclusive) of the operand that starts at s.
size_t OperandEnd(const std::vector<TNode>& n, size_t s)
{
    size_t p = s;
    if (p < n.size() && !n[p].Group && (IsOp(n[p].Token, "-") || IsOp(n[p].Token, "+")))
        ++p;
    if (p >= n.size())
        MissingExpression();
    if (NodeIsWord(n, p, "CASE")) {
        int depth = 0;
        for (; p < n.size(); ++p) {
            if (NodeIsWord(n, p, "CASE"))
                ++depth;
            else if (NodeIsWord(n, p, "END") && --depth == 0)
                return p + 1;
        }
        MissingExpression();
    }
    if (n[p].Group)
        return p + 1;
    const TSqlToken& k = n[p].Token;
    if (k.Kind == TSqlToken::tkString || k.Kind == TSqlToken::tkNumber || k.Kind == TSqlToken::tkParam)
        return p + 1;
    if (!IsName(k) || IsKeyword(k))
        MissingExpression();
    ++p;
    while (p + 1 < n.size() && !n[p].Group && n[p].Token.Kind == TSqlToken::tkDot && NodeIsName(n, p + 1))
        p += 2;
    if (p < n.size() && n[p].Group)
        ++p; // a function call
    return p;
}

// The start of the operand that ends just before k.
size_t OperandStart(const std::vector<TNode>& n, size_t k)
{
    if (k == 0)
        MissingExpression();
    size_t p = k - 1;
    if (NodeIsWord(n, p, "END")) {
        int depth = 0;
        for (size_t q = p + 1; q-- > 0;) {
            if (NodeIsWord(n, q, "END"))
                ++depth;
            else if (NodeIsWord(n, q, "CASE") && --depth == 0)
                return q;
        }
        MissingExpression();
    }
    if (n[p].Group) {
        if (p == 0 || !NodeIsName(n, p - 1) || IsKeyword(n[p - 1].Token))
            return p;
        --p; // the function's name
    } else {
        const TSqlToken& t = n[p].Token;
        if (t.Kind == TSqlToken::tkString || t.Kind == TSqlToken::tkNumber || t.Kind == TSqlToken::tkParam)
            return p;
        if (!IsName(t) || IsKeyword(t))
            MissingExpression();
    }
    while (p >= 2 && !n[p - 1].Group && n[p - 1].Token.Kind == TSqlToken::tkDot && NodeIsName(n, p - 2))
        p -= 2;
    return p;
}

void RewriteConcatLevel(std::vector<TNode>& n)
{
    for (TNode& node : n)
        if (node.Group)
            RewriteConcatLevel(node.Children);
    for (size_t k = 0; k < n.size(); ++k) {
        if (!NodeIsConcat(n, k))
            continue;
        const size_t first = OperandStart(n, k);
        std::vector<std::vector<TNode>> operands;
        operands.emplace_back(n.begin() + static_cast<std::ptrdiff_t>(first), n.begin() + static_cast<std::ptrdiff_t>(k));
        size_t pos = k;
        while (NodeIsConcat(n, pos)) {
            const size_t end = OperandEnd(n, pos + 1);
            operands.emplace_back(n.begin() + static_cast<std::ptrdiff_t>(pos + 1),
                                  n.begin() + static_cast<std::ptrdiff_t>(end));
            pos = end;
        }
        TNode call;
        call.Token = Make(TSqlToken::tkWord, "OVN_CONCAT", n[first].Token.Space);
        TNode group;
        group.Token = Make(TSqlToken::tkOpen, "(");
        group.Group = true;
        group.Closed = true;
        group.Close = Make(TSqlToken::tkClose, ")");
        for (size_t o = 0; o < operands.size(); ++o) {
            if (o > 0) {
                TNode comma;
                comma.Token = Make(TSqlToken::tkComma, ",");
                group.Children.push_back(std::move(comma));
            }
            std::vector<TNode>& operand = operands[o];
            operand.front().Token.Space = o == 0 ? "" : " ";
            group.Children.insert(group.Children.end(), operand.begin(), operand.end());
        }
        n.erase(n.begin() + static_cast<std::ptrdiff_t>(first), n.begin() + static_cast<std::ptrdiff_t>(pos));
        n.insert(n.begin() + static_cast<std::ptrdiff_t>(first), {std::move(call), std::move(group)});
        k = first + 1;
    }
}

TTokens RewriteConcat(const TTokens& t)
{
    size_t i = 0;
    std::vector<TNode> tree;
    // A stray closing bracket ends a level early: keep the rest as it is.
    while (i < t.size()) {
        std::vector<TNode> part = BuildTree(t, i, false);
        tree.insert(tree.end(), std::make_move_iterator(part.begin()), std::make_move_iterator(part.end()));
    }
    RewriteConcatLevel(tree);
    TTokens out;
    Flatten(tree, out);
    return out;
}

} // namespace

std::vector<TSqlToken> TokenizeSql(const std::string& sql, std::string* trailing)
{
    TTokens tokens;
    std::string space;
    size_t i = 0;
    while (i < sql.size()) {
        const unsigned char c = static_cast<unsigned char>(sql[i]);
        const char next = i + 1 < sql.size() ? sql[i + 1] : '\0';
        if (std::isspace(c)) {
            space += sql[i++];
            continue;
        }
        if ((c == '-' && next == '-') || (c == '/' && next == '*')) {
            i = SkipComment(sql, i, space);
            continue;
        }
        TSqlToken t;
        t.Space = std::move(space);
        space.clear();
        if (c == '\'') {
            t.Kind = TSqlToken::tkString;
            i = ReadQuoted(sql, i, '\'', t.Text);
        } else if (c == '"') {
            t.Kind = TSqlToken::tkQuotedName;
            i = ReadQuoted(sql, i, '"', t.Text);
        } else if (std::isdigit(c) || (c == '.' && std::isdigit(static_cast<unsigned char>(next)))) {
            t.Kind = TSqlToken::tkNumber;
            const size_t end = ReadNumber(sql, i);
            t.Text = sql.substr(i, end - i);
            i = end;
        } else if (IsWordChar(c)) {
            t.Kind = TSqlToken::tkWord;
            size_t end = i;
            while (end < sql.size() && IsWordChar(static_cast<unsigned char>(sql[end])))
                ++end;
            t.Text = sql.substr(i, end - i);
            i = end;
        } else if (c == ':' && (IsWordChar(static_cast<unsigned char>(next)) || next == '"')) {
            t.Kind = TSqlToken::tkParam;
            if (next == '"') {
                std::string name;
                i = ReadQuoted(sql, i + 1, '"', name);
                t.Text = ":" + name;
            } else {
                size_t end = i + 1;
                while (end < sql.size() && IsWordChar(static_cast<unsigned char>(sql[end])))
                    ++end;
                t.Text = sql.substr(i, end - i);
                i = end;
            }
        } else if (c == '(' || c == ')' || c == ',' || c == '.' || c == ';') {
            t.Kind = c == '(' ? TSqlToken::tkOpen
                     : c == ')' ? TSqlToken::tkClose
                     : c == ',' ? TSqlToken::tkComma
                     : c == '.' ? TSqlToken::tkDot
                                : TSqlToken::tkSemicolon;
            t.Text = std::string(1, static_cast<char>(c));
            ++i;
        } else if (std::string_view("|=<>+-*/!^%&~").find(static_cast<char>(c)) != std::string_view::npos) {
            t.Kind = TSqlToken::tkOperator;
            i = ReadOperator(sql, i, t.Text);
        } else {
            t.Kind = TSqlToken::tkOther;
            t.Text = std::string(1, static_cast<char>(c));
            ++i;
        }
        tokens.push_back(std::move(t));
    }
    if (trailing)
        *trailing = std::move(space);
    return tokens;
}

std::string JoinSql(const std::vector<TSqlToken>& tokens)
{
    std::string out;
    for (const TSqlToken& t : tokens)
        out += t.Space + t.Text;
    return out;
}

std::string RewriteOracleSql(const std::string& sql)
{
    std::string trailing;
    TTokens t = TokenizeSql(sql, &trailing);
    RefuseUnsupported(t);
    RewriteSequences(t);
    RewriteWords(t);
    RewriteRownum(t);
    return JoinSql(RewriteConcat(t)) + trailing;
}

std::vector<std::string> SplitSqlScript(const std::string& script)
{
    std::vector<std::string> statements;
    TTokens current;
    auto flush = [&] {
        if (!current.empty()) {
            current.front().Space.clear();
            statements.push_back(JoinSql(current));
            current.clear();
        }
    };
    for (TSqlToken& t : TokenizeSql(script)) {
        if (t.Kind == TSqlToken::tkSemicolon)
            flush();
        else
            current.push_back(std::move(t));
    }
    flush();
    return statements;
}

std::vector<std::string> QuotedNames(const std::string& sql)
{
    std::vector<std::string> names;
    for (const TSqlToken& t : TokenizeSql(sql))
        if (t.Kind == TSqlToken::tkQuotedName)
            names.push_back(BareName(t));
    return names;
}

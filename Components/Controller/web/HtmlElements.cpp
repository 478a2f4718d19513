#include "Components/Controller/web/HtmlElements.h"

#include "platform/SysUtils.h"
#include "platform/Utf8.h"

#include <cstdint>
#include <vector>

namespace {

struct TAttrSpan
{
    size_t NameBegin = 0, NameEnd = 0;
    size_t ValueBegin = 0, ValueEnd = 0; // the value without its quotes
    size_t End = 0;                      // after the value (or the name)
    bool HasValue = false;
};

struct TTagSpan
{
    size_t Begin = 0, End = 0; // '<' and after '>'
    size_t NameEnd = 0;
    size_t AttrsEnd = 0; // where "/>" or ">" begins
    std::vector<TAttrSpan> Attrs;
};

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

bool IsNameChar(char c) { return !IsSpace(c) && c != '>' && c != '/' && c != '=' && c != '<'; }

// Reads the start tag at `pos` ('<' followed by a letter).
TTagSpan ReadTag(std::string_view html, size_t pos)
{
    TTagSpan tag;
    tag.Begin = pos;
    size_t i = pos + 1;
    while (i < html.size() && IsNameChar(html[i]))
        ++i;
    tag.NameEnd = i;
    for (;;)
    {
        while (i < html.size() && (IsSpace(html[i]) || (html[i] == '/' && i + 1 < html.size() && html[i + 1] != '>')))
            ++i;
        if (i >= html.size())
        {
            tag.AttrsEnd = tag.End = html.size();
            return tag;
        }
        if (html[i] == '>' || (html[i] == '/' && i + 1 < html.size() && html[i + 1] == '>'))
        {
            tag.AttrsEnd = i;
            tag.End = html.find('>', i) + 1;
            return tag;
        }
        TAttrSpan attr;
        attr.NameBegin = i;
        while (i < html.size() && (IsNameChar(html[i]) || (i == attr.NameBegin && html[i] == '=')))
            ++i;
        attr.NameEnd = i;
        if (attr.NameEnd == attr.NameBegin)
        {
            ++i; // a stray character ("<") where a name belongs
            continue;
        }
        size_t j = i;
        while (j < html.size() && IsSpace(html[j]))
            ++j;
        if (j < html.size() && html[j] == '=')
        {
            ++j;
            while (j < html.size() && IsSpace(html[j]))
                ++j;
            attr.HasValue = true;
            if (j < html.size() && (html[j] == '"' || html[j] == '\''))
            {
                const char quote = html[j];
                attr.ValueBegin = j + 1;
                const size_t close = html.find(quote, j + 1);
                attr.ValueEnd = close == std::string_view::npos ? html.size() : close;
                i = close == std::string_view::npos ? html.size() : close + 1;
            }
            else
            {
                attr.ValueBegin = j;
                while (j < html.size() && !IsSpace(html[j]) && html[j] != '>')
                    ++j;
                attr.ValueEnd = i = j;
            }
        }
        attr.End = i;
        tag.Attrs.push_back(attr);
    }
}

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Walks the start tags, passing over comments, end tags, declarations and
// the raw text of script and style elements.
bool FindElement(std::string_view html, std::string_view id, TTagSpan& found)
{
    if (id.empty())
        return false; // as the document's getElementById("")
    size_t pos = 0;
    while ((pos = html.find('<', pos)) != std::string_view::npos)
    {
        if (html.substr(pos, 4) == "<!--")
        {
            const size_t end = html.find("-->", pos + 4);
            if (end == std::string_view::npos)
                return false;
            pos = end + 3;
            continue;
        }
        if (pos + 1 >= html.size() || !IsLetter(html[pos + 1]))
        {
            ++pos;
            continue;
        }
        const TTagSpan tag = ReadTag(html, pos);
        for (const TAttrSpan& a : tag.Attrs)
            if (a.HasValue && SameText(html.substr(a.NameBegin, a.NameEnd - a.NameBegin), "id") &&
                HtmlDecodeEntities(html.substr(a.ValueBegin, a.ValueEnd - a.ValueBegin)) == id)
            {
                found = tag;
                return true;
            }
        const std::string_view name = html.substr(pos + 1, tag.NameEnd - pos - 1);
        pos = tag.End > pos ? tag.End : pos + 1;
        if (SameText(name, "script") || SameText(name, "style"))
        {
            const std::string closing = "</" + LowerCase(name);
            size_t end = pos;
            for (; end < html.size(); ++end)
                if (html[end] == '<' && SameText(html.substr(end, closing.size()), closing))
                    break;
            pos = end;
        }
    }
    return false;
}

// An entity naming NUL, a surrogate or no code point at all reads as U+FFFD.
void AppendEntityCodePoint(std::string& out, uint32_t cp)
{
    if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        cp = 0xFFFD;
    AppendUtf8(out, cp);
}

} // namespace

std::string HtmlDecodeEntities(std::string_view Text)
{
    static const struct
    {
        const char* name;
        const char* text;
    } named[] = {{"amp", "&"}, {"lt", "<"}, {"gt", ">"}, {"quot", "\""}, {"apos", "'"}, {"nbsp", "\xC2\xA0"}};
    std::string out;
    for (size_t i = 0; i < Text.size(); ++i)
    {
        if (Text[i] != '&')
        {
            out += Text[i];
            continue;
        }
        const size_t semi = Text.find(';', i + 1);
        if (semi == std::string_view::npos || semi - i > 10)
        {
            out += '&';
            continue;
        }
        const std::string_view ref = Text.substr(i + 1, semi - i - 1);
        bool done = false;
        if (!ref.empty() && ref[0] == '#')
        {
            const bool hex = ref.size() > 1 && (ref[1] == 'x' || ref[1] == 'X');
            const std::string_view digits = ref.substr(hex ? 2 : 1);
            uint32_t cp = 0;
            bool ok = !digits.empty();
            for (char c : digits)
            {
                const int d = hex ? HexDigitValue(c) : (c >= '0' && c <= '9' ? c - '0' : -1);
                if (d < 0 || cp > 0x10FFFF)
                {
                    ok = false;
                    break;
                }
                cp = cp * (hex ? 16 : 10) + static_cast<uint32_t>(d);
            }
            if (ok)
            {
                AppendEntityCodePoint(out, cp);
                done = true;
            }
        }
        else
            for (const auto& n : named)
                if (ref == n.name)
                {
                    out += n.text;
                    done = true;
                    break;
                }
        if (done)
            i = semi;
        else
            out += '&';
    }
    return out;
}

std::string HtmlEscapeAttribute(std::string_view Text)
{
    std::string out;
    for (char c : Text)
        switch (c)
        {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    return out;
}

std::optional<std::string> HtmlGetAttribute(std::string_view Html, std::string_view Id, std::string_view Attr,
                                            bool& ElementFound)
{
    TTagSpan tag;
    ElementFound = FindElement(Html, Id, tag);
    if (!ElementFound)
        return std::nullopt;
    for (const TAttrSpan& a : tag.Attrs)
        if (SameText(Html.substr(a.NameBegin, a.NameEnd - a.NameBegin), Attr))
            return a.HasValue ? HtmlDecodeEntities(Html.substr(a.ValueBegin, a.ValueEnd - a.ValueBegin))
                              : std::string();
    return std::string();
}

bool HtmlSetAttribute(std::string& Html, std::string_view Id, std::string_view Attr, std::string_view Value)
{
    TTagSpan tag;
    if (!FindElement(Html, Id, tag))
        return false;
    const std::string written = std::string(Attr) + "=\"" + HtmlEscapeAttribute(Value) + "\"";
    for (const TAttrSpan& a : tag.Attrs)
        if (SameText(std::string_view(Html).substr(a.NameBegin, a.NameEnd - a.NameBegin), Attr))
        {
            Html.replace(a.NameBegin, a.End - a.NameBegin, written);
            return true;
        }
    // Right after the tag's name: at the end it could become the value of
    // an unfinished "name=" before it.
    Html.insert(tag.NameEnd, " " + written);
    return true;
}

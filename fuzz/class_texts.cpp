// String-list texts and INI files from arbitrary bytes.
// - Comma/delimited text: any text parses without reading past it, and any
//   list written out reads back as the same lines (delimiter and quote above
//   ' ' and distinct; with StrictDelimiter too).
// - Text: lines without line breaks survive the trip through Text.
// - INI: any file content loads; writing one key changes no other key's value,
//   also after the file is written and read again.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

#include "platform/IniFiles.h"
#include "platform/StringList.h"
#include "platform/SysUtils.h"

namespace {
std::vector<std::string> Split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos)
            return parts;
        start = end + 1;
    }
}

std::vector<std::string> LinesOf(const TStrings& list)
{
    std::vector<std::string> lines;
    for (int i = 0; i < list.Count(); ++i)
        lines.push_back(list.Get(i));
    return lines;
}

void CheckDelimited(char delimiter, char quote, bool strict, const std::string& text)
{
    TStringList parsed;
    parsed.SetDelimiter(delimiter);
    parsed.SetQuoteChar(quote);
    parsed.SetStrictDelimiter(strict);
    parsed.SetDelimitedText(text);
    if (static_cast<unsigned char>(delimiter) <= ' ' || static_cast<unsigned char>(quote) <= ' ' ||
        delimiter == quote)
        return;

    TStringList source;
    source.SetDelimiter(delimiter);
    source.SetQuoteChar(quote);
    source.SetStrictDelimiter(strict);
    for (const auto& item : Split(text, '\x01'))
        source.Add(item);
    TStringList back;
    back.SetDelimiter(delimiter);
    back.SetQuoteChar(quote);
    back.SetStrictDelimiter(strict);
    back.SetDelimitedText(source.DelimitedText());
    if (LinesOf(back) != LinesOf(source))
        std::abort();

    TStringList comma;
    comma.SetCommaText(source.CommaText());
    if (LinesOf(comma) != LinesOf(source))
        std::abort();
}

void CheckText(const std::string& text)
{
    TStringList source;
    for (const auto& item : Split(text, '\x01'))
        if (item.find_first_of("\r\n") == std::string::npos)
            source.Add(item);
    TStringList back;
    back.SetText(source.Text());
    if (LinesOf(back) != LinesOf(source))
        std::abort();
}

using Snapshot = std::map<std::pair<std::string, std::string>, std::string>;

Snapshot Values(TCustomIniFile& ini)
{
    Snapshot values;
    TStringList sections;
    ini.ReadSections(sections);
    for (int s = 0; s < sections.Count(); ++s) {
        TStringList keys;
        ini.ReadSection(sections.Get(s), keys);
        for (int k = 0; k < keys.Count(); ++k) {
            // The section and key as the file names them may not be found
            // again by those names (blanks, case twins); only exact lookups count.
            values[{sections.Get(s), keys.Get(k)}] =
                ini.ReadString(sections.Get(s), keys.Get(k), "\x01missing");
        }
    }
    return values;
}

void CheckIni(const std::string& text)
{
    static const std::string fileName = "/tmp/fuzz-class-texts-" + std::to_string(::getpid()) + ".ini";
    {
        FILE* f = std::fopen(fileName.c_str(), "wb");
        if (!f)
            return;
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
    }
    std::string value = text.substr(0, 16);
    for (char& c : value)
        if (c == '\r' || c == '\n')
            c = ' ';
    Snapshot before;
    {
        TMemIniFile ini(fileName);
        before = Values(ini);
        ini.WriteString("FuzzSection", "FuzzKey", value);
        if (ini.ReadString("FuzzSection", "FuzzKey", "") != value)
            std::abort();
        ini.UpdateFile();
    }
    TMemIniFile again(fileName);
    if (again.ReadString("FuzzSection", "FuzzKey", "") != value)
        std::abort();
    Snapshot after = Values(again);
    for (const auto& [where, old] : before) {
        if (AnsiSameText(where.first, "FuzzSection") && AnsiSameText(where.second, "FuzzKey"))
            continue;
        auto it = after.find(where);
        if (it == after.end() || it->second != old)
            std::abort();
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3)
        return 0;
    const std::string text(reinterpret_cast<const char*>(data + 3), size - 3);
    switch (data[0] % 4) {
    case 0:
        CheckDelimited(static_cast<char>(data[1]), static_cast<char>(data[2]), false, text);
        break;
    case 1:
        CheckDelimited(static_cast<char>(data[1]), static_cast<char>(data[2]), true, text);
        break;
    case 2:
        CheckText(text);
        break;
    default:
        CheckIni(text);
        break;
    }
    return 0;
}

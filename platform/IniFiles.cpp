#include "platform/IniFiles.h"

#include "platform/DateUtils.h"
#include "platform/FileReplaceStream.h"
#include "platform/StringList.h"
#include "platform/SysUtils.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <optional>
#include <unordered_set>

namespace {
const char* const kUtf8Bom = "\xEF\xBB\xBF";

// "[Name]" -> Name; false for other lines. A header without ']' names the rest of the line.
bool ParseHeader(const std::string& line, std::string& name)
{
    const std::string t = Trim(line);
    if (t.empty() || t[0] != '[')
        return false;
    const auto close = t.find(']');
    name = Trim(t.substr(1, close == std::string::npos ? std::string::npos : close - 1));
    return true;
}

// "key=value" -> key (trimmed) and the position of '='; false for comments and other lines.
bool ParseEntry(const std::string& line, std::string& key, size_t& equals)
{
    const std::string t = TrimLeft(line);
    if (t.empty() || t[0] == ';' || t[0] == '[')
        return false;
    equals = line.find('=');
    if (equals == std::string::npos)
        return false;
    key = Trim(line.substr(0, equals));
    return true;
}

// Numbers in the file never depend on the user's settings.
const TFormatSettings& FileNumberSettings()
{
    static const TFormatSettings settings;
    return settings;
}

bool ReadWholeFile(const std::string& fileName, std::string& text, bool& exists)
{
    exists = false;
    text.clear();
    // Opened without waiting: a FIFO in the file's place would block the
    // open until a writer came. Only a regular file is read.
    const int fd = ::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        exists = errno != ENOENT && errno != ENOTDIR;
        return false;
    }
    exists = true;
    struct stat st
    {
    };
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            ::close(fd);
            text.clear();
            return false;
        }
        if (n == 0)
            break;
        text.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    return true;
}

} // namespace

// ---------------------------------------------------------------------------
// TCustomIniFile: the file as lines

TCustomIniFile::TCustomIniFile(std::string fileName) : m_fileName(std::move(fileName)) {}

TCustomIniFile::~TCustomIniFile() = default;

void TCustomIniFile::LoadFile()
{
    std::string text;
    bool exists = false;
    const bool read = ReadWholeFile(m_fileName, text, exists);
    // A file that is there but cannot be read must not be overwritten with
    // what little we know of it.
    m_unreadable = exists && !read;
    Parse(read ? text : std::string());
    RememberDiskState();
}

void TCustomIniFile::Parse(const std::string& text)
{
    m_lines.clear();
    size_t pos = 0;
    m_bom = text.compare(0, 3, kUtf8Bom) == 0;
    if (m_bom)
        pos = 3;
    m_lineBreak = text.find("\r\n") != std::string::npos ? "\r\n" : "\n";
    while (pos < text.size()) {
        size_t end = pos;
        while (end < text.size() && text[end] != '\r' && text[end] != '\n')
            ++end;
        m_lines.push_back(text.substr(pos, end - pos));
        pos = end;
        if (pos < text.size() && text[pos] == '\r')
            ++pos;
        if (pos < text.size() && text[pos] == '\n')
            ++pos;
    }
}

std::string TCustomIniFile::Compose() const
{
    std::string text = m_bom ? kUtf8Bom : "";
    for (const auto& line : m_lines) {
        text += line;
        text += m_lineBreak;
    }
    return text;
}

void TCustomIniFile::SaveFile()
{
    if (m_unreadable)
        throw EIniFileException("Unable to write to " + m_fileName + ": the file could not be read");
    // Settings are the user's own: a new file is readable by this user only.
    const int error = TryReplaceFileContents(m_fileName, Compose(), 0600);
    if (error != 0)
        throw EIniFileException("Unable to write to " + m_fileName + ": " + std::strerror(error));
    m_modified = false;
    RememberDiskState();
}

void TCustomIniFile::RememberDiskState()
{
    struct stat st
    {
    };
    m_diskExists = ::stat(m_fileName.c_str(), &st) == 0;
    m_diskSize = m_diskExists ? static_cast<long long>(st.st_size) : -1;
    m_diskMtimeNs =
        m_diskExists ? static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec : -1;
    m_diskInode = m_diskExists ? static_cast<unsigned long long>(st.st_ino) : 0;
}

bool TCustomIniFile::FileChangedOnDisk() const
{
    struct stat st
    {
    };
    const bool exists = ::stat(m_fileName.c_str(), &st) == 0;
    if (exists != m_diskExists)
        return true;
    if (!exists)
        return false;
    const long long mtime = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
    return static_cast<long long>(st.st_size) != m_diskSize || mtime != m_diskMtimeNs ||
           static_cast<unsigned long long>(st.st_ino) != m_diskInode;
}

int TCustomIniFile::FindSection(const std::string& section) const
{
    const std::string wanted = Trim(section);
    std::string name;
    for (size_t i = 0; i < m_lines.size(); ++i)
        if (ParseHeader(m_lines[i], name) && AnsiSameText(name, wanted))
            return static_cast<int>(i);
    return -1;
}

int TCustomIniFile::SectionEnd(int sectionLine) const
{
    std::string name;
    size_t i = static_cast<size_t>(sectionLine) + 1;
    while (i < m_lines.size() && !ParseHeader(m_lines[i], name))
        ++i;
    return static_cast<int>(i);
}

int TCustomIniFile::FindKey(int sectionLine, const std::string& ident) const
{
    if (sectionLine < 0)
        return -1;
    const std::string wanted = Trim(ident);
    const int end = SectionEnd(sectionLine);
    std::string key;
    size_t equals = 0;
    for (int i = sectionLine + 1; i < end; ++i)
        if (ParseEntry(m_lines[i], key, equals) && AnsiSameText(key, wanted))
            return i;
    return -1;
}

void TCustomIniFile::CheckWritable(const std::string& section, const std::string& ident,
                                   const std::string& value) const
{
    auto hasBreak = [](const std::string& s) { return s.find_first_of("\r\n") != std::string::npos; };
    const std::string key = Trim(ident);
    const std::string name = Trim(section);
    const char* problem = nullptr;
    if (hasBreak(section) || hasBreak(ident) || hasBreak(value))
        problem = "a line break";
    else if (name.find(']') != std::string::npos)
        problem = "']' in the section name";
    else if (key.empty())
        problem = "an empty key";
    else if (key.find('=') != std::string::npos)
        problem = "'=' in the key";
    else if (key[0] == '[' || key[0] == ';')
        problem = "a key starting with '[' or ';'";
    if (problem)
        throw EIniFileException("Cannot write [" + section + "] " + ident + " to " + m_fileName + ": " +
                                problem);
}

void TCustomIniFile::Change(const std::function<bool()>& edit)
{
    // A file written through holds the lock from the re-read to the rename,
    // so that another writer's keys are read before ours are added.
    std::optional<TFileUpdateLock> lock;
    if (WritesThrough()) {
        lock.emplace(m_fileName);
        LoadFile();
    }
    BeforeAccess();
    const std::vector<std::string> before = m_lines;
    if (!edit())
        return;
    try {
        AfterChange();
    } catch (...) {
        // The file was not written: keep what it holds.
        m_lines = before;
        throw;
    }
}

// ---------------------------------------------------------------------------
// TCustomIniFile: reading and writing

std::string TCustomIniFile::ReadString(const std::string& section, const std::string& ident,
                                       const std::string& def)
{
    BeforeAccess();
    const int line = FindKey(FindSection(section), ident);
    if (line < 0)
        return def;
    return m_lines[line].substr(m_lines[line].find('=') + 1);
}

void TCustomIniFile::WriteString(const std::string& section, const std::string& ident,
                                 const std::string& value)
{
    CheckWritable(section, ident, value);
    Change([&] {
        const int header = FindSection(section);
        if (header < 0) {
            m_lines.push_back("[" + Trim(section) + "]");
            m_lines.push_back(Trim(ident) + "=" + value);
            return true;
        }
        const int line = FindKey(header, ident);
        if (line >= 0) {
            // The key keeps its spelling and layout; only the value changes.
            std::string& text = m_lines[line];
            text = text.substr(0, text.find('=') + 1) + value;
            return true;
        }
        int insertAt = header + 1;
        const int end = SectionEnd(header);
        std::string key;
        size_t equals = 0;
        for (int i = header + 1; i < end; ++i)
            if (ParseEntry(m_lines[i], key, equals))
                insertAt = i + 1;
        m_lines.insert(m_lines.begin() + insertAt, Trim(ident) + "=" + value);
        return true;
    });
}

int TCustomIniFile::ReadInteger(const std::string& section, const std::string& ident, int def)
{
    const std::string text = Trim(ReadString(section, ident, std::string()));
    int32_t value = 0;
    return TryStrToInt(text, value) ? value : def;
}

void TCustomIniFile::WriteInteger(const std::string& section, const std::string& ident, int value)
{
    WriteString(section, ident, std::to_string(value));
}

bool TCustomIniFile::ReadBool(const std::string& section, const std::string& ident, bool def)
{
    const std::string text = UpperCase(Trim(ReadString(section, ident, std::string())));
    if (text == "TRUE")
        return true;
    if (text == "FALSE")
        return false;
    int32_t value = 0;
    return TryStrToInt(text, value) ? value != 0 : def;
}

void TCustomIniFile::WriteBool(const std::string& section, const std::string& ident, bool value)
{
    WriteString(section, ident, value ? "TRUE" : "FALSE");
}

double TCustomIniFile::ReadFloat(const std::string& section, const std::string& ident, double def)
{
    const std::string text = ReadString(section, ident, std::string());
    double value = 0;
    return TryStrToFloat(text, value, FileNumberSettings()) ? value : def;
}

void TCustomIniFile::WriteFloat(const std::string& section, const std::string& ident, double value)
{
    WriteString(section, ident, FloatToStr(value, FileNumberSettings()));
}

double TCustomIniFile::ReadDateTime(const std::string& section, const std::string& ident, double def)
{
    const std::string text = ReadString(section, ident, std::string());
    TDateTime value = 0;
    return !text.empty() && TryStrToDateTime(text, value) ? value : def;
}

void TCustomIniFile::WriteDateTime(const std::string& section, const std::string& ident, double value)
{
    WriteString(section, ident, DateTimeToStr(value));
}

bool TCustomIniFile::SectionExists(const std::string& section)
{
    TStringList keys;
    ReadSection(section, keys);
    return keys.Count() > 0;
}

bool TCustomIniFile::ValueExists(const std::string& section, const std::string& ident)
{
    BeforeAccess();
    return FindKey(FindSection(section), ident) >= 0;
}

void TCustomIniFile::ReadSection(const std::string& section, TStrings& strings)
{
    ReadEntries(section, strings, false);
}

void TCustomIniFile::ReadEntries(const std::string& section, TStrings& strings, bool withValues)
{
    BeforeAccess();
    strings.BeginUpdate();
    try {
        strings.Clear();
        const int header = FindSection(section);
        if (header >= 0) {
            const int end = SectionEnd(header);
            std::string key;
            size_t equals = 0;
            for (int i = header + 1; i < end; ++i) {
                if (ParseEntry(m_lines[i], key, equals)) {
                    strings.Add(withValues ? key + "=" + m_lines[i].substr(equals + 1) : key);
                } else if (withValues) {
                    // A line without "=" is a line of the section too: readers
                    // that count lines (one entry per line) must see it.
                    const std::string t = Trim(m_lines[i]);
                    if (!t.empty() && t[0] != ';' && t[0] != '[')
                        strings.Add(t);
                }
            }
        }
    } catch (...) {
        strings.EndUpdate();
        throw;
    }
    strings.EndUpdate();
}

void TCustomIniFile::ReadSections(TStrings& strings)
{
    BeforeAccess();
    strings.BeginUpdate();
    try {
        strings.Clear();
        std::unordered_set<std::string> seen; // folded names
        std::string name;
        for (const auto& line : m_lines)
            if (ParseHeader(line, name) && seen.insert(AnsiLowerCase(name)).second)
                strings.Add(name);
    } catch (...) {
        strings.EndUpdate();
        throw;
    }
    strings.EndUpdate();
}

void TCustomIniFile::ReadSectionValues(const std::string& section, TStrings& strings)
{
    ReadEntries(section, strings, true);
}

void TCustomIniFile::EraseSection(const std::string& section)
{
    Change([&] {
        bool erased = false;
        // Every section of that name goes, so that no older copy shows through.
        for (int header = FindSection(section); header >= 0; header = FindSection(section)) {
            m_lines.erase(m_lines.begin() + header, m_lines.begin() + SectionEnd(header));
            erased = true;
        }
        return erased;
    });
}

void TCustomIniFile::DeleteKey(const std::string& section, const std::string& ident)
{
    Change([&] {
        const int header = FindSection(section);
        bool erased = false;
        for (int line = FindKey(header, ident); line >= 0; line = FindKey(header, ident)) {
            m_lines.erase(m_lines.begin() + line);
            erased = true;
        }
        return erased;
    });
}

void TCustomIniFile::UpdateFile()
{
    if (!m_modified)
        return;
    TFileUpdateLock lock(m_fileName);
    SaveFile();
}

// ---------------------------------------------------------------------------
// TIniFile, TMemIniFile

TIniFile::TIniFile(std::string fileName) : TCustomIniFile(std::move(fileName))
{
    LoadFile();
}

void TIniFile::BeforeAccess()
{
    if (FileChangedOnDisk())
        LoadFile();
}

void TIniFile::AfterChange()
{
    SaveFile();
}

TMemIniFile::TMemIniFile(std::string fileName) : TCustomIniFile(std::move(fileName))
{
    LoadFile();
}

#pragma once
// INI files: our own reader and writer.
//
// - Sections and keys are matched without regard to case (ASCII and Latin-1
//   letters); the first matching section and the first matching key win.
// - A line "key=value" has its key trimmed; its value is the text after the
//   first '=' exactly as it stands (no trimming, unquoting or escapes).
// - The file keeps its line order, comments, blank lines, unknown sections
//   and line-break style when written; new keys go after the last entry of
//   their section, new sections at the end.
// - A missing or unreadable file reads as empty; so does anything that is
//   not a regular file (a FIFO is never waited on). Writing a file that
//   cannot be written raises EIniFileException "Unable to write to <path>:
//   <reason>"; so does writing over a file that exists but could not be
//   read, which is never replaced by what little was read of it. A failed
//   write leaves the object holding what the file holds. Files are replaced
//   through a temporary file beside them (beside a link's target; see
//   platform/FileReplaceStream.h), so a kill or a full disk half-way leaves
//   the old file whole; where no temporary file can be made the file is not
//   written. A new file is readable by this user only (0600).
// - A section, key or value that would break the file's line structure (a
//   line break anywhere, ']' in a section, '=' in a key, a key starting with
//   '[' or ';') is refused with EIniFileException before anything changes.
// - Booleans are written "TRUE"/"FALSE" and read trimmed in any case; "1",
//   "0" and other integers are read as well (non-zero is true). Numbers are
//   locale-free.
//
// `TIniFile` writes the file on every Write*, and on every EraseSection and
// DeleteKey that removes something, and
// re-reads it whenever it changed on disk, so several TIniFile objects on one
// file (or another program) do not undo each other's writes. Each write
// holds an exclusive lock (TFileUpdateLock) from re-reading the file to
// renaming the new one into place, so that two processes writing one file
// keep each other's keys. `TMemIniFile`
// reads the file once and writes only on UpdateFile.

#include "platform/Persistent.h"

#include <functional>
#include <string>
#include <vector>

class TStrings;

class TCustomIniFile : public TObject
{
  public:
    explicit TCustomIniFile(std::string fileName);
    ~TCustomIniFile() override;
    std::string ClassName() const override { return "TCustomIniFile"; }

    const std::string& FileName() const { return m_fileName; }

    std::string ReadString(const std::string& section, const std::string& ident, const std::string& def);
    void WriteString(const std::string& section, const std::string& ident, const std::string& value);
    // Decimal, or hexadecimal written "$1F" or "0x1F"; `def` when absent or not a 32-bit integer.
    int ReadInteger(const std::string& section, const std::string& ident, int def);
    void WriteInteger(const std::string& section, const std::string& ident, int value);
    bool ReadBool(const std::string& section, const std::string& ident, bool def);
    void WriteBool(const std::string& section, const std::string& ident, bool value);
    // '.' decimal separator; `def` when absent or not a number.
    double ReadFloat(const std::string& section, const std::string& ident, double def);
    void WriteFloat(const std::string& section, const std::string& ident, double value);
    // The value read with the program's date and time format; `def` when absent or unreadable.
    double ReadDateTime(const std::string& section, const std::string& ident, double def);
    void WriteDateTime(const std::string& section, const std::string& ident, double value);

    // True when the section holds at least one key.
    bool SectionExists(const std::string& section);
    bool ValueExists(const std::string& section, const std::string& ident);
    // The keys of the section in file order (`strings` is cleared first).
    void ReadSection(const std::string& section, TStrings& strings);
    // The section names in file order, each once.
    void ReadSections(TStrings& strings);
    // The section's "key=value" lines in file order, and its lines without
    // "=" (blanks trimmed) where they stand; blank and comment lines are left out.
    void ReadSectionValues(const std::string& section, TStrings& strings);
    void EraseSection(const std::string& section);
    void DeleteKey(const std::string& section, const std::string& ident);

    // Writes the file when it has unsaved changes.
    virtual void UpdateFile();

  protected:
    // TIniFile: reload when the file changed on disk; TMemIniFile: nothing.
    virtual void BeforeAccess() {}
    // TIniFile: write the file now; TMemIniFile: remember that it changed.
    virtual void AfterChange() = 0;
    // True when every change is written at once (re-read and written under the lock).
    virtual bool WritesThrough() const { return false; }

    void LoadFile();
    void SaveFile(); // EIniFileException "Unable to write to <path>"
    bool FileChangedOnDisk() const;

    bool m_modified = false;

  private:
    void Parse(const std::string& text);
    std::string Compose() const;
    int FindSection(const std::string& section) const;            // index into m_lines of the header, -1
    int FindKey(int sectionLine, const std::string& ident) const; // index into m_lines, -1
    int SectionEnd(int sectionLine) const;                        // first line after the section
    // The section's keys, or its "key=value" lines, in file order (`strings` is cleared first).
    void ReadEntries(const std::string& section, TStrings& strings, bool withValues);
    void CheckWritable(const std::string& section, const std::string& ident, const std::string& value) const;
    void RememberDiskState();
    // Runs `edit` on the lines; when it reports a change, AfterChange runs,
    // and a failed write puts the lines back as they were.
    void Change(const std::function<bool()>& edit);

    std::string m_fileName;
    std::vector<std::string> m_lines; // the file's lines without line breaks
    std::string m_lineBreak = "\n";
    bool m_bom = false;
    bool m_unreadable = false; // there, but could not be read: never overwritten
    // What the file looked like when last read or written.
    bool m_diskExists = false;
    long long m_diskSize = -1;
    long long m_diskMtimeNs = -1;
    unsigned long long m_diskInode = 0;
};

class TIniFile : public TCustomIniFile
{
  public:
    explicit TIniFile(std::string fileName);
    std::string ClassName() const override { return "TIniFile"; }

  protected:
    void BeforeAccess() override;
    void AfterChange() override;
    bool WritesThrough() const override { return true; }
};

class TMemIniFile : public TCustomIniFile
{
  public:
    explicit TMemIniFile(std::string fileName);
    std::string ClassName() const override { return "TMemIniFile"; }

  protected:
    void AfterChange() override { m_modified = true; }
};

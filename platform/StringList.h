#pragma once
// `TStrings` and `TStringList`: lists of text lines, each with an optional
// object pointer, with the class library's Name=Value, Text and comma-text
// forms.
//
// Rules the rest of the system relies on:
// - Name=Value: a line's name is the text before the first NameValueSeparator
//   ('='); Values/IndexOfName find a name without regard to case (ASCII and
//   Latin-1 letters; case-sensitive only with CaseSensitive on a TStringList),
//   the first match winning. Setting a value to '' deletes the line; setting a
//   missing name appends "Name=Value".
// - Text: every line followed by LineBreak (CR LF), so a non-empty list's text
//   ends with a line break. Setting Text splits on CR LF, LF or CR; a final
//   line break adds no empty line.
// - Comma/delimited text, written: items joined by Delimiter; an item holding a
//   character <= ' ' (blank or control, NUL included), the delimiter or the
//   quote char is enclosed in QuoteChar with inner quote chars doubled. An
//   empty list gives "" and a list of one empty line gives two quote chars.
// - Comma/delimited text, read: leading blanks (<= ' ') are skipped; a quoted
//   item runs to its closing quote (a doubled quote char stands for one; an
//   unterminated quote runs to the end of the text); an unquoted item ends at
//   a blank, a control character or the delimiter; blanks between items
//   separate them as the delimiter does; a delimiter that is the very last
//   character adds an empty item. With StrictDelimiter only the delimiter
//   separates items and blanks are kept.
// - CommaText always uses ',' and '"' and the rules above without
//   StrictDelimiter, whatever the list's own settings.
// - Index errors raise EListError "List index out of bounds (%d)".

#include "platform/Persistent.h"

#include <string>
#include <vector>

class TStream;
class TStringList;

enum TDuplicates
{
    dupIgnore, // adding a string already in a sorted list does nothing
    dupAccept, // duplicates are kept
    dupError   // adding a duplicate raises EListError
};

// Compares the lines at index1 and index2 of `list`: < 0, 0 or > 0.
using TStringListSortCompare = std::function<int(TStringList& list, int index1, int index2)>;

class TStrings : public TPersistent
{
  public:
    TStrings() = default;
    ~TStrings() override = default;
    std::string ClassName() const override { return "TStrings"; }

    // --- Storage, provided by the concrete list
    virtual int Count() const = 0;
    virtual std::string Get(int index) const = 0;
    virtual TObject* GetObject(int index) const;
    virtual void Put(int index, const std::string& s);
    virtual void PutObject(int index, TObject* object);
    virtual void Insert(int index, const std::string& s) = 0;
    virtual void InsertObject(int index, const std::string& s, TObject* object);
    virtual void Delete(int index) = 0;
    virtual void Clear() = 0;

    // --- Property access
    std::string Strings(int index) const { return Get(index); }
    void SetStrings(int index, const std::string& s) { Put(index, s); }
    TObject* Objects(int index) const { return GetObject(index); }
    void SetObjects(int index, TObject* object) { PutObject(index, object); }
    std::string operator[](int index) const { return Get(index); }

    // --- Editing
    virtual int Add(const std::string& s);
    virtual int AddObject(const std::string& s, TObject* object);
    void Append(const std::string& s) { Add(s); }
    virtual void AddStrings(const TStrings& strings);
    void Assign(const TPersistent& source) override;
    virtual void Exchange(int index1, int index2);
    virtual void Move(int curIndex, int newIndex);

    // Same count and the same lines in the same order (compared exactly).
    virtual bool Equals(const TStrings& strings) const;

    // --- Searching (first match; -1 when none)
    virtual int IndexOf(const std::string& s) const;
    virtual int IndexOfName(const std::string& name) const;
    int IndexOfObject(const TObject* object) const;

    // --- Name=Value lines
    std::string Names(int index) const; // '' when the line has no separator
    std::string Values(const std::string& name) const;
    void SetValues(const std::string& name, const std::string& value);
    std::string ValueFromIndex(int index) const; // '' when the line has no separator
    void SetValueFromIndex(int index, const std::string& value);
    char NameValueSeparator() const { return m_nameValueSeparator; }
    void SetNameValueSeparator(char c) { m_nameValueSeparator = c; }

    // --- Whole-list texts
    std::string Text() const;
    virtual void SetText(const std::string& text);
    const std::string& LineBreak() const { return m_lineBreak; }
    void SetLineBreak(const std::string& lineBreak) { m_lineBreak = lineBreak; }
    std::string CommaText() const;
    void SetCommaText(const std::string& text);
    std::string DelimitedText() const;
    void SetDelimitedText(const std::string& text);
    char Delimiter() const { return m_delimiter; }
    void SetDelimiter(char c) { m_delimiter = c; }
    char QuoteChar() const { return m_quoteChar; }
    void SetQuoteChar(char c) { m_quoteChar = c; }
    bool StrictDelimiter() const { return m_strictDelimiter; }
    void SetStrictDelimiter(bool strict) { m_strictDelimiter = strict; }

    // --- Batches: change notices are held until the outermost EndUpdate.
    void BeginUpdate();
    void EndUpdate();
    int UpdateCount() const { return m_updateCount; }

    // --- Files and streams: UTF-8 text (a leading UTF-8 byte order mark is
    // skipped on load); saving writes Text. Loading replaces the lines.
    virtual void LoadFromFile(const std::string& fileName);
    virtual void SaveToFile(const std::string& fileName) const;
    virtual void LoadFromStream(TStream& stream);
    virtual void SaveToStream(TStream& stream) const;

  protected:
    // Called with true at the outermost BeginUpdate and false at the outermost EndUpdate.
    virtual void SetUpdateState(bool updating) {}
    // Text comparison used by IndexOf, IndexOfName and sorting: without case by default.
    virtual int CompareStrings(const std::string& s1, const std::string& s2) const;
    // Raises EListError with `message` formatted with `index` ("%d").
    [[noreturn]] static void Error(const char* message, int index);
    void AssignTo(TPersistent& dest) const override;

  private:
    std::string DelimitedTextWith(char delimiter, char quote, bool strict) const;
    void SetDelimitedTextWith(const std::string& text, char delimiter, char quote, bool strict);

    int m_updateCount = 0;
    char m_delimiter = ',';
    char m_quoteChar = '"';
    char m_nameValueSeparator = '=';
    bool m_strictDelimiter = false;
    std::string m_lineBreak = "\r\n";
};

// The class library's string list. Objects are borrowed unless OwnsObjects is
// set, in which case Delete, Clear and the destructor delete them.
class TStringList : public TStrings
{
  public:
    TStringList() = default;
    explicit TStringList(bool ownsObjects) : m_ownsObjects(ownsObjects) {}
    ~TStringList() override;
    std::string ClassName() const override { return "TStringList"; }

    int Count() const override { return static_cast<int>(m_items.size()); }
    std::string Get(int index) const override;
    TObject* GetObject(int index) const override;
    void Put(int index, const std::string& s) override; // raises on a sorted list
    void PutObject(int index, TObject* object) override;
    void Insert(int index, const std::string& s) override; // raises on a sorted list
    void InsertObject(int index, const std::string& s, TObject* object) override;
    void Delete(int index) override;
    void Clear() override;
    int Add(const std::string& s) override;
    int AddObject(const std::string& s, TObject* object) override;
    void Exchange(int index1, int index2) override;
    void Move(int curIndex, int newIndex) override;   // raises on a sorted list
    int IndexOf(const std::string& s) const override; // binary search when sorted

    // Binary search of a sorted list: true when found; `index` is a match
    // (the first one with dupAccept), or where `s` would be inserted. On an
    // unsorted list the result is meaningless, as in the class library.
    virtual bool Find(const std::string& s, int& index) const;
    // Both do nothing on a sorted list, which is in its order already.
    virtual void Sort();
    virtual void CustomSort(const TStringListSortCompare& compare);

    bool Sorted() const { return m_sorted; }
    void SetSorted(bool sorted); // switching on sorts the list
    TDuplicates Duplicates() const { return m_duplicates; }
    void SetDuplicates(TDuplicates duplicates) { m_duplicates = duplicates; }
    bool CaseSensitive() const { return m_caseSensitive; }
    void SetCaseSensitive(bool caseSensitive); // re-sorts a sorted list
    bool OwnsObjects() const { return m_ownsObjects; }
    void SetOwnsObjects(bool owns) { m_ownsObjects = owns; }

    TNotifyEvent OnChange;   // after a change, or at the outermost EndUpdate
    TNotifyEvent OnChanging; // before a change, or at the outermost BeginUpdate

  protected:
    virtual void Changed();
    virtual void Changing();
    void SetUpdateState(bool updating) override;
    int CompareStrings(const std::string& s1, const std::string& s2) const override;
    virtual void InsertItem(int index, const std::string& s, TObject* object);

  private:
    struct Item
    {
        std::string text;
        TObject* object = nullptr;
    };
    void CheckIndex(int index) const;
    void SortBy(const TStringListSortCompare& compare);
    static TStringListSortCompare CompareByText();

    std::vector<Item> m_items;
    TDuplicates m_duplicates = dupIgnore;
    bool m_sorted = false;
    bool m_caseSensitive = false;
    bool m_ownsObjects = false;
};

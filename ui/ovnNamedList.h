#pragma once
// Named member lists: the module groups of the main window.
//
// An ordered list of entries "Name=" followed by the entry's members, each
// member followed by CR LF (a string list's text), with a hidden flag per
// entry. Names, and members when looked up, are compared without regard to
// case; the order of entries is the display order of the groups.
//
// Text form (AsText), the one stored on the server and in the settings: the
// entry lines as the platform's comma text, plus, when any entry is hidden,
// one more item "$HIDE=" naming the hidden entries. Reading it back hides
// those entries and drops the "$HIDE" item.
//
// PresetText only travels with the list (the preset group layout of the
// signed-in database); no operation of the list reads or changes it.

#include "platform/Persistent.h"
#include "platform/StringList.h"

#include <string>

class TNamedList : public TObject
{
  public:
    TNamedList() = default;
    std::string ClassName() const override { return "TNamedList"; }

    // Index of the first entry named Name (case ignored); -1 when none.
    int Find(const std::string& Name) const;
    // The members text of the named entry; '' when there is none.
    std::string GetValue(const std::string& Name) const;
    // The text after the first "=" of line Index; the whole line without one.
    std::string GetValue(int Index) const;
    // Strings' text := GetValue(Name); a null Strings is ignored.
    void GetValues(const std::string& Name, TStrings* Strings) const;
    // Replaces the members text of the named entry, or appends Name=Value.
    void SetValue(const std::string& Name, const std::string& Value);
    // Line Index := its text up to and including the first "=", then Value
    // (a line without "=" becomes Value).
    void SetValue(int Index, const std::string& Value);
    // SetValue(Index, Strings' text); nothing for a null Strings or a negative Index.
    void SetValues(int Index, const TStrings* Strings);

    // Appends the first free name "NewGroup1", "NewGroup2" ... with no members and answers it.
    std::string NewValue();
    // Puts Member at the end of the entry Name (unless it holds it already)
    // and takes it out of every other entry. Creates no entry.
    void AddValueTo(const std::string& Name, const std::string& Member);
    // Name of the first entry holding Member (case ignored); '' when none.
    std::string FindValue(const std::string& Member) const;

    // Deletes entry Index; a negative Index is ignored.
    void Remove(int Index);
    void Clear();
    // From a string list: its lines and their object values (an object value
    // of -1 stands for hidden); from another TNamedList: its lines and
    // hidden flags. Null or any other object is ignored. PresetText stays.
    void Assign(const TObject* Source);

    // The entry names in order, each followed by CR LF.
    std::string GetNames() const;
    std::string Names() const { return GetNames(); }
    std::string GetName(int Index) const;
    // False when another entry already has Name (case ignored); otherwise
    // renames entry Index (its members stay) and answers True.
    bool SetName(int Index, const std::string& Name);
    bool GetVisible(int Index) const;
    void SetVisible(int Index, bool Value);
    int GetCount() const { return m_items.Count(); }
    int Count() const { return GetCount(); }
    void Move(int CurIndex, int NewIndex);

    std::string GetAsText() const;
    void SetAsText(const std::string& Value);
    std::string AsText() const { return GetAsText(); }

    // Brings a stored text form into this list without losing local
    // entries: an entry in both takes the stored members first and keeps its
    // own others after them; entries only stored are added; the stored
    // hidden flags are added to the local ones; stored entries take their
    // stored positions, local-only entries follow.
    void UpdateAsString(const std::string& S);
    // Appends an entry with no members for every line of Strings that is not
    // an entry name yet; a null Strings is ignored.
    void SetPreset(const TStrings* Strings);

    // The entry lines with their hidden flags as object values.
    const TStringList& Lines() const { return m_items; }

    std::string PresetText;

  private:
    // "$HIDE": its members' entries become hidden and it is deleted.
    void CheckHidden();
    bool HasMember(int Index, const std::string& Member) const;

    TStringList m_items;
};

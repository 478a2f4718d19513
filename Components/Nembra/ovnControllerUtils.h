#pragma once
// Configuration items kept in the settings file, and the list of server
// connections built on them.
//
// A configuration item is one string list of Name=Value lines: reading an
// absent name gives '', setting a name to '' removes its line, names are
// found without regard to case (first match wins). Lines the program does
// not know are kept and written back unchanged.
//
// In the settings file a list is one section with the keys 0, 1, 2 ... in
// list order; each value is the item's lines as comma text, so an item such
// as "Connection=Main Office" (it holds a blank) is written in double quotes.
// The INI class keeps those quotes (it never unquotes a value).
//
// The connection list reads the section "CONNECTIONS"; when that gives no
// entry it imports the two older layouts (read, never written, and left in
// the file), and when there is still none it adds the built-in "Default"
// entry for the brand's server. Nothing here raises for bad content: unknown
// lines are kept, a line without "=" gives an empty entry, a Boolean other
// than "TRUE" reads as False.

#include "platform/Collection.h"
#include "platform/StringList.h"
#include "platform/TypInfo.h"

#include <string>

class TCustomIniFile;
class TovnConnections;

// The settings file's Booleans: True exactly when the text, trimmed, is
// "TRUE" in any case ("1" and "yes" are False).
bool ConfigTextIsTrue(const std::string& Text);
// "TRUE" or "FALSE".
std::string ConfigBoolText(bool Value);

class TovnConfigItem : public TCollectionItem
{
  public:
    std::string ClassName() const override { return "TovnConfigItem"; }

    // The value of Name ('' when absent); names compared without case.
    std::string GetValue(const std::string& Name) const;
    // Replaces (or appends) the line of Name; '' removes it.
    void SetValue(const std::string& Name, const std::string& Value);
    // The lines := the comma text after the first "=" of Line (a settings
    // file line "N=<comma text>"); empty when Line has no "=".
    void LoadFromIni(const std::string& Line);

    // Copies the lines of another configuration item.
    void Assign(const TPersistent& Source) override;

    TStringList& Values() { return m_values; }
    const TStringList& Values() const { return m_values; }

  private:
    TStringList m_values;
};

class TovnCustomConfig : public TCollection
{
  public:
    explicit TovnCustomConfig(TCollectionItemClass ItemClass = CollectionItemClass<TovnConfigItem>());
    std::string ClassName() const override { return "TovnCustomConfig"; }

    TovnConfigItem* Add();
    TovnConfigItem* GetItem(int Index) const;

    // The first item whose value of Name equals Value ignoring case; null when none.
    TovnConfigItem* Find(const std::string& Name, const std::string& Value) const;
    // Clears List, then adds every item's value of Name with the item as the
    // line's object, in list order. A null List is ignored.
    void Fill(const std::string& Name, TStrings* List) const;
    // Item's value of Name := Value; every other item loses its line of
    // Name. A null Item is ignored.
    void SetUniqueValue(TovnConfigItem* Item, const std::string& Name, const std::string& Value);

    // Erases Section, then writes the key N (the position in decimal) with
    // the comma text of item N. An item holding a line break, which no INI
    // line can carry, is refused with EIniFileException before the section
    // is touched.
    void SaveToIni(TCustomIniFile& Ini, const std::string& Section) const;
    // Clears the list and makes one item of every line of Section, in file order.
    virtual void LoadFromIni(TCustomIniFile& Ini, const std::string& Section);
};

// One server connection. Values: "Connection" (display name), "URL" (the
// server's base address), "Default" ("TRUE" for the default entry), and
// optionally "LABEL", "USER_ID" and "USER_PWD". Connection, URL and Default
// are its published properties (the preferences dialog's list shows them).
class TovnConnectionItem : public TovnConfigItem, public IPublished
{
  public:
    std::string ClassName() const override { return "TovnConnectionItem"; }
    const TPropList& PublishedProps() const override;

    std::string URL() const { return GetValue("URL"); }
    void SetURL(const std::string& Value) { SetValue("URL", Value); }
    std::string Connection() const { return GetValue("Connection"); }
    void SetConnection(const std::string& Value) { SetValue("Connection", Value); }

    // "Default" is "TRUE" (trimmed, any case).
    bool Default() const;
    // True makes this the only entry with a "Default" line; False writes
    // "FALSE" into this entry and leaves the others as they are.
    void SetDefault(bool Value);

    // Whether this is the list's active entry.
    bool GetActive() const;
    // Makes this the list's active entry; the argument is not consulted.
    void SetActive(bool Value);

    // "LABEL" trimmed, or "URL" trimmed when there is no label.
    std::string GetCaption() const;
    // "USER_ID" and "USER_PWD" are both non-blank.
    bool GetCredentialsStored() const;

  private:
    TovnConnections* Connections() const;
};

class TovnConnections : public TovnCustomConfig
{
  public:
    TovnConnections();
    std::string ClassName() const override { return "TovnConnections"; }

    // A new entry whose "Connection" is "Connection<ID>".
    TovnConnectionItem* Add();
    TovnConnectionItem* GetItem(int Index) const;
    TovnConnectionItem* Find(const std::string& Name, const std::string& Value) const;
    // The first entry whose "Default" equals "TRUE" ignoring case; null when none.
    TovnConnectionItem* GetDefault() const;

    // The active entry, remembered by its collection ID (IDs are never
    // reused, so a deleted entry leaves no entry active); null when none.
    TovnConnectionItem* ActiveItem() const;
    int ActiveID() const { return m_activeID; }
    void SetActiveID(int Value) { m_activeID = Value; }
    // The "Connection" value of the active entry; '' when there is none.
    std::string GetActiveConnection() const;

    // The brand's server address for the built-in entry; '' for none.
    const std::string& DefaultURL() const { return m_defaultURL; }
    void SetDefaultURL(const std::string& Value) { m_defaultURL = Value; }

    // Reads Section; when it gives no entry, imports the older layout of
    // "SERVER CONNECTION" and "SERVER CONNECTION <n>" sections, then the one
    // of "SERVER CONNECTIONS"; when still empty, adds the entry "Default"
    // with the built-in address (when there is one) as the default entry.
    void LoadFromIni(TCustomIniFile& Ini, const std::string& Section) override;

    // From another connection list: copies its entries and keeps the same
    // connection active (found by name, else by URL; when neither is found
    // the active ID stays as it was). Other sources are ignored.
    void Assign(const TPersistent& Source) override;

  private:
    void ImportSectionsLayout(TCustomIniFile& Ini);
    void ImportNumberedKeysLayout(TCustomIniFile& Ini);

    int m_activeID = -1;
    std::string m_defaultURL;
};

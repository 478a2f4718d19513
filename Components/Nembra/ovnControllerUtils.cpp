#include "Components/Nembra/ovnControllerUtils.h"

#include "platform/IniFiles.h"
#include "platform/SysUtils.h"

namespace {
// The older layouts; only read, never written.
const char* const kSectionsLayout = "SERVER CONNECTION";
const char* const kNumberedKeysLayout = "SERVER CONNECTIONS";
} // namespace

bool ConfigTextIsTrue(const std::string& Text)
{
    return UpperCase(Trim(Text)) == "TRUE";
}

std::string ConfigBoolText(bool Value)
{
    return Value ? "TRUE" : "FALSE";
}

// ---------------------------------------------------------------------------
// TovnConfigItem

std::string TovnConfigItem::GetValue(const std::string& Name) const
{
    return m_values.Values(Name);
}

void TovnConfigItem::SetValue(const std::string& Name, const std::string& Value)
{
    m_values.SetValues(Name, Value);
}

void TovnConfigItem::LoadFromIni(const std::string& Line)
{
    const auto equals = Line.find('=');
    m_values.SetCommaText(equals == std::string::npos ? std::string() : Line.substr(equals + 1));
}

void TovnConfigItem::Assign(const TPersistent& Source)
{
    if (const auto* item = dynamic_cast<const TovnConfigItem*>(&Source)) {
        m_values.Assign(item->m_values);
        return;
    }
    TCollectionItem::Assign(Source);
}

// ---------------------------------------------------------------------------
// TovnCustomConfig

TovnCustomConfig::TovnCustomConfig(TCollectionItemClass ItemClass) : TCollection(std::move(ItemClass)) {}

TovnConfigItem* TovnCustomConfig::Add()
{
    return static_cast<TovnConfigItem*>(TCollection::Add());
}

TovnConfigItem* TovnCustomConfig::GetItem(int Index) const
{
    return static_cast<TovnConfigItem*>(Items(Index));
}

TovnConfigItem* TovnCustomConfig::Find(const std::string& Name, const std::string& Value) const
{
    for (int i = 0; i < Count(); ++i)
        if (AnsiSameText(GetItem(i)->GetValue(Name), Value))
            return GetItem(i);
    return nullptr;
}

void TovnCustomConfig::Fill(const std::string& Name, TStrings* List) const
{
    if (!List)
        return;
    List->BeginUpdate();
    try {
        List->Clear();
        for (int i = 0; i < Count(); ++i)
            List->AddObject(GetItem(i)->GetValue(Name), GetItem(i));
    } catch (...) {
        List->EndUpdate();
        throw;
    }
    List->EndUpdate();
}

void TovnCustomConfig::SetUniqueValue(TovnConfigItem* Item, const std::string& Name, const std::string& Value)
{
    if (!Item)
        return;
    for (int i = 0; i < Count(); ++i)
        if (GetItem(i) != Item)
            GetItem(i)->SetValue(Name, "");
    Item->SetValue(Name, Value);
}

void TovnCustomConfig::SaveToIni(TCustomIniFile& Ini, const std::string& Section) const
{
    std::vector<std::string> lines;
    lines.reserve(static_cast<size_t>(Count()));
    for (int i = 0; i < Count(); ++i) {
        lines.push_back(GetItem(i)->Values().CommaText());
        // Checked before the section is erased, so that a value the file
        // cannot hold never costs the entries already stored.
        if (lines.back().find_first_of("\r\n") != std::string::npos)
            throw EIniFileException(Format("Cannot write [%s] %d to %s: a line break", Section, i,
                                           Ini.FileName()));
    }
    Ini.EraseSection(Section);
    for (size_t i = 0; i < lines.size(); ++i)
        Ini.WriteString(Section, IntToStr(i), lines[i]);
}

void TovnCustomConfig::LoadFromIni(TCustomIniFile& Ini, const std::string& Section)
{
    TStringList lines;
    Ini.ReadSectionValues(Section, lines);
    BeginUpdate();
    try {
        Clear();
        for (int i = 0; i < lines.Count(); ++i)
            TovnCustomConfig::Add()->LoadFromIni(lines[i]);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

// ---------------------------------------------------------------------------
// TovnConnectionItem

TovnConnections* TovnConnectionItem::Connections() const
{
    return dynamic_cast<TovnConnections*>(Collection());
}

const TPropList& TovnConnectionItem::PublishedProps() const
{
    static const TPropList props = [] {
        TPropList list;
        TPropDeclarer<TovnConnectionItem>(list)
            .String("Connection", &TovnConnectionItem::Connection, &TovnConnectionItem::SetConnection)
            .String("URL", &TovnConnectionItem::URL, &TovnConnectionItem::SetURL)
            .Boolean("Default", &TovnConnectionItem::Default, &TovnConnectionItem::SetDefault);
        return list;
    }();
    return props;
}

bool TovnConnectionItem::Default() const
{
    return ConfigTextIsTrue(GetValue("Default"));
}

void TovnConnectionItem::SetDefault(bool Value)
{
    if (!Value) {
        SetValue("Default", ConfigBoolText(false));
        return;
    }
    if (TovnConnections* list = Connections())
        list->SetUniqueValue(this, "Default", ConfigBoolText(true));
    else
        SetValue("Default", ConfigBoolText(true));
}

bool TovnConnectionItem::GetActive() const
{
    const TovnConnections* list = Connections();
    return list && list->ActiveID() == ID();
}

void TovnConnectionItem::SetActive(bool)
{
    if (TovnConnections* list = Connections())
        list->SetActiveID(ID());
}

std::string TovnConnectionItem::GetCaption() const
{
    const std::string label = Trim(GetValue("LABEL"));
    return label.empty() ? Trim(GetValue("URL")) : label;
}

bool TovnConnectionItem::GetCredentialsStored() const
{
    return !Trim(GetValue("USER_ID")).empty() && !Trim(GetValue("USER_PWD")).empty();
}

// ---------------------------------------------------------------------------
// TovnConnections

TovnConnections::TovnConnections() : TovnCustomConfig(CollectionItemClass<TovnConnectionItem>()) {}

TovnConnectionItem* TovnConnections::Add()
{
    auto* item = static_cast<TovnConnectionItem*>(TovnCustomConfig::Add());
    item->SetConnection(Format("Connection%d", item->ID()));
    return item;
}

TovnConnectionItem* TovnConnections::GetItem(int Index) const
{
    return static_cast<TovnConnectionItem*>(TovnCustomConfig::GetItem(Index));
}

TovnConnectionItem* TovnConnections::Find(const std::string& Name, const std::string& Value) const
{
    return static_cast<TovnConnectionItem*>(TovnCustomConfig::Find(Name, Value));
}

TovnConnectionItem* TovnConnections::GetDefault() const
{
    for (int i = 0; i < Count(); ++i)
        if (SameText(GetItem(i)->GetValue("Default"), "TRUE"))
            return GetItem(i);
    return nullptr;
}

TovnConnectionItem* TovnConnections::ActiveItem() const
{
    return m_activeID < 0 ? nullptr : static_cast<TovnConnectionItem*>(FindItemID(m_activeID));
}

std::string TovnConnections::GetActiveConnection() const
{
    const TovnConnectionItem* item = ActiveItem();
    return item ? item->Connection() : std::string();
}

void TovnConnections::LoadFromIni(TCustomIniFile& Ini, const std::string& Section)
{
    TovnCustomConfig::LoadFromIni(Ini, Section);
    if (Count() == 0)
        ImportSectionsLayout(Ini);
    if (Count() == 0)
        ImportNumberedKeysLayout(Ini);
    if (Count() == 0 && !m_defaultURL.empty()) {
        TovnConnectionItem* item = Add();
        item->SetConnection("Default");
        item->SetURL(m_defaultURL);
        item->SetDefault(true);
    }
}

// "SERVER CONNECTION", then "SERVER CONNECTION 1", 2, ...: each section is
// one entry with all its lines. A missing plain section does not end the
// probing before section 1 has been looked at; any other gap does.
void TovnConnections::ImportSectionsLayout(TCustomIniFile& Ini)
{
    Clear();
    for (int n = 0;; ++n) {
        const std::string section = n == 0 ? std::string(kSectionsLayout) : Format("%s %d", kSectionsLayout, n);
        if (!Ini.SectionExists(section)) {
            if (n == 0)
                continue;
            break;
        }
        TStringList lines;
        Ini.ReadSectionValues(section, lines);
        TStrings& values = TovnCustomConfig::Add()->Values();
        for (int i = 0; i < lines.Count(); ++i)
            if (lines[i].find('=') != std::string::npos)
                values.Add(lines[i]);
    }
}

// "SERVER CONNECTIONS" with the keys Connection<N>, URL<N>, Remotehost<N>
// and Default<N> for N = 1, 2, ... while Connection<N> exists.
void TovnConnections::ImportNumberedKeysLayout(TCustomIniFile& Ini)
{
    Clear();
    for (int n = 1;; ++n) {
        const std::string number = IntToStr(n);
        if (!Ini.ValueExists(kNumberedKeysLayout, "Connection" + number))
            break;
        TovnConnectionItem* item = Add();
        item->SetConnection(Ini.ReadString(kNumberedKeysLayout, "Connection" + number, ""));
        std::string url = Ini.ReadString(kNumberedKeysLayout, "URL" + number, "");
        if (url.empty())
            url = Ini.ReadString(kNumberedKeysLayout, "Remotehost" + number, "");
        item->SetURL(url);
        item->SetDefault(ConfigTextIsTrue(Ini.ReadString(kNumberedKeysLayout, "Default" + number, "FALSE")));
    }
}

void TovnConnections::Assign(const TPersistent& Source)
{
    const auto* source = dynamic_cast<const TovnConnections*>(&Source);
    if (!source || source == this)
        return;
    const TovnConnectionItem* active = ActiveItem();
    const std::string connection = active ? active->Connection() : std::string();
    const std::string url = active ? active->URL() : std::string();
    TovnCustomConfig::Assign(*source);
    // An entry is only found by a value it has: an empty remembered value
    // would otherwise match the first entry lacking that line.
    TovnConnectionItem* found = active ? Find("Connection", connection) : nullptr;
    if (!found && active)
        found = Find("URL", url);
    if (found)
        found->SetActive(true);
}

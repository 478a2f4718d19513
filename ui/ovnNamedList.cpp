#include "ui/ovnNamedList.h"

#include "platform/SysUtils.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {
const char* const kHideEntry = "$HIDE";

// The hidden flag travels as a line's object value, as the group editor's
// string lists carry it: -1 is hidden, any value from 0 up is visible.
TObject* FlagObject(bool Hidden)
{
    return Hidden ? reinterpret_cast<TObject*>(intptr_t{-1}) : nullptr;
}

bool IsHiddenObject(const TObject* Object)
{
    return reinterpret_cast<intptr_t>(Object) < 0;
}

// A members text as a list of members.
void ReadMembers(const std::string& Text, TStringList& Members)
{
    Members.SetText(Text);
}

std::string LineName(const std::string& Line)
{
    const auto equals = Line.find('=');
    return equals == std::string::npos ? std::string() : Line.substr(0, equals);
}
} // namespace

int TNamedList::Find(const std::string& Name) const
{
    return m_items.IndexOfName(Name);
}

std::string TNamedList::GetValue(const std::string& Name) const
{
    const int index = Find(Name);
    return index < 0 ? std::string() : GetValue(index);
}

std::string TNamedList::GetValue(int Index) const
{
    const std::string line = m_items[Index];
    const auto equals = line.find('=');
    return equals == std::string::npos ? line : line.substr(equals + 1);
}

void TNamedList::GetValues(const std::string& Name, TStrings* Strings) const
{
    if (Strings)
        Strings->SetText(GetValue(Name));
}

void TNamedList::SetValue(const std::string& Name, const std::string& Value)
{
    const int index = Find(Name);
    if (index >= 0)
        SetValue(index, Value);
    else
        m_items.Add(Name + "=" + Value);
}

void TNamedList::SetValue(int Index, const std::string& Value)
{
    const std::string line = m_items[Index];
    const auto equals = line.find('=');
    m_items.SetStrings(Index, equals == std::string::npos ? Value : line.substr(0, equals + 1) + Value);
}

void TNamedList::SetValues(int Index, const TStrings* Strings)
{
    if (Strings && Index >= 0)
        SetValue(Index, Strings->Text());
}

std::string TNamedList::NewValue()
{
    for (int n = 1;; ++n) {
        const std::string name = Format("NewGroup%d", n);
        if (Find(name) < 0) {
            m_items.Add(name + "=");
            return name;
        }
    }
}

bool TNamedList::HasMember(int Index, const std::string& Member) const
{
    TStringList members;
    ReadMembers(GetValue(Index), members);
    return members.IndexOf(Member) >= 0;
}

void TNamedList::AddValueTo(const std::string& Name, const std::string& Member)
{
    for (int i = 0; i < Count(); ++i) {
        TStringList members;
        ReadMembers(GetValue(i), members);
        if (AnsiSameText(GetName(i), Name)) {
            if (members.IndexOf(Member) < 0)
                members.Add(Member);
        } else {
            // Every copy goes, so the member ends up in the target entry only.
            for (int at = members.IndexOf(Member); at >= 0; at = members.IndexOf(Member))
                members.Delete(at);
        }
        SetValue(i, members.Text());
    }
}

std::string TNamedList::FindValue(const std::string& Member) const
{
    for (int i = 0; i < Count(); ++i)
        if (HasMember(i, Member))
            return GetName(i);
    return {};
}

void TNamedList::Remove(int Index)
{
    if (Index >= 0)
        m_items.Delete(Index);
}

void TNamedList::Clear()
{
    m_items.Clear();
}

void TNamedList::Assign(const TObject* Source)
{
    if (const auto* named = dynamic_cast<const TNamedList*>(Source)) {
        if (named != this)
            m_items.Assign(named->m_items);
        return;
    }
    if (const auto* strings = dynamic_cast<const TStrings*>(Source)) {
        m_items.Clear();
        for (int i = 0; i < strings->Count(); ++i)
            m_items.AddObject(strings->Get(i), FlagObject(IsHiddenObject(strings->GetObject(i))));
    }
}

std::string TNamedList::GetNames() const
{
    std::string names;
    for (int i = 0; i < Count(); ++i)
        names += GetName(i) + "\r\n";
    return names;
}

std::string TNamedList::GetName(int Index) const
{
    return m_items.Names(Index);
}

bool TNamedList::SetName(int Index, const std::string& Name)
{
    for (int i = 0; i < Count(); ++i)
        if (i != Index && AnsiSameText(GetName(i), Name))
            return false;
    if (GetName(Index) != Name) {
        // A line without "=" is all members (as GetValue reads it), so it
        // keeps them under the new name.
        m_items.SetStrings(Index, Name + "=" + GetValue(Index));
    }
    return true;
}

bool TNamedList::GetVisible(int Index) const
{
    return !IsHiddenObject(m_items.Objects(Index));
}

void TNamedList::SetVisible(int Index, bool Value)
{
    m_items.SetObjects(Index, FlagObject(!Value));
}

void TNamedList::Move(int CurIndex, int NewIndex)
{
    m_items.Move(CurIndex, NewIndex);
}

std::string TNamedList::GetAsText() const
{
    TStringList lines;
    lines.Assign(m_items);
    std::string hidden;
    for (int i = 0; i < Count(); ++i)
        if (!GetVisible(i))
            hidden += GetName(i) + "\r\n";
    if (!hidden.empty())
        lines.Add(std::string(kHideEntry) + "=" + hidden);
    return lines.CommaText();
}

void TNamedList::SetAsText(const std::string& Value)
{
    TStringList lines;
    lines.SetCommaText(Value);
    m_items.Clear();
    for (int i = 0; i < lines.Count(); ++i)
        m_items.AddObject(lines[i], FlagObject(false));
    CheckHidden();
}

void TNamedList::CheckHidden()
{
    // A text joined from two stored forms may carry more than one "$HIDE"
    // entry; none may stay behind as a group.
    for (int hide = Find(kHideEntry); hide >= 0; hide = Find(kHideEntry)) {
        TStringList names;
        ReadMembers(GetValue(hide), names);
        m_items.Delete(hide);
        for (int i = 0; i < Count(); ++i)
            if (names.IndexOf(GetName(i)) >= 0)
                SetVisible(i, false);
    }
}

void TNamedList::UpdateAsString(const std::string& S)
{
    TStringList stored;
    stored.SetCommaText(S);
    std::vector<std::string> order;
    for (int i = 0; i < stored.Count(); ++i)
        order.push_back(LineName(stored[i]));

    for (int i = 0; i < Count(); ++i) {
        const int at = stored.IndexOfName(GetName(i));
        if (at < 0)
            continue;
        const std::string storedMembers = stored.ValueFromIndex(at);
        stored.Delete(at);
        if (storedMembers.empty())
            continue;
        TStringList merged;
        ReadMembers(storedMembers, merged);
        TStringList own;
        ReadMembers(GetValue(i), own);
        for (int m = 0; m < own.Count(); ++m)
            if (merged.IndexOf(own[m]) < 0)
                merged.Add(own[m]);
        SetValue(i, merged.Text());
    }
    for (int i = 0; i < stored.Count(); ++i)
        m_items.AddObject(stored[i], FlagObject(false));
    CheckHidden();

    for (size_t position = 0; position < order.size(); ++position) {
        const int index = Find(order[position]);
        if (index >= 0)
            Move(index, std::min(static_cast<int>(position), Count() - 1));
    }
}

void TNamedList::SetPreset(const TStrings* Strings)
{
    if (!Strings)
        return;
    for (int i = 0; i < Strings->Count(); ++i)
        if (Find(Strings->Get(i)) < 0)
            m_items.Add(Strings->Get(i) + "=");
}

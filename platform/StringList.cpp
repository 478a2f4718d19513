#include "platform/StringList.h"

#include "platform/ClassesText.h"
#include "platform/FileReplaceStream.h"
#include "platform/Streams.h"
#include "platform/SysUtils.h"

#include <algorithm>
#include <exception>
#include <numeric>

namespace {
const char* const kIndexError = "List index out of bounds (%d)";
const char* const kSortedListError = "Operation not allowed on sorted list";
const char* const kDuplicateString = "String list does not allow duplicates";

bool IsBlank(char c)
{
    return static_cast<unsigned char>(c) <= ' ';
}

// Restores the update count even when an event or a subclass throws.
class UpdateGuard
{
  public:
    explicit UpdateGuard(TStrings& strings) : m_strings(strings), m_uncaught(std::uncaught_exceptions())
    {
        m_strings.BeginUpdate();
    }
    ~UpdateGuard() noexcept(false)
    {
        if (std::uncaught_exceptions() == m_uncaught) {
            m_strings.EndUpdate();
            return;
        }
        // Already unwinding: the first error is the one to report.
        try {
            m_strings.EndUpdate();
        } catch (...) {
        }
    }
    UpdateGuard(const UpdateGuard&) = delete;
    UpdateGuard& operator=(const UpdateGuard&) = delete;

  private:
    TStrings& m_strings;
    int m_uncaught;
};
} // namespace

// ---------------------------------------------------------------------------
// TStrings

void TStrings::Error(const char* message, int index)
{
    std::string text = message;
    const auto pos = text.find("%d");
    if (pos != std::string::npos)
        text.replace(pos, 2, std::to_string(index));
    throw EListError(text);
}

TObject* TStrings::GetObject(int index) const
{
    return nullptr;
}

void TStrings::Put(int index, const std::string& s)
{
    UpdateGuard guard(*this);
    TObject* object = GetObject(index);
    Delete(index);
    InsertObject(index, s, object);
}

void TStrings::PutObject(int index, TObject* object) {}

void TStrings::InsertObject(int index, const std::string& s, TObject* object)
{
    Insert(index, s);
    PutObject(index, object);
}

int TStrings::Add(const std::string& s)
{
    const int index = Count();
    Insert(index, s);
    return index;
}

int TStrings::AddObject(const std::string& s, TObject* object)
{
    const int index = Add(s);
    PutObject(index, object);
    return index;
}

void TStrings::AddStrings(const TStrings& strings)
{
    UpdateGuard guard(*this);
    // Counted up front so that adding a list to itself ends.
    const int count = strings.Count();
    for (int i = 0; i < count; ++i)
        AddObject(strings.Get(i), strings.GetObject(i));
}

void TStrings::Assign(const TPersistent& source)
{
    if (const auto* strings = dynamic_cast<const TStrings*>(&source)) {
        if (strings == this)
            return;
        UpdateGuard guard(*this);
        Clear();
        m_delimiter = strings->m_delimiter;
        m_quoteChar = strings->m_quoteChar;
        m_nameValueSeparator = strings->m_nameValueSeparator;
        m_strictDelimiter = strings->m_strictDelimiter;
        m_lineBreak = strings->m_lineBreak;
        AddStrings(*strings);
        return;
    }
    TPersistent::Assign(source);
}

void TStrings::AssignTo(TPersistent& dest) const
{
    TPersistent::AssignTo(dest);
}

void TStrings::Exchange(int index1, int index2)
{
    UpdateGuard guard(*this);
    const std::string s1 = Get(index1);
    TObject* o1 = GetObject(index1);
    Put(index1, Get(index2));
    PutObject(index1, GetObject(index2));
    Put(index2, s1);
    PutObject(index2, o1);
}

void TStrings::Move(int curIndex, int newIndex)
{
    if (curIndex == newIndex)
        return;
    // Validate both ends first so that a bad target loses no line.
    if (curIndex < 0 || curIndex >= Count())
        Error(kIndexError, curIndex);
    if (newIndex < 0 || newIndex >= Count())
        Error(kIndexError, newIndex);
    UpdateGuard guard(*this);
    const std::string s = Get(curIndex);
    TObject* object = GetObject(curIndex);
    Delete(curIndex);
    InsertObject(newIndex, s, object);
}

bool TStrings::Equals(const TStrings& strings) const
{
    const int count = Count();
    if (count != strings.Count())
        return false;
    for (int i = 0; i < count; ++i)
        if (Get(i) != strings.Get(i))
            return false;
    return true;
}

int TStrings::CompareStrings(const std::string& s1, const std::string& s2) const
{
    return AnsiCompareText(s1, s2);
}

int TStrings::IndexOf(const std::string& s) const
{
    const int count = Count();
    for (int i = 0; i < count; ++i)
        if (CompareStrings(Get(i), s) == 0)
            return i;
    return -1;
}

int TStrings::IndexOfName(const std::string& name) const
{
    const int count = Count();
    for (int i = 0; i < count; ++i) {
        const std::string line = Get(i);
        const auto pos = line.find(m_nameValueSeparator);
        if (pos != std::string::npos && CompareStrings(line.substr(0, pos), name) == 0)
            return i;
    }
    return -1;
}

int TStrings::IndexOfObject(const TObject* object) const
{
    const int count = Count();
    for (int i = 0; i < count; ++i)
        if (GetObject(i) == object)
            return i;
    return -1;
}

std::string TStrings::Names(int index) const
{
    const std::string line = Get(index);
    const auto pos = line.find(m_nameValueSeparator);
    return pos == std::string::npos ? std::string() : line.substr(0, pos);
}

std::string TStrings::Values(const std::string& name) const
{
    const int index = IndexOfName(name);
    if (index < 0)
        return std::string();
    return ValueFromIndex(index);
}

void TStrings::SetValues(const std::string& name, const std::string& value)
{
    int index = IndexOfName(name);
    if (value.empty()) {
        if (index >= 0)
            Delete(index);
        return;
    }
    const std::string line = name + m_nameValueSeparator + value;
    if (index < 0)
        Add(line);
    else
        Put(index, line);
}

std::string TStrings::ValueFromIndex(int index) const
{
    const std::string line = Get(index);
    const auto pos = line.find(m_nameValueSeparator);
    return pos == std::string::npos ? std::string() : line.substr(pos + 1);
}

void TStrings::SetValueFromIndex(int index, const std::string& value)
{
    if (value.empty()) {
        Delete(index);
        return;
    }
    Put(index, Names(index) + m_nameValueSeparator + value);
}

std::string TStrings::Text() const
{
    std::string result;
    const int count = Count();
    for (int i = 0; i < count; ++i) {
        result += Get(i);
        result += m_lineBreak;
    }
    return result;
}

void TStrings::SetText(const std::string& text)
{
    UpdateGuard guard(*this);
    Clear();
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = pos;
        while (end < text.size() && text[end] != '\r' && text[end] != '\n')
            ++end;
        Add(text.substr(pos, end - pos));
        pos = end;
        if (pos < text.size() && text[pos] == '\r')
            ++pos;
        if (pos < text.size() && text[pos] == '\n')
            ++pos;
    }
}

std::string TStrings::DelimitedTextWith(char delimiter, char quote, bool strict) const
{
    const int count = Count();
    if (count == 1 && Get(0).empty())
        return std::string(2, quote);
    std::string result;
    for (int i = 0; i < count; ++i) {
        const std::string item = Get(i);
        const bool needsQuotes = std::any_of(item.begin(), item.end(), [&](char c) {
            return c == delimiter || c == quote || c == '\0' || (!strict && IsBlank(c));
        });
        if (i > 0)
            result += delimiter;
        if (!needsQuotes) {
            result += item;
            continue;
        }
        result += quote;
        for (char c : item) {
            if (c == quote)
                result += quote;
            result += c;
        }
        result += quote;
    }
    return result;
}

void TStrings::SetDelimitedTextWith(const std::string& text, char delimiter, char quote, bool strict)
{
    UpdateGuard guard(*this);
    Clear();
    const size_t n = text.size();
    size_t p = 0;
    auto skipBlanks = [&] {
        if (!strict)
            while (p < n && IsBlank(text[p]))
                ++p;
    };
    skipBlanks();
    while (p < n) {
        std::string item;
        if (text[p] == quote) {
            // A doubled quote stands for one; a missing closing quote runs to the end.
            ++p;
            while (p < n) {
                if (text[p] == quote) {
                    if (p + 1 < n && text[p + 1] == quote) {
                        item += quote;
                        p += 2;
                        continue;
                    }
                    ++p;
                    break;
                }
                item += text[p++];
            }
        } else {
            const size_t start = p;
            while (p < n && text[p] != delimiter && (strict || !IsBlank(text[p])))
                ++p;
            item.assign(text, start, p - start);
        }
        Add(item);
        skipBlanks();
        if (p < n && text[p] == delimiter) {
            if (p + 1 == n)
                Add(std::string());
            ++p;
            skipBlanks();
        }
    }
}

std::string TStrings::CommaText() const
{
    return DelimitedTextWith(',', '"', false);
}

void TStrings::SetCommaText(const std::string& text)
{
    SetDelimitedTextWith(text, ',', '"', false);
}

std::string TStrings::DelimitedText() const
{
    return DelimitedTextWith(m_delimiter, m_quoteChar, m_strictDelimiter);
}

void TStrings::SetDelimitedText(const std::string& text)
{
    SetDelimitedTextWith(text, m_delimiter, m_quoteChar, m_strictDelimiter);
}

void TStrings::BeginUpdate()
{
    if (m_updateCount == 0)
        SetUpdateState(true);
    ++m_updateCount;
}

void TStrings::EndUpdate()
{
    if (m_updateCount <= 0)
        return;
    --m_updateCount;
    if (m_updateCount == 0)
        SetUpdateState(false);
}

void TStrings::LoadFromFile(const std::string& fileName)
{
    TFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(stream);
}

void TStrings::SaveToFile(const std::string& fileName) const
{
    TFileReplaceStream stream(fileName);
    SaveToStream(stream);
    stream.Commit();
}

void TStrings::LoadFromStream(TStream& stream)
{
    const int64_t size = stream.Size() - stream.Position();
    std::string text;
    if (size > 0) {
        text.resize(static_cast<size_t>(size));
        text.resize(static_cast<size_t>(stream.Read(text.data(), size)));
    }
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0)
        text.erase(0, 3);
    SetText(text);
}

void TStrings::SaveToStream(TStream& stream) const
{
    const std::string text = Text();
    stream.WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
}

// ---------------------------------------------------------------------------
// TStringList

TStringList::~TStringList()
{
    OnChange = nullptr;
    OnChanging = nullptr;
    if (m_ownsObjects)
        for (auto& item : m_items)
            delete item.object;
}

void TStringList::CheckIndex(int index) const
{
    if (index < 0 || index >= Count())
        Error(kIndexError, index);
}

void TStringList::Changed()
{
    if (UpdateCount() == 0 && OnChange)
        OnChange(this);
}

void TStringList::Changing()
{
    if (UpdateCount() == 0 && OnChanging)
        OnChanging(this);
}

void TStringList::SetUpdateState(bool updating)
{
    // Called with the count at 0 on both edges, so the events fire.
    if (updating)
        Changing();
    else
        Changed();
}

int TStringList::CompareStrings(const std::string& s1, const std::string& s2) const
{
    return m_caseSensitive ? AnsiCompareStr(s1, s2) : AnsiCompareText(s1, s2);
}

std::string TStringList::Get(int index) const
{
    CheckIndex(index);
    return m_items[index].text;
}

TObject* TStringList::GetObject(int index) const
{
    CheckIndex(index);
    return m_items[index].object;
}

void TStringList::Put(int index, const std::string& s)
{
    if (m_sorted)
        Error(kSortedListError, 0);
    CheckIndex(index);
    Changing();
    m_items[index].text = s;
    Changed();
}

void TStringList::PutObject(int index, TObject* object)
{
    CheckIndex(index);
    Changing();
    m_items[index].object = object;
    Changed();
}

void TStringList::InsertItem(int index, const std::string& s, TObject* object)
{
    Changing();
    m_items.insert(m_items.begin() + index, Item{s, object});
    Changed();
}

void TStringList::Insert(int index, const std::string& s)
{
    InsertObject(index, s, nullptr);
}

void TStringList::InsertObject(int index, const std::string& s, TObject* object)
{
    if (m_sorted)
        Error(kSortedListError, 0);
    if (index < 0 || index > Count())
        Error(kIndexError, index);
    InsertItem(index, s, object);
}

int TStringList::Add(const std::string& s)
{
    return AddObject(s, nullptr);
}

int TStringList::AddObject(const std::string& s, TObject* object)
{
    int index = Count();
    if (m_sorted && Find(s, index)) {
        // dupIgnore keeps the existing line and its object.
        if (m_duplicates == dupIgnore)
            return index;
        if (m_duplicates == dupError)
            Error(kDuplicateString, 0);
    }
    InsertItem(index, s, object);
    return index;
}

void TStringList::Delete(int index)
{
    CheckIndex(index);
    Changing();
    TObject* object = m_items[index].object;
    m_items.erase(m_items.begin() + index);
    if (m_ownsObjects)
        delete object;
    Changed();
}

void TStringList::Clear()
{
    if (m_items.empty())
        return;
    Changing();
    std::vector<Item> old;
    old.swap(m_items);
    if (m_ownsObjects)
        for (auto& item : old)
            delete item.object;
    Changed();
}

void TStringList::Exchange(int index1, int index2)
{
    CheckIndex(index1);
    CheckIndex(index2);
    Changing();
    std::swap(m_items[index1], m_items[index2]);
    Changed();
}

void TStringList::Move(int curIndex, int newIndex)
{
    if (m_sorted)
        Error(kSortedListError, 0);
    CheckIndex(curIndex);
    CheckIndex(newIndex);
    if (curIndex == newIndex)
        return;
    Changing();
    Item item = std::move(m_items[curIndex]);
    m_items.erase(m_items.begin() + curIndex);
    m_items.insert(m_items.begin() + newIndex, std::move(item));
    Changed();
}

bool TStringList::Find(const std::string& s, int& index) const
{
    bool found = false;
    int low = 0;
    int high = Count() - 1;
    while (low <= high) {
        const int mid = low + (high - low) / 2;
        const int c = CompareStrings(m_items[mid].text, s);
        if (c < 0)
            low = mid + 1;
        else {
            high = mid - 1;
            if (c == 0) {
                found = true;
                if (m_duplicates != dupAccept)
                    low = mid;
            }
        }
    }
    index = low;
    return found;
}

int TStringList::IndexOf(const std::string& s) const
{
    if (!m_sorted)
        return TStrings::IndexOf(s);
    int index = 0;
    return Find(s, index) ? index : -1;
}

void TStringList::Sort()
{
    // A sorted list is in order already.
    if (!m_sorted)
        SortBy(CompareByText());
}

TStringListSortCompare TStringList::CompareByText()
{
    return ([](TStringList& list, int i1, int i2) {
        return list.CompareStrings(list.m_items[i1].text, list.m_items[i2].text);
    });
}

void TStringList::CustomSort(const TStringListSortCompare& compare)
{
    // Another order would break the binary search of a sorted list.
    if (!m_sorted)
        SortBy(compare);
}

void TStringList::SortBy(const TStringListSortCompare& compare)
{
    if (m_items.size() < 2 || !compare)
        return;
    // The compare function sees the list unchanged (indices of the current
    // order); the order found is applied afterwards.
    std::vector<int> order(m_items.size());
    std::iota(order.begin(), order.end(), 0);
    kld_classes::SafeStableSort(order, [&](int a, int b) { return compare(*this, a, b) < 0; });
    Changing();
    std::vector<Item> sorted;
    sorted.reserve(m_items.size());
    for (int i : order)
        sorted.push_back(std::move(m_items[i]));
    m_items.swap(sorted);
    Changed();
}

void TStringList::SetSorted(bool sorted)
{
    if (m_sorted == sorted)
        return;
    if (sorted)
        SortBy(CompareByText());
    m_sorted = sorted;
}

void TStringList::SetCaseSensitive(bool caseSensitive)
{
    if (m_caseSensitive == caseSensitive)
        return;
    m_caseSensitive = caseSensitive;
    if (m_sorted)
        SortBy(CompareByText());
}

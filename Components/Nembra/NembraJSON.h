#pragma once
// The JSON document model that every server reply is read through.
//
// Composition
// - A `TJSONObject` is an ordered list of (name, value) members in insertion
//   order; a `TJSONArray` an ordered list of values; a `TJSONValue` one value of
//   any kind. Each container owns its values and each value owns its object or
//   array payload: clearing, replacing or destroying a value destroys its
//   payload. Copies are always deep (`Assign`, `AssignObject`, `AssignArray`,
//   `SetValues`, `SetAsObject`, `SetAsArray`); nothing is ever shared.
// - References returned by `GetValues`, `GetPropValue`, `GetValue`,
//   `GetAsObject` and `GetAsArray` stay valid while members or elements are
//   added; they end with the container, with `Clear`, and (for an array) when
//   an earlier element is deleted, which moves the later ones down.
//
// Missing members
// - Reading a member that does not exist never fails: `GetValues` creates it
//   as a null value at the end of the object and returns it. So an absent
//   member reads as "", 0 or False, and the object written back out carries it
//   as a null member. Use `IndexOfName` to test for a member without adding it.
// - Member names match without regard to case (ASCII and Latin-1 letters of
//   the UTF-8 text). A reply that repeats a name, in any case, keeps one member
//   under the first spelling with the last value, in the first one's place.
//
// Typed access
// - Null reads as "", 0 and False. Other content converts by the platform's
//   variant rules: numeric text to a number, "True"/"False" to a Boolean,
//   anything else raises the variant conversion error.
// - `GetAsObject` / `GetAsArray` on any other kind raise "Value is not an
//   object" / "Value is not an array". Content that JSON has no kind for (a
//   date stored through `SetAsVariant`) raises "Invalid value type" when its
//   kind is asked.
//
// Text: UTF-8 throughout. A \uXXXX escape decodes to the character in UTF-8
// (a surrogate pair to one character, a lone surrogate to U+FFFD); the
// escapes \n and \r decode to CR LF and to a lone LF, the convention of the
// server's encoder (NembraLib's StrToJSON). Bytes of 128 and above pass
// through unchanged in both directions.
//
// Numbers: a bare run of digits up to 2,147,483,646 is kept as a 32-bit
// integer, larger ones as 64-bit integers; a run of digits too large for 64
// bits fails with the conversion error. Any other number (sign, point or
// exponent) is a double. Reading and writing never depend on the locale: a
// point is the decimal separator and doubles are written with 15 significant
// digits, as FloatToStr writes them.
//
// Parsing is tolerant in fixed ways the server relies on: bytes 1 to 32
// separate tokens, a trailing comma before "}" or "]" is accepted, the
// literals true/false/null match in any case, only the first top-level object
// of a text is read and what follows it is ignored, a text ending inside a
// string ends the string. Objects and arrays nest at most `JSONMaxDepth`
// levels deep. Errors: "Invalid JSON around position: %d; TokenType: %s" (the
// 1-based position of the next unread byte and the token expected; for too
// deep nesting the opening token found) and "Unexpected token (%s) or end of
// stream" for a value that cannot start with the token found ("()" at the end
// of the text). A failed parse leaves the members read before the error; a
// member counts as read once its name and colon are, so the one whose value
// failed stays (null or partly read), one that lacks its colon does not.
//
// Writing: `ToJSONString` gives the model's own JSON-like text, for logs and
// scripts rather than the wire: null is written NULL, members are separated
// by ",\r\n", and string values go through the expression builder
// `NembraJSON::StrToJSON`, so they are not escaped. Requests are encoded by
// NembraLib instead. `GetAsString` gives a readable text for messages.

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Persistent.h"
#include "platform/SysUtils.h"
#include "platform/Variants.h"

class TStream;
class TJSONObject;
class TJSONArray;
class TJSONParser;

// For callers that report JSON failures with a class of their own; the parser
// raises the base Exception.
KLD_DECLARE_EXCEPTION(TJSONException, Exception);

enum TJSONValueType
{
    jvtNULL,
    jvtObject,
    jvtArray,
    jvtString,
    jvtNumber,
    jvtBoolean
};

namespace NembraJSONDetail {
// Elements in chunks of doubling size: appending never moves an element (so
// references stay valid), and a reply of many values costs a few dozen
// allocations instead of one per value. Removing an element moves the later
// ones down one place. T provides TakeFrom(T&), a move that leaves the
// source empty.
template <class T> class JSONSlots
{
  public:
    JSONSlots() = default;
    ~JSONSlots() { clear(); }
    JSONSlots(const JSONSlots&) = delete;
    JSONSlots& operator=(const JSONSlots&) = delete;

    size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }

    T& operator[](size_t index) const
    {
        const size_t chunk = ChunkOf(index);
        return m_chunks[chunk][index - ChunkStart(chunk)];
    }

    T& emplace_back()
    {
        if (m_next == m_end) {
            const size_t chunk = ChunkOf(m_size);
            if (chunk == m_chunks.size())
                m_chunks.push_back(static_cast<T*>(::operator new(sizeof(T) * ChunkCapacity(chunk))));
            m_next = m_chunks[chunk] + (m_size - ChunkStart(chunk));
            m_end = m_chunks[chunk] + ChunkCapacity(chunk);
        }
        T* slot = ::new (static_cast<void*>(m_next)) T();
        ++m_next;
        ++m_size;
        return *slot;
    }

    // Calls fn(element) for every element in order, chunk by chunk.
    template <class Fn> void ForEach(Fn&& fn) const
    {
        for (size_t c = 0, done = 0; c < m_chunks.size() && done < m_size; ++c) {
            const size_t n = std::min(ChunkCapacity(c), m_size - done);
            T* chunk = m_chunks[c];
            for (size_t i = 0; i < n; ++i)
                fn(chunk[i]);
            done += n;
        }
    }

    void erase(size_t index)
    {
        for (size_t i = index; i + 1 < m_size; ++i)
            (*this)[i].TakeFrom((*this)[i + 1]);
        (*this)[m_size - 1].~T();
        --m_size;
        // The next append finds its slot again.
        m_next = m_end = nullptr;
    }

    void clear() noexcept
    {
        ForEach([](T& element) { element.~T(); });
        for (T* chunk : m_chunks)
            ::operator delete(chunk);
        m_chunks.clear();
        m_size = 0;
        m_next = m_end = nullptr;
    }

    void swap(JSONSlots& other) noexcept
    {
        m_chunks.swap(other.m_chunks);
        std::swap(m_size, other.m_size);
        std::swap(m_next, other.m_next);
        std::swap(m_end, other.m_end);
    }

  private:
    // Chunks double from 8 elements up to 2,048, then stay at that size, so
    // that no chunk is big enough for the allocator to map it afresh each time.
    static constexpr size_t kFirstChunk = 8;
    static constexpr size_t kDoublings = 9; // 8 << 8 == 2048
    static constexpr size_t kLastChunk = kFirstChunk << (kDoublings - 1);
    static constexpr size_t kDoubledTotal = kFirstChunk * ((size_t(1) << kDoublings) - 1);

    static size_t ChunkOf(size_t index)
    {
        if (index < kDoubledTotal)
            return std::bit_width(index / kFirstChunk + 1) - 1;
        return kDoublings + (index - kDoubledTotal) / kLastChunk;
    }
    static size_t ChunkStart(size_t chunk)
    {
        if (chunk < kDoublings)
            return kFirstChunk * ((size_t(1) << chunk) - 1);
        return kDoubledTotal + (chunk - kDoublings) * kLastChunk;
    }
    static size_t ChunkCapacity(size_t chunk)
    {
        return chunk < kDoublings ? kFirstChunk << chunk : kLastChunk;
    }

    std::vector<T*> m_chunks;
    size_t m_size = 0;
    T* m_next = nullptr; // the slot of the next append, in the last used chunk
    T* m_end = nullptr;
};
// The text ToJSONString builds: written through a cursor, grown in large
// steps, cut to length at the end.
class TextWriter
{
  public:
    explicit TextWriter(std::string& out, size_t expected) : m_out(out), m_used(out.size())
    {
        m_out.resize(m_used + expected);
    }
    ~TextWriter() { m_out.resize(m_used); }
    TextWriter(const TextWriter&) = delete;
    TextWriter& operator=(const TextWriter&) = delete;

    // Room for n more characters; write them and Commit.
    char* Room(size_t n)
    {
        if (m_used + n > m_out.size())
            m_out.resize(std::max(m_out.size() * 2, m_used + n));
        return m_out.data() + m_used;
    }
    void Commit(size_t n) { m_used += n; }
    void Put(char c) { *Room(1) = c, Commit(1); }
    void Put(std::string_view s)
    {
        std::memcpy(Room(s.size()), s.data(), s.size());
        Commit(s.size());
    }

  private:
    std::string& m_out;
    size_t m_used;
};
} // namespace NembraJSONDetail

// Deeper nesting than this fails to parse: a hostile reply must not exhaust
// the stack.
constexpr int JSONMaxDepth = 512;

// One value of any kind. Values are the bulk of a parsed reply (a fetch of
// 100,000 rows holds about a million), so they are plain objects without a
// class identity of their own: 32 bytes, no virtual table. They still take
// the state of another value or object through Assign.
class TJSONValue
{
  public:
    TJSONValue() noexcept {}
    ~TJSONValue() { Clear(); }
    TJSONValue(const TJSONValue&) = delete;
    TJSONValue& operator=(const TJSONValue&) = delete;

    // Destroys an object or array payload; the value becomes null.
    void Clear()
    {
        if (m_kind >= Kind::Object || (m_kind == Kind::String && m_textLen == kHeapText))
            ClearContent();
        else
            m_kind = Kind::Null, m_textLen = 0;
    }
    bool GetIsNull() const { return m_kind == Kind::Null; }
    TJSONValueType GetValueType() const;

    // The readable text: "" for null, "True"/"False", numbers in full (doubles
    // with 15 significant digits), objects and arrays as their readable text.
    std::string GetAsString() const;
    int32_t GetAsInteger() const;
    int64_t GetAsInt64() const;
    double GetAsNumber() const;
    bool GetAsBoolean() const;
    TJSONObject& GetAsObject() const;
    TJSONArray& GetAsArray() const;
    // Null for null; an object or array payload gives its JSON text.
    Variant GetAsVariant() const;

    void SetAsString(std::string_view value);
    void SetAsInteger(int32_t value);
    void SetAsInt64(int64_t value);
    void SetAsNumber(double value);
    void SetAsBoolean(bool value);
    // Empty and Null make the value null; texts, Booleans and numbers are
    // stored as such; other kinds are kept but have no JSON kind.
    void SetAsVariant(const Variant& value);
    // Deep copies; the caller keeps its own. An absent source gives an empty payload.
    void SetAsObject(const TJSONObject* obj);
    void SetAsArray(const TJSONArray* arr);
    // An empty payload of this value's own, for filling.
    TJSONObject& CreateAsObject();
    TJSONArray& CreateAsArray();

    // A deep copy of source. An absent source clears.
    void Assign(const TJSONValue& source);
    void Assign(const TJSONValue* source);
    // A TJSONObject source becomes this value's object payload (a deep copy);
    // other classes raise the platform's EConvertError. An absent source clears.
    void Assign(const TPersistent& source);
    void Assign(const TPersistent* source);

    std::string ToJSONString() const;

  private:
    friend class TJSONParser;
    friend class TJSONArray;
    friend class TJSONObject;
    friend class NembraJSONDetail::JSONSlots<TJSONValue>;

    enum class Kind : uint8_t
    {
        Null,
        Int32,
        Int64,
        Double,
        Boolean,
        String,
        Object,
        Array,
        Foreign
    };

    void ClearContent();
    void SetStringNoClear(std::string_view value);
    // SetStringNoClear for a text with at least kInlineText bytes readable
    // from its start: short texts are copied in one fixed-size move.
    void SetReadableStringNoClear(std::string_view value);
    void WriteJSON(NembraJSONDetail::TextWriter& out) const;
    void AppendReadable(std::string& out) const;
    // About the length of ToJSONString, for reserving the text in one piece.
    size_t EstimatedSize() const;
    void CopyFrom(const TJSONValue& source);
    void TakeFrom(TJSONValue& source) noexcept;
    [[noreturn]] void RaiseCast(const char* target) const;

    // A text of up to kInlineText bytes is kept in the value itself, over
    // m_u and m_inline (most texts of a reply: names, codes, dates); a longer
    // one in a block of its own, whose pointer is m_u.text and whose length
    // starts m_inline.
    static constexpr size_t kInlineText = 30;
    static constexpr uint8_t kHeapText = 0xFF;

    std::string_view Text() const
    {
        if (m_textLen != kHeapText)
            return {reinterpret_cast<const char*>(this), m_textLen};
        size_t length;
        std::memcpy(&length, m_inline, sizeof length);
        return {m_u.text, length};
    }

    union {
        int32_t i32;
        int64_t i64;
        double d;
        bool b;
        TJSONObject* obj;
        TJSONArray* arr;
        Variant* foreign;
        char* text;
    } m_u{};
    char m_inline[kInlineText - sizeof(m_u)]{};
    uint8_t m_textLen = 0; // inline text length, or kHeapText
    Kind m_kind = Kind::Null;
};

static_assert(sizeof(TJSONValue) == 32, "a value is meant to fill half a cache line");

// A list that owns its elements: deleting or replacing one destroys it.
class TJSONArray : public TObject
{
  public:
    TJSONArray();
    ~TJSONArray() override;
    std::string ClassName() const override { return "TJSONArray"; }

    int Count() const { return static_cast<int>(m_items.size()); }
    // An index outside 0 .. Count-1 raises EListError.
    TJSONValue& GetValue(int index) const;
    // The array takes the value over: its content moves into the slot, whose
    // old content is destroyed; the slot is returned.
    TJSONValue& SetValue(int index, std::unique_ptr<TJSONValue> value);
    // Appends a new null element (or takes the given one over) and returns it.
    TJSONValue& Add();
    TJSONValue& Add(std::unique_ptr<TJSONValue> value);
    // Destroys the element; the later ones move down one place.
    void Delete(int index);
    void Clear();

    void AssignArray(const TJSONArray* source);

    std::string ToJSONString() const;
    std::string GetAsString() const;

  private:
    friend class TJSONValue;

    void CheckIndex(int index) const;
    void WriteJSON(NembraJSONDetail::TextWriter& out) const;
    void AppendReadable(std::string& out) const;
    size_t EstimatedSize() const;

    NembraJSONDetail::JSONSlots<TJSONValue> m_items;
};

class TJSONObject : public TPersistent
{
  public:
    TJSONObject();
    // Parses `text` into the new object, timing the parse. A parse error
    // leaves the constructor; ParseFromStream keeps what was read before it.
    explicit TJSONObject(std::string_view text);
    // Parses what remains of `stream`, timing the parse.
    explicit TJSONObject(TStream& stream);
    ~TJSONObject() override;
    std::string ClassName() const override { return "TJSONObject"; }

    // Clears the object, then parses what remains of `stream` into it. On a
    // parse error the members read so far stay.
    void ParseFromStream(TStream& stream);

    // The member called `name`; a missing one is appended as null and returned.
    TJSONValue& GetValues(std::string_view name);
    // Deep-copies `value` into the member, creating it when missing.
    void SetValues(std::string_view name, const TJSONValue& value);
    int IndexOfName(std::string_view name) const;

    int GetPropCount() const { return static_cast<int>(m_members.size()); }
    const std::string& GetPropName(int index) const;
    TJSONValue& GetPropValue(int index) const;
    void SetPropValue(int index, const TJSONValue& value);

    void Clear();
    // Clears, then appends a deep copy of every member of source (nothing
    // more when source is absent).
    void AssignObject(const TJSONObject* source);
    // AssignObject for a TJSONObject; other classes raise EConvertError.
    void Assign(const TPersistent& source) override;

    // Milliseconds the last parse into this object took (0 when built by hand).
    int64_t ParseTime() const { return m_parseTime; }

    std::string ToJSONString() const;
    // Readable text: one "name: value" part per member, parts on separate lines.
    std::string GetAsString() const;

  private:
    friend class TJSONParser;
    friend class TJSONValue;

    void WriteJSON(NembraJSONDetail::TextWriter& out) const;
    void AppendReadable(std::string& out) const;
    size_t EstimatedSize() const;

    struct Member
    {
        std::string Name;
        TJSONValue Value;

        void TakeFrom(Member& other) noexcept
        {
            Name.swap(other.Name);
            Value.TakeFrom(other.Value);
        }
    };
    friend class NembraJSONDetail::JSONSlots<Member>;

    void ParseText(std::string_view text);
    void ParseTimed(TJSONParser& parser, int64_t started);
    void CheckIndex(int index) const;
    TJSONValue& AppendMember(std::string_view name);
    int FindIndexed(std::string_view name) const;

    NembraJSONDetail::JSONSlots<Member> m_members;
    int64_t m_parseTime = 0;

    // Wide objects get a lookup table so that reading a reply stays linear in
    // its size; small ones are scanned.
    struct NameIndex;
    std::unique_ptr<NameIndex> m_index;
};

// One-pass tokenizer and parser over a text in memory.
class TJSONParser
{
  public:
    // The text must outlive the parser.
    explicit TJSONParser(std::string_view text);
    // Reads the stream whole, from its position to its end.
    explicit TJSONParser(TStream& stream);

    // Token types: 0 end, one of { } [ ] , : for themselves, 'A' string,
    // 'T' true, 'F' false, '0' null, 'I' digits only, 'N' other bare text.
    char TokenType() const { return m_tokenType; }
    std::string_view TokenText() const { return m_token; }
    // 1-based index of the next unread byte.
    int ReadIndex() const { return static_cast<int>(m_pos) + 1; }
    void NextToken();

    // Reads the first token and then exactly one object; what follows its
    // closing brace is not read.
    void ParseTopObject(TJSONObject& obj);
    // Reads the first token and then one value of any kind.
    void ParseTopValue(TJSONValue& value);

  private:
    void ParseObject(TJSONObject& obj);
    void ParseArray(TJSONArray& arr);
    void ParseValue(TJSONValue& value);
    void ParseMemberValue(TJSONValue& value);
    bool ReadScalar(TJSONValue& value);
    bool ReadNumber(TJSONValue& value);
    bool ReadLiteral(TJSONValue& value);
    void SkipSpace();
    bool EndsToken(size_t pos) const;
    void ReadString();
    void ReadBare();
    void ReadUnicodeEscape();
    void Expect(char type);
    [[noreturn]] void RaiseInvalid(char expected) const;
    [[noreturn]] void RaiseUnexpected() const;
    void StoreInteger(TJSONValue& value) const;
    void StoreNumber(TJSONValue& value) const;

    std::string m_owned;
    std::string_view m_text;
    size_t m_pos = 0;
    char m_tokenType = 0;
    std::string_view m_token;
    std::string m_buffer;
    // An unescaped member name, kept while its colon and value are read.
    std::string m_name;
    int m_depth = 0;
    // The value of the last digits-only token, read while scanning it.
    uint64_t m_digitsValue = 0;
    bool m_digitsOverflow = false;
};

namespace NembraJSON {
// The expression builder for string values written by ToJSONString: double
// quotes become single quotes, line breaks become \n, and placeholders
// ("%1"), name references ("%Name") and patterns (leading code 3) are written
// unquoted. Not an escaper: the wire literal is the global StrToJSON of
// NembraLib, which shares the name and lives outside this namespace.
std::string StrToJSON(std::string_view s);
} // namespace NembraJSON

// Parses `s` as one JSON value (typically a quoted, escaped string) and gives
// its readable text.
std::string UnencodeJSONStr(std::string_view s);

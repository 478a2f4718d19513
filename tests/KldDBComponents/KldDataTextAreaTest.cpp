#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "Components/KldDBComponents/KldData.h"
#include "Components/KldDBComponents/KldDataRowPool.h"
#include "Components/KldDBComponents/KldDataTableIds.h"
#include "Components/KldDBComponents/KldDataTextArea.h"

namespace
{

// A text area over bytes of its own, zero-filled (every entry empty).
struct Area
{
    std::vector<uint8_t> bytes;
    TKldTextArea area;

    Area(size_t capacity, int entries) : bytes(capacity, 0), area(bytes.data(), capacity, entries), count(entries) {}
    Area(const Area&) = delete;
    ~Area() { area.ReleaseOutside(); }

    std::vector<std::string> Texts() const
    {
        std::vector<std::string> texts;
        for (int i = 0; i < Count(); ++i)
            texts.emplace_back(area.Text(i));
        return texts;
    }
    int Count() const { return count; }
    int count;
};

std::unique_ptr<Area> MakeArea(size_t capacity, int count)
{
    return std::make_unique<Area>(capacity, count);
}

// Whether entry `index` lies inside the area's own bytes (is inline).
bool Inline(const Area& a, int index)
{
    auto* value = static_cast<const uint8_t*>(a.area.Value(index));
    return value >= a.bytes.data() && value < a.bytes.data() + a.bytes.size();
}

} // namespace

TEST(KldTextArea, ZeroFilledAreaHoldsEmptyTexts)
{
    auto a = MakeArea(TKldTextArea::MinimumCapacity(3), 3);
    EXPECT_EQ(a->Texts(), (std::vector<std::string>{"", "", ""}));
    EXPECT_EQ(a->area.Used(), 3u);
    EXPECT_EQ(a->area.Needed(), 3u);
}

TEST(KldTextArea, WritesKeepTheOtherEntries)
{
    struct Step
    {
        int Index;
        std::string Text;
        std::vector<std::string> Expected;
    };
    auto a = MakeArea(64, 3);
    const Step steps[] = {
        {1, "middle", {"", "middle", ""}},
        {0, "first", {"first", "middle", ""}},
        {2, "last one", {"first", "middle", "last one"}},
        {1, "a much longer middle", {"first", "a much longer middle", "last one"}},
        {1, "", {"first", "", "last one"}},
        {0, std::string("\0z\0", 3), {std::string("\0z\0", 3), "", "last one"}},
    };
    for (const Step& s : steps)
    {
        SCOPED_TRACE(s.Text);
        a->area.Write(s.Index, s.Text);
        EXPECT_EQ(a->Texts(), s.Expected);
        EXPECT_LE(a->area.Used(), 64u);
    }
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(Inline(*a, i));
}

TEST(KldTextArea, TextThatDoesNotFitGoesOutside)
{
    auto a = MakeArea(20, 2);
    a->area.Write(0, "short");
    a->area.Write(1, "a text that is longer than the area");
    EXPECT_EQ(a->Texts(), (std::vector<std::string>{"short", "a text that is longer than the area"}));
    EXPECT_TRUE(Inline(*a, 0));
    EXPECT_FALSE(Inline(*a, 1));
    EXPECT_EQ(a->area.Used(), 6u + TKldTextArea::OutsideEntrySize);
    // What it would take inline: the learning of new rows' room uses it.
    EXPECT_EQ(a->area.Needed(), 6u + 36u);
    // Shrinking brings it back inline.
    a->area.Write(1, "tiny");
    EXPECT_TRUE(Inline(*a, 1));
    EXPECT_EQ(a->Texts(), (std::vector<std::string>{"short", "tiny"}));
}

TEST(KldTextArea, LongTextsAlwaysGoOutside)
{
    auto a = MakeArea(4096, 1);
    std::string limit(TKldTextArea::InlineLimit, 'a');
    a->area.Write(0, limit);
    EXPECT_TRUE(Inline(*a, 0));
    std::string beyond(TKldTextArea::InlineLimit + 1, 'b');
    a->area.Write(0, beyond);
    EXPECT_FALSE(Inline(*a, 0));
    EXPECT_EQ(a->area.Text(0), beyond);
    EXPECT_EQ(a->area.Needed(), TKldTextArea::OutsideEntrySize);
}

TEST(KldTextArea, PointerEntryEvictsTheLargestOtherInlineText)
{
    // Two entries in the least room: a 16-byte text fills it; a long second
    // text needs a pointer entry, which fits only once the first goes outside.
    auto a = MakeArea(TKldTextArea::MinimumCapacity(2), 2);
    a->area.Write(0, "Resident 0000001");
    EXPECT_TRUE(Inline(*a, 0));
    a->area.Write(1, "another long text of twenty-odd bytes");
    EXPECT_EQ(a->Texts(), (std::vector<std::string>{"Resident 0000001", "another long text of twenty-odd bytes"}));
    EXPECT_FALSE(Inline(*a, 0));
    EXPECT_FALSE(Inline(*a, 1));
    EXPECT_LE(a->area.Used(), a->bytes.size());
}

TEST(KldTextArea, EveryWriteSucceedsInTheLeastRoom)
{
    // Random lengths over five entries in the least room: the area never
    // overflows and always reads back what was written last.
    const int count = 5;
    auto a = MakeArea(TKldTextArea::MinimumCapacity(count), count);
    std::vector<std::string> expected(count);
    unsigned seed = 7;
    for (int step = 0; step < 2000; ++step)
    {
        seed = seed * 1103515245u + 12345u;
        int index = static_cast<int>((seed >> 8) % count);
        size_t length = (seed >> 16) % 40;
        std::string text(length, static_cast<char>('a' + step % 26));
        a->area.Write(index, text);
        expected[static_cast<size_t>(index)] = text;
        ASSERT_EQ(a->Texts(), expected) << "step " << step;
        ASSERT_LE(a->area.Used(), a->bytes.size());
    }
}

TEST(KldTextArea, WriteOfItsOwnTextMovesSafely)
{
    auto a = MakeArea(64, 3);
    a->area.Write(0, "alpha");
    a->area.Write(1, "beta");
    a->area.Write(2, "gamma");
    // The source lies in the area and moves while entry 0 grows.
    a->area.Write(0, a->area.Text(2));
    a->area.Write(2, a->area.Text(1));
    a->area.Write(1, std::string(a->area.Text(0)) + "!");
    EXPECT_EQ(a->Texts(), (std::vector<std::string>{"gamma", "gamma!", "beta"}));
}

TEST(KldTextArea, CopySharesOutsideTextsAndFitsSmallerAreas)
{
    auto source = MakeArea(32, 3);
    source->area.Write(0, "kept inline");
    source->area.Write(1, std::string(300, 'x'));
    source->area.Write(2, "and this");
    struct Case
    {
        const char* Desc;
        size_t Capacity;
    };
    for (Case c : {Case{"as large", 32}, Case{"larger", 100}, Case{"least room", TKldTextArea::MinimumCapacity(3)}})
    {
        SCOPED_TRACE(c.Desc);
        auto target = MakeArea(c.Capacity, 3);
        target->area.Write(0, "old text to release");
        target->area.CopyFrom(source->area);
        EXPECT_EQ(target->Texts(), source->Texts());
        // The long text is the same shared value, not a copy.
        EXPECT_EQ(target->area.Value(1), source->area.Value(1));
        EXPECT_LE(target->area.Used(), c.Capacity);
    }
    EXPECT_EQ(source->Texts()[0], "kept inline");
}

TEST(KldTextArea, ResetEmptiesEveryEntry)
{
    auto a = MakeArea(40, 2);
    a->area.Write(0, std::string(500, 'q'));
    a->area.Write(1, "x");
    a->area.Reset();
    EXPECT_EQ(a->Texts(), (std::vector<std::string>{"", ""}));
    EXPECT_EQ(a->area.Used(), 2u);
}

TEST(KldRowPool, ReusesFreedBlocksBySizeAndReleasesSlabsWhenEmpty)
{
    TKldRowPool pool;
    void* a = pool.Allocate(56);
    void* b = pool.Allocate(50); // rounds to 56 too
    void* c = pool.Allocate(64);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(a) % TKldRowPool::Granularity, 0u);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(b) % TKldRowPool::Granularity, 0u);
    EXPECT_EQ(static_cast<uint8_t*>(b) - static_cast<uint8_t*>(a), 56);
    EXPECT_EQ(pool.SlabCount(), 1u);
    pool.Free(a, 56);
    EXPECT_EQ(pool.Allocate(64), static_cast<uint8_t*>(c) + 64); // another size: not the freed block
    EXPECT_EQ(pool.Allocate(49), a);                             // same block size: reused
    EXPECT_EQ(pool.LiveBlocks(), 4u);
    pool.Free(a, 56);
    pool.Free(b, 50);
    pool.Free(c, 64);
    pool.Free(static_cast<uint8_t*>(c) + 64, 64);
    EXPECT_EQ(pool.LiveBlocks(), 0u);
    EXPECT_EQ(pool.SlabCount(), 0u);
}

TEST(KldRowPool, SlabsFillUpAndLargeBlocksComeFromTheHeap)
{
    TKldRowPool pool;
    std::vector<void*> blocks;
    std::set<void*> distinct;
    const size_t perSlab = TKldRowPool::SlabSize / 1000;
    for (size_t i = 0; i < perSlab * 3; ++i)
    {
        blocks.push_back(pool.Allocate(1000));
        std::memset(blocks.back(), int(i), 1000); // every block writable (ASan watches)
        distinct.insert(blocks.back());
    }
    EXPECT_EQ(distinct.size(), blocks.size());
    EXPECT_EQ(pool.SlabCount(), 3u);
    void* large = pool.Allocate(TKldRowPool::LargeBlock + 1);
    std::memset(large, 0, TKldRowPool::LargeBlock + 1);
    EXPECT_EQ(pool.SlabCount(), 3u);
    pool.Free(large, TKldRowPool::LargeBlock + 1);
    for (void* block : blocks)
        pool.Free(block, 1000);
    EXPECT_EQ(pool.SlabCount(), 0u);
}

TEST(KldTableIds, NumbersAreReusedAndFindTheirTable)
{
    uint16_t first;
    {
        TKldDataContainer container;
        TKldDataTable* table = container.Tables().Add();
        first = table->Id();
        EXPECT_EQ(KldTableIds::Table(first), table);
        TKldDataTable* other = container.Tables().Add();
        EXPECT_NE(other->Id(), first);
        EXPECT_EQ(KldTableIds::Table(other->Id()), other);
    }
    EXPECT_EQ(KldTableIds::Table(first), nullptr);
    TKldDataContainer container;
    TKldDataTable* again = container.Tables().Add();
    EXPECT_EQ(KldTableIds::Table(again->Id()), again);
}

#include "platform/TypInfo.h"

#include "platform/Variants.h"
#include "support/ErrorOf.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

enum TShiftKind
{
    skMorning,
    skAfternoon,
    skNight
};

class TStaffEntry : public TObject, public IPublished
{
  public:
    std::string ClassName() const override { return "TStaffEntry"; }

    const std::string& Name() const { return m_name; }
    void SetName(const std::string& value) { m_name = value; }
    int Room() const { return m_room; }
    void SetRoom(int value) { m_room = value; }
    int64_t Badge() const { return m_badge; }
    void SetBadge(int64_t value) { m_badge = value; }
    bool Active() const { return m_active; }
    void SetActive(bool value) { m_active = value; }
    TShiftKind Shift() const { return m_shift; }
    void SetShift(TShiftKind value) { m_shift = value; }
    std::string Code() const { return "S" + std::to_string(m_room); }

    static const TPropList& ClassProps()
    {
        static const TPropList props = [] {
            TPropList list;
            TPropDeclarer<TStaffEntry>(list)
                .String("Name", &TStaffEntry::Name, &TStaffEntry::SetName)
                .Integer("Room", &TStaffEntry::Room, &TStaffEntry::SetRoom)
                .Int64("Badge", &TStaffEntry::Badge, &TStaffEntry::SetBadge)
                .Boolean("Active", &TStaffEntry::Active, &TStaffEntry::SetActive)
                .Enumeration<TShiftKind>("Shift", {"skMorning", "skAfternoon", "skNight"}, &TStaffEntry::Shift,
                                         &TStaffEntry::SetShift)
                .String("Code", &TStaffEntry::Code, nullptr);
            return list;
        }();
        return props;
    }
    const TPropList& PublishedProps() const override { return ClassProps(); }

  private:
    std::string m_name;
    int m_room = 0;
    int64_t m_badge = 0;
    bool m_active = false;
    TShiftKind m_shift = skMorning;
};

// A derived class adds a property and redeclares one of its base's.
class TNurseEntry : public TStaffEntry
{
  public:
    std::string ClassName() const override { return "TNurseEntry"; }
    const std::string& Ward() const { return m_ward; }
    void SetWard(const std::string& value) { m_ward = value; }

    static const TPropList& ClassProps()
    {
        static const TPropList props = [] {
            TPropList list(&TStaffEntry::ClassProps());
            TPropDeclarer<TNurseEntry>(list)
                .String("Ward", &TNurseEntry::Ward, &TNurseEntry::SetWard)
                .String("Code", [](const TNurseEntry& n) { return "N" + n.Ward(); }, nullptr);
            return list;
        }();
        return props;
    }
    const TPropList& PublishedProps() const override { return ClassProps(); }

  private:
    std::string m_ward;
};

TEST(TypInfo, TextsBothWays)
{
    struct Case
    {
        const char* Desc;
        std::string Property;
        std::string Written;
        std::string ReadBack;
    };
    const Case cases[] = {
        {"string unchanged", "Name", " Anna  Berg ", " Anna  Berg "},
        {"integer in decimal", "Room", "-12", "-12"},
        {"integer from float text, half to even", "Room", "12.5", "12"},
        {"integer from Boolean text", "Room", "True", "-1"},
        {"int64 beyond 32 bits", "Badge", "9000000000", "9000000000"},
        {"Boolean by name", "Active", "True", "True"},
        {"Boolean name in any case", "Active", "fALSE", "False"},
        {"enumeration by name", "Shift", "skNight", "skNight"},
        {"enumeration name in any case", "shift", "SKAFTERNOON", "skAfternoon"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        TStaffEntry entry;
        SetPropValue(entry, c.Property, c.Written);
        EXPECT_EQ(GetPropValue(entry, c.Property), c.ReadBack);
    }
}

TEST(TypInfo, UnconvertibleTextsAndMissingNamesRaise)
{
    struct Case
    {
        const char* Desc;
        std::string Property;
        std::string Written;
        std::string Error;
    };
    const Case cases[] = {
        {"letters into an integer", "Room", "abc", "Could not convert variant of type (String) into type (Integer)"},
        {"empty text into an integer", "Room", "", "Could not convert variant of type (String) into type (Integer)"},
        {"integer out of range", "Room", "3000000000",
         "Overflow while converting variant of type (String) into type (Integer)"},
        {"Boolean from a number", "Active", "1", "Invalid property element: 1"},
        {"unknown enumeration value", "Shift", "skEvening", "Invalid property element: skEvening"},
        {"unknown name", "Salary", "10", "Property Salary does not exist"},
        {"read-only property", "Code", "X", "Property Code is read-only"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        TStaffEntry entry;
        entry.SetRoom(7);
        entry.SetShift(skNight);
        EXPECT_EQ(ErrorOf([&] { SetPropValue(entry, c.Property, c.Written); }), c.Error);
        // A refused text leaves the value as it was.
        EXPECT_EQ(entry.Room(), 7);
        EXPECT_EQ(entry.Shift(), skNight);
    }
    TStaffEntry entry;
    EXPECT_THROW(GetPropValue(entry, "Salary"), EPropertyError);
    EXPECT_THROW(SetPropValue(entry, "Shift", "x"), EPropertyConvertError);
    EXPECT_THROW(SetPropValue(entry, "Room", "x"), EVariantTypeCastError);
}

TEST(TypInfo, DerivedListsChainAndRedeclare)
{
    TNurseEntry nurse;
    nurse.SetRoom(3);
    nurse.SetWard("Birch");
    EXPECT_EQ(GetPropValue(nurse, "room"), "3");      // the base's declaration
    EXPECT_EQ(GetPropValue(nurse, "Code"), "NBirch"); // redeclared: the derived one wins
    SetPropValue(nurse, "WARD", "Oak");
    EXPECT_EQ(nurse.Ward(), "Oak");

    std::vector<std::string> names;
    for (const TPropInfo* info : nurse.PublishedProps().All())
        names.push_back(info->Name());
    EXPECT_EQ(names, (std::vector<std::string>{"Name", "Room", "Badge", "Active", "Shift", "Code", "Ward"}));

    const TPropInfo* shift = GetPropInfo(nurse, "Shift");
    ASSERT_NE(shift, nullptr);
    EXPECT_EQ(shift->Kind(), tkEnumeration);
    EXPECT_EQ(shift->EnumNames().size(), 3u);
    EXPECT_FALSE(GetPropInfo(nurse, "Code")->Writable());
    EXPECT_TRUE(IsPublishedProp(nurse, "badge"));
}

TEST(TypInfo, ObjectsThatPublishNothing)
{
    TObject plain;
    EXPECT_EQ(GetPropList(plain), nullptr);
    EXPECT_FALSE(IsPublishedProp(plain, "Name"));
    EXPECT_EQ(ErrorOf([&] { GetPropValue(plain, "Name"); }), "Property Name does not exist");
    // A base class's property used on an object of another class is refused,
    // not read through the wrong type.
    const TPropInfo* name = TStaffEntry::ClassProps().Find("Name");
    ASSERT_NE(name, nullptr);
    EXPECT_THROW(name->GetText(plain), EPropertyError);
}

TEST(TypInfo, EnumNames)
{
    const std::vector<std::string> names{"taLeftJustify", "taRightJustify", "taCenter"};
    EXPECT_EQ(GetEnumName(names, 2), "taCenter");
    EXPECT_EQ(GetEnumName(names, 3), "");
    EXPECT_EQ(GetEnumName(names, -1), "");
    EXPECT_EQ(GetEnumValue(names, "TARIGHTJUSTIFY"), 1);
    EXPECT_EQ(GetEnumValue(names, "taRight"), -1);
}

} // namespace

// Colour texts: constant names in any case, "$BBGGRR" and decimal numbers.
#include "platform/ColorNames.h"

#include "platform/SysUtils.h"
#include "support/ErrorOf.h"

#include <gtest/gtest.h>

TEST(ColorNames, NamesNumbersAndBadText)
{
    struct Case
    {
        const char* Text;
        TColor Color;
    } cases[] = {
        {"clRed", 0x0000FF},    {"CLBLUE", 0xFF0000},        {"clwindow", clWindow}, {"clBtnFace", clBtnFace},
        {"$00FF80", 0x00FF80},  {"$FF0000", 0xFF0000},       {"255", 0x0000FF},      {"clMoneyGreen", 0xC0DCC0},
        {"-16777211", clWindow}, {"clNone", clNone},
    };
    for (const Case& c : cases)
        EXPECT_EQ(StringToColor(c.Text), c.Color) << c.Text;
    TColor color = 0;
    EXPECT_FALSE(IdentToColor("Red", color));
    EXPECT_EQ(ErrorOf<EConvertError>([] { StringToColor("clPink"); }), "'clPink' is not a valid integer value");
    EXPECT_EQ(ErrorOf<EConvertError>([] { StringToColor(""); }), "'' is not a valid integer value");
}

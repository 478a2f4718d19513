#include "platform/ColorNames.h"

#include "platform/SysUtils.h"

#include <array>
#include <utility>

namespace {

struct TColorName
{
    const char* Name;
    TColor Color;
};

constexpr std::array<TColorName, 52> kColorNames{{
    {"clBlack", clBlack},
    {"clMaroon", clMaroon},
    {"clGreen", clGreen},
    {"clOlive", clOlive},
    {"clNavy", clNavy},
    {"clPurple", clPurple},
    {"clTeal", clTeal},
    {"clGray", clGray},
    {"clSilver", clSilver},
    {"clRed", clRed},
    {"clLime", clLime},
    {"clYellow", clYellow},
    {"clBlue", clBlue},
    {"clFuchsia", clFuchsia},
    {"clAqua", clAqua},
    {"clWhite", clWhite},
    {"clMoneyGreen", clMoneyGreen},
    {"clSkyBlue", clSkyBlue},
    {"clCream", clCream},
    {"clMedGray", clMedGray},
    {"clActiveBorder", clActiveBorder},
    {"clActiveCaption", clActiveCaption},
    {"clAppWorkSpace", clAppWorkSpace},
    {"clBackground", clBackground},
    {"clBtnFace", clBtnFace},
    {"clBtnHighlight", clBtnHighlight},
    {"clBtnShadow", clBtnShadow},
    {"clBtnText", clBtnText},
    {"clCaptionText", clCaptionText},
    {"clDefault", clDefault},
    {"clGradientActiveCaption", clGradientActiveCaption},
    {"clGradientInactiveCaption", clGradientInactiveCaption},
    {"clGrayText", clGrayText},
    {"clHighlight", clHighlight},
    {"clHighlightText", clHighlightText},
    {"clHotLight", clHotLight},
    {"clInactiveBorder", clInactiveBorder},
    {"clInactiveCaption", clInactiveCaption},
    {"clInactiveCaptionText", clInactiveCaptionText},
    {"clInfoBk", clInfoBk},
    {"clInfoText", clInfoText},
    {"clMenu", clMenu},
    {"clMenuBar", clMenuBar},
    {"clMenuHighlight", clMenuHighlight},
    {"clMenuText", clMenuText},
    {"clNone", clNone},
    {"clScrollBar", clScrollBar},
    {"cl3DDkShadow", cl3DDkShadow},
    {"cl3DLight", cl3DLight},
    {"clWindow", clWindow},
    {"clWindowFrame", clWindowFrame},
    {"clWindowText", clWindowText},
}};

} // namespace

bool IdentToColor(const std::string& Text, TColor& Color)
{
    for (const TColorName& entry : kColorNames)
        if (SameText(Text, entry.Name)) {
            Color = entry.Color;
            return true;
        }
    return false;
}

TColor StringToColor(const std::string& Text)
{
    TColor color = 0;
    if (IdentToColor(Text, color))
        return color;
    return StrToInt(Text);
}

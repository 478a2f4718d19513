#include "platform/Colors.h"

#include <QColor>
#include <QGuiApplication>
#include <QPalette>

namespace {

struct TSysColorRole
{
    int Index;
    QPalette::ColorGroup Group;
    QPalette::ColorRole Role;
};

// Which palette entry stands for each system colour. Entries without a
// counterpart in a Qt palette (desktop, caption gradients) keep the classic
// values below.
constexpr TSysColorRole SysColorRoles[] = {
    {COLOR_SCROLLBAR, QPalette::Active, QPalette::Button},
    {COLOR_ACTIVECAPTION, QPalette::Active, QPalette::Highlight},
    {COLOR_INACTIVECAPTION, QPalette::Inactive, QPalette::Highlight},
    {COLOR_MENU, QPalette::Active, QPalette::Window},
    {COLOR_WINDOW, QPalette::Active, QPalette::Base},
    {COLOR_WINDOWFRAME, QPalette::Active, QPalette::Shadow},
    {COLOR_MENUTEXT, QPalette::Active, QPalette::WindowText},
    {COLOR_WINDOWTEXT, QPalette::Active, QPalette::Text},
    {COLOR_CAPTIONTEXT, QPalette::Active, QPalette::HighlightedText},
    {COLOR_ACTIVEBORDER, QPalette::Active, QPalette::Button},
    {COLOR_INACTIVEBORDER, QPalette::Inactive, QPalette::Button},
    {COLOR_APPWORKSPACE, QPalette::Active, QPalette::Dark},
    {COLOR_HIGHLIGHT, QPalette::Active, QPalette::Highlight},
    {COLOR_HIGHLIGHTTEXT, QPalette::Active, QPalette::HighlightedText},
    {COLOR_BTNFACE, QPalette::Active, QPalette::Button},
    {COLOR_BTNSHADOW, QPalette::Active, QPalette::Dark},
    {COLOR_GRAYTEXT, QPalette::Disabled, QPalette::Text},
    {COLOR_BTNTEXT, QPalette::Active, QPalette::ButtonText},
    {COLOR_INACTIVECAPTIONTEXT, QPalette::Inactive, QPalette::HighlightedText},
    {COLOR_BTNHIGHLIGHT, QPalette::Active, QPalette::Light},
    {COLOR_3DDKSHADOW, QPalette::Active, QPalette::Shadow},
    {COLOR_3DLIGHT, QPalette::Active, QPalette::Midlight},
    {COLOR_INFOTEXT, QPalette::Active, QPalette::ToolTipText},
    {COLOR_INFOBK, QPalette::Active, QPalette::ToolTipBase},
    {COLOR_HOTLIGHT, QPalette::Active, QPalette::Link},
    {COLOR_MENUHILIGHT, QPalette::Active, QPalette::Highlight},
    {COLOR_MENUBAR, QPalette::Active, QPalette::Window},
};

// The classic desktop scheme, by index.
constexpr TColor ClassicSysColors[31] = {0xC8D0D4, 0xA56E3A, 0x6A240A, 0x808080, 0xFFFFFF, 0xFFFFFF, 0x000000,
                                         0x000000, 0x000000, 0xFFFFFF, 0xC8D0D4, 0xC8D0D4, 0x808080, 0x6A240A,
                                         0xFFFFFF, 0xC8D0D4, 0x808080, 0x808080, 0x000000, 0xC8D0D4, 0xFFFFFF,
                                         0x404040, 0xC8D0D4, 0x000000, 0xE1FFFF, 0xB5B5B5, 0x800000, 0xF0CAA6,
                                         0xC0C0C0, 0x6A240A, 0xC8D0D4};

} // namespace

TColor GetSysColor(int index)
{
    if (index < 0 || index >= static_cast<int>(std::size(ClassicSysColors)))
        return clBlack;
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        const QPalette palette = QGuiApplication::palette();
        for (const TSysColorRole& r : SysColorRoles)
            if (r.Index == index)
                return ColorFromQColor(palette.color(r.Group, r.Role));
    }
    return ClassicSysColors[index];
}

TColor ColorToRGB(TColor color)
{
    if (IsSystemColor(color))
        return GetSysColor(color & 0xFF);
    return color;
}

QColor ToQColor(TColor color)
{
    if (color == clNone)
        return QColor(Qt::transparent);
    const TColor rgb = ColorToRGB(color);
    return QColor(GetRValue(rgb), GetGValue(rgb), GetBValue(rgb));
}

TColor ColorFromQColor(const QColor& color)
{
    return RGB(color.red(), color.green(), color.blue());
}

#include "tasks/StoredColor.h"

namespace quillpad {

namespace {

NamedColor Plain(const char *name, int red, int green, int blue)
{
    return {QLatin1String(name), QColorToStored(QColor(red, green, blue))};
}

NamedColor System(const char *name, int number)
{
    return {QLatin1String(name), SystemColorValue(number)};
}

}  // namespace

QColor StoredColorToQColor(qint32 value, const QPalette &palette)
{
    const auto bits = static_cast<quint32>(value);
    if (IsSystemColor(value)) {
        // The classic system colour numbers mapped onto the desktop's palette.
        switch (bits & 0xFFu) {
        case 0: return palette.color(QPalette::Base);              // scroll bar
        case 1: case 2: case 27: return palette.color(QPalette::Highlight);  // desktop, active caption
        case 3: case 28: return palette.color(QPalette::Inactive, QPalette::Highlight);
        case 4: case 15: case 22: case 30: return palette.color(QPalette::Button);  // menu, face, light, menu bar
        case 5: return palette.color(QPalette::Base);              // window
        case 6: return palette.color(QPalette::Shadow);            // frame
        case 7: return palette.color(QPalette::WindowText);        // menu text
        case 8: return palette.color(QPalette::Text);              // window text
        case 9: return palette.color(QPalette::HighlightedText);   // caption text
        case 10: case 11: return palette.color(QPalette::Mid);     // borders
        case 12: return palette.color(QPalette::Dark);             // app workspace
        case 13: case 29: return palette.color(QPalette::Highlight);  // highlight, menu highlight
        case 14: return palette.color(QPalette::HighlightedText);
        case 16: return palette.color(QPalette::Mid);              // button shadow
        case 17: return palette.color(QPalette::Disabled, QPalette::Text);  // grey text
        case 18: return palette.color(QPalette::ButtonText);
        case 19: return palette.color(QPalette::Inactive, QPalette::HighlightedText);
        case 20: return palette.color(QPalette::Light);            // 3D highlight
        case 21: return palette.color(QPalette::Shadow);           // 3D dark shadow
        case 23: return palette.color(QPalette::ToolTipText);
        case 24: return palette.color(QPalette::ToolTipBase);
        case 26: return palette.color(QPalette::Link);             // hot light
        default: return palette.color(QPalette::Window);
        }
    }
    return QColor(bits & 0xFF, (bits >> 8) & 0xFF, (bits >> 16) & 0xFF);
}

qint32 QColorToStored(const QColor &color)
{
    const QColor rgb = color.toRgb();
    return static_cast<qint32>(static_cast<quint32>(rgb.red()) | static_cast<quint32>(rgb.green()) << 8 |
                               static_cast<quint32>(rgb.blue()) << 16);
}

bool IsSystemColor(qint32 value)
{
    return (static_cast<quint32>(value) & 0xFF000000u) == 0xFF000000u;
}

qint32 SystemColorValue(int number)
{
    return static_cast<qint32>(0xFF000000u | (static_cast<quint32>(number) & 0xFFu));
}

const QList<NamedColor> &StandardColors()
{
    static const QList<NamedColor> colors{
        Plain("Black", 0, 0, 0),        Plain("Maroon", 128, 0, 0),   Plain("Green", 0, 128, 0),
        Plain("Olive", 128, 128, 0),    Plain("Navy", 0, 0, 128),     Plain("Purple", 128, 0, 128),
        Plain("Teal", 0, 128, 128),     Plain("Gray", 128, 128, 128), Plain("Silver", 192, 192, 192),
        Plain("Red", 255, 0, 0),        Plain("Lime", 0, 255, 0),     Plain("Yellow", 255, 255, 0),
        Plain("Blue", 0, 0, 255),       Plain("Fuchsia", 255, 0, 255), Plain("Aqua", 0, 255, 255),
        Plain("White", 255, 255, 255),
    };
    return colors;
}

const QList<NamedColor> &ExtendedColors()
{
    static const QList<NamedColor> colors{
        Plain("Money Green", 192, 220, 192),
        Plain("Sky Blue", 166, 202, 240),
        Plain("Cream", 255, 251, 240),
        Plain("Medium Gray", 160, 160, 164),
    };
    return colors;
}

const QList<NamedColor> &SystemColors()
{
    // Number 25 has no colour of its own.
    static const QList<NamedColor> colors{
        System("Scroll Bar", 0),
        System("Background", 1),
        System("Active Caption", 2),
        System("Inactive Caption", 3),
        System("Menu", 4),
        System("Window", 5),
        System("Window Frame", 6),
        System("Menu Text", 7),
        System("Window Text", 8),
        System("Caption Text", 9),
        System("Active Border", 10),
        System("Inactive Border", 11),
        System("Application Workspace", 12),
        System("Highlight", 13),
        System("Highlight Text", 14),
        System("Button Face", 15),
        System("Button Shadow", 16),
        System("Gray Text", 17),
        System("Button Text", 18),
        System("Inactive Caption Text", 19),
        System("Button Highlight", 20),
        System("3D Dark Shadow", 21),
        System("3D Light", 22),
        System("Info Text", 23),
        System("Info Background", 24),
        System("Hot Light", 26),
        System("Gradient Active Caption", 27),
        System("Gradient Inactive Caption", 28),
        System("Menu Highlight", 29),
        System("Menu Bar", 30),
    };
    return colors;
}

}  // namespace quillpad

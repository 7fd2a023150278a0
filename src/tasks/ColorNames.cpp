#include "tasks/ColorNames.h"

namespace quillpad {

namespace {

NamedColor Plain(const char *name, int red, int green, int blue)
{
    return {QLatin1String(name), StoredRgb(red, green, blue)};
}

NamedColor System(const char *name, int number)
{
    return {QLatin1String(name), SystemColorValue(number)};
}

// A name as it is matched: lower case, no blanks.
QString Folded(const QString &name)
{
    QString folded = name.toLower();
    folded.remove(QLatin1Char(' '));
    return folded;
}

}  // namespace

qint32 StoredRgb(int red, int green, int blue)
{
    return static_cast<qint32>(static_cast<quint32>(red & 0xFF) | static_cast<quint32>(green & 0xFF) << 8 |
                               static_cast<quint32>(blue & 0xFF) << 16);
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

std::optional<qint32> ReadColorName(const QString &text)
{
    const QString wanted = Folded(text.trimmed());
    if (wanted == QLatin1String("default"))
        return 0;
    if (wanted.size() == 7 && wanted.startsWith(QLatin1Char('#'))) {
        bool ok = false;
        const uint rgb = wanted.mid(1).toUInt(&ok, 16);
        if (ok)
            return StoredRgb(int(rgb >> 16), int(rgb >> 8), int(rgb));
        return std::nullopt;
    }
    for (const QList<NamedColor> *list : {&StandardColors(), &ExtendedColors(), &SystemColors()}) {
        for (const NamedColor &color : *list) {
            if (Folded(color.name) == wanted)
                return color.stored;
        }
    }
    return std::nullopt;
}

QString ColorNameOf(qint32 stored)
{
    if (stored == 0)
        return QStringLiteral("default");
    for (const QList<NamedColor> *list : {&StandardColors(), &ExtendedColors(), &SystemColors()}) {
        for (const NamedColor &color : *list) {
            if (color.stored == stored)
                return color.name;
        }
    }
    const auto bits = static_cast<quint32>(stored);
    if (IsSystemColor(stored))
        return QStringLiteral("System Color %1").arg(bits & 0xFFu);
    return QStringLiteral("#%1%2%3")
        .arg(bits & 0xFF, 2, 16, QLatin1Char('0'))
        .arg((bits >> 8) & 0xFF, 2, 16, QLatin1Char('0'))
        .arg((bits >> 16) & 0xFF, 2, 16, QLatin1Char('0'))
        .toUpper();
}

}  // namespace quillpad

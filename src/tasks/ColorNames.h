#pragma once
// Task colours by name, as the records store them: 0 the default look, 0x00BBGGRR a
// colour, and 0xFF0000nn the desktop's system colour number nn (negative as a signed
// number). The colour dialog lists these names; the command line reads and shows them.
// QtCore only; painting them is StoredColor's.

#include <QList>
#include <QString>

#include <optional>

namespace quillpad {

struct NamedColor {
    QString name;
    qint32 stored;  // as the records hold it
};

// A plain colour as stored. Black is stored as 0, so it shows the default look.
qint32 StoredRgb(int red, int green, int blue);

bool IsSystemColor(qint32 value);
qint32 SystemColorValue(int number);  // 0xFF0000nn

const QList<NamedColor> &StandardColors();  // the 16 standard colours, black first
const QList<NamedColor> &ExtendedColors();  // Money Green, Sky Blue, Cream, Medium Gray
const QList<NamedColor> &SystemColors();    // the desktop's system colours by name

// "default", a listed name in any case with or without its spaces ("sky blue",
// "SkyBlue"), or #RRGGBB; none for anything else.
std::optional<qint32> ReadColorName(const QString &text);
// "default", the listed name, "#RRGGBB", or "System Color n".
QString ColorNameOf(qint32 stored);

}  // namespace quillpad

#pragma once
// Task colours as the records store them: 0 the default look, 0x00BBGGRR a colour, and
// 0xFF0000nn the desktop's system colour number nn (negative as a signed number). The
// tree's painting and the colour dialog both read them here. Qt Gui only.

#include <QColor>
#include <QList>
#include <QPalette>
#include <QString>

namespace quillpad {

struct NamedColor {
    QString name;
    qint32 stored;  // as the records hold it
};

// The colour a stored value paints with; system colours come from the palette.
QColor StoredColorToQColor(qint32 value, const QPalette &palette);
// A plain colour as stored. Black is stored as 0, so it shows the default look.
qint32 QColorToStored(const QColor &color);

bool IsSystemColor(qint32 value);
qint32 SystemColorValue(int number);  // 0xFF0000nn

const QList<NamedColor> &StandardColors();  // the 16 standard colours, black first
const QList<NamedColor> &ExtendedColors();  // Money Green, Sky Blue, Cream, Medium Gray
const QList<NamedColor> &SystemColors();    // the desktop's system colours by name

}  // namespace quillpad

#pragma once
// Task colours as they paint (the stored values and their names are ColorNames'). The
// tree's painting and the colour dialog both read them here. Qt Gui only.

#include "tasks/ColorNames.h"

#include <QColor>
#include <QPalette>
#include <QString>

namespace quillpad {

// The colour a stored value paints with; system colours come from the palette.
QColor StoredColorToQColor(qint32 value, const QPalette &palette);
// A plain colour as stored. Black is stored as 0, so it shows the default look.
qint32 QColorToStored(const QColor &color);

}  // namespace quillpad

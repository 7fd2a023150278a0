#pragma once
// The row and toolbar pictures are drawn as light tints over white. Laid onto the
// palette's Base they keep that look on a light scheme (Base is white there) and become
// the same tints, lighter instead of darker, over a dark scheme's Base.

#include <QColor>
#include <QImage>
#include <QList>
#include <QPalette>

namespace quillpad {

// Light text on a dark base.
bool IsDarkScheme(const QPalette &palette);

QImage TintOntoBase(const QImage &picture, const QPalette &palette);

// The colours a picture paints from its top to its bottom (its first column: the
// pictures change only downwards), for measuring text against them.
QList<QColor> ColoursDown(const QImage &picture);

}  // namespace quillpad

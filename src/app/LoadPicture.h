#pragma once
// A picture that ships with the program, by its path in the program folder
// ("Images/groupBackground.bmp"). Raises "Unable to load the picture <path>".

#include <QPixmap>
#include <QString>

namespace quillpad {

QPixmap LoadPicture(const QString &relativePath);

}  // namespace quillpad

#include "app/LoadPicture.h"

#include "store/AppError.h"
#include "store/Paths.h"

namespace quillpad {

QPixmap LoadPicture(const QString &relativePath)
{
    const QString path = Paths::ProgramFolder() + relativePath;
    QPixmap picture(path);
    if (picture.isNull())
        throw AppError(QStringLiteral("Unable to load the picture %1").arg(path));
    return picture;
}

}  // namespace quillpad

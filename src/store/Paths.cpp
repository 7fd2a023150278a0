#include "store/Paths.h"

#include "store/AppError.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace quillpad {

namespace {

QString WithSlash(QString folder)
{
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

}  // namespace

namespace Paths {

QString ProgramFolder()
{
    return WithSlash(QCoreApplication::applicationDirPath());
}

QString DataFolder()
{
    QString folder = qEnvironmentVariable(DataFolderVariable);
    if (folder.isEmpty()) {
        const QFileInfo program(ProgramFolder());
        folder = program.isWritable()
                     ? program.absoluteFilePath()
                     : QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                           QStringLiteral("/ambrel-quillpad");
    }
    folder = WithSlash(QDir::cleanPath(QDir(folder).absolutePath()));
    if (!QDir().mkpath(folder))
        throw AppError(QStringLiteral("Unable to create the data folder %1").arg(folder));
    return folder;
}

QString DatabasePath()
{
    return DataFolder() + QStringLiteral("qvData.qvb");
}

QString SettingsPath()
{
    return DataFolder() + QStringLiteral("qvConf.ini");
}

QString TempFolder()
{
    return DataFolder() + QStringLiteral("Temp/");
}

}  // namespace Paths

}  // namespace quillpad

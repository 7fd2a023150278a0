#include "store/Paths.h"

#include "store/AppError.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <sys/stat.h>

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

bool IsOwnDataFile(const QString &path)
{
    struct stat target {};
    if (::stat(QFile::encodeName(path).constData(), &target) != 0)
        return false;  // a file that does not exist yet is nobody's
    const QString database = DatabasePath();
    for (const QString &own : {database, database + QStringLiteral("-wal"), database + QStringLiteral("-shm"),
                               SettingsPath()}) {
        struct stat file {};
        if (::stat(QFile::encodeName(own).constData(), &file) == 0 && file.st_dev == target.st_dev &&
            file.st_ino == target.st_ino)
            return true;
    }
    return false;
}

QString TempFolder()
{
    return DataFolder() + QStringLiteral("Temp/");
}

}  // namespace Paths

}  // namespace quillpad

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

QString ProgramFolderFor(const QString &executableFolder)
{
    const QDir executable(executableFolder);
    const QString folder = QFileInfo(executable, QStringLiteral("Images")).isDir()
                               ? executable.absolutePath()
                               : executable.absoluteFilePath(QStringLiteral(QUILLPAD_SHARE_FROM_BIN));
    return WithSlash(QDir::cleanPath(folder));
}

QString ProgramFolder()
{
    return ProgramFolderFor(QCoreApplication::applicationDirPath());
}

QString DataFolderFor(const QString &programFolder)
{
    QString folder = qEnvironmentVariable(DataFolderVariable);
    if (folder.isEmpty()) {
        const QDir program(programFolder);
        const bool portable = program.exists(QStringLiteral("qvData.qvb")) ||
                              program.exists(QString::fromLatin1(PortableMarker));
        folder = portable ? program.absolutePath()
                          : QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                                QStringLiteral("/ambrel-quillpad");
    }
    return WithSlash(QDir::cleanPath(QDir(folder).absolutePath()));
}

QString DataFolder()
{
    const QString folder = DataFolderFor(ProgramFolder());
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

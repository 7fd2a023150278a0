#include "FuzzDatabase.h"

#include "store/Paths.h"

#include <QDir>
#include <QFile>

namespace quillpad::fuzz {

FuzzFolder::FuzzFolder()
    : m_dir((QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath()) +
            QStringLiteral("/quillpad-fuzz-XXXXXX"))
{
    // The program's own files (backups are never written over them) live here too.
    qputenv(Paths::DataFolderVariable, m_dir.path().toUtf8());
}

void FuzzFolder::openEmpty(Connection &connection, const QString &name) const
{
    connection.close();
    const QString path = file(name);
    for (const QString &suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")})
        QFile::remove(path + suffix);
    connection.open(path);
}

}  // namespace quillpad::fuzz

#pragma once
// A fresh data folder for one test, set as QUILLPAD_HOME and removed afterwards.

#include "store/Paths.h"

#include <QTemporaryDir>
#include <QtGlobal>

namespace quillpad {

class TestDataFolder {
public:
    TestDataFolder() { qputenv(Paths::DataFolderVariable, m_dir.path().toUtf8()); }
    ~TestDataFolder() { qunsetenv(Paths::DataFolderVariable); }
    QString path() const { return m_dir.path(); }
    QString file(const QString &name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
};

}  // namespace quillpad

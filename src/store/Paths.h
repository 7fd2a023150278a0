#pragma once
// Where the program finds its files. Folder names end with "/".
//
// The program folder (the executable's) holds what ships with the program: Images/,
// Sounds/, the help page. The data folder holds qvData.qvb, qvConf.ini and Temp/: it is
// the program folder when that is writable (a portable copy), otherwise
// $XDG_DATA_HOME/ambrel-quillpad/. QUILLPAD_HOME overrides the data folder.

#include <QString>

namespace quillpad {

namespace Paths {

QString ProgramFolder();
QString DataFolder();  // created when missing
QString DatabasePath();
QString SettingsPath();
QString TempFolder();

// Whether the file is the task database, one of its -wal and -shm companions, or the
// settings file: the same file on disk, whatever name or link leads to it.
bool IsOwnDataFile(const QString &path);

inline constexpr const char *DataFolderVariable = "QUILLPAD_HOME";

}  // namespace Paths

}  // namespace quillpad

#pragma once
// Where the program finds its files. Folder names end with "/".
//
// The program folder holds what ships with the program: Images/, Sounds/, the manual.
// It is the executable's folder when that holds Images/ (a build or a portable copy),
// otherwise the installed share/ambrel-quillpad/ beside the executable's bin/.
//
// The data folder holds qvData.qvb, qvConf.ini and Temp/. It is the program folder when
// that already holds a qvData.qvb or a file named "portable" (a portable copy), otherwise
// $XDG_DATA_HOME/ambrel-quillpad/: a build folder that is cleaned or an uninstalled
// package never takes the user's tasks with it. QUILLPAD_HOME names the data folder
// over both.

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

// The two rules above for a given folder; the program and the command-line companion
// both come through ProgramFolder() and DataFolder().
QString ProgramFolderFor(const QString &executableFolder);
QString DataFolderFor(const QString &programFolder);  // not created

inline constexpr const char *DataFolderVariable = "QUILLPAD_HOME";
inline constexpr const char *PortableMarker = "portable";

}  // namespace Paths

}  // namespace quillpad

#pragma once
// The ten standard version values of a program file. Our own executables carry the
// values compiled in from the project; any other file has none to offer.

#include <QString>
#include <QStringList>

namespace quillpad {

class TQvVersionInfo {
public:
    enum Index {
        CompanyName = 0,
        FileDescription,
        FileVersion,
        InternalName,
        LegalCopyright,
        LegalTrademarks,
        OriginalFilename,
        ProductName,
        ProductVersion,
        Comments,
        ValueCount
    };
    static const char *const Keys[ValueCount];

    TQvVersionInfo();  // reads the running program's own values

    const QString &FilePath() const { return m_filePath; }
    void SetFilePath(const QString &path);  // reads again when the path changes

    void ReadVersionInfo();
    QString GetValue(int index) const;  // raises for an index outside 0..9
    bool available() const { return m_available; }

private:
    QString m_filePath;
    QStringList m_values;
    bool m_available = false;
};

}  // namespace quillpad

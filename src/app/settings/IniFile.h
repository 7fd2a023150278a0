#pragma once
// A small INI accessor with the classic private-profile rules: "[section]" headers,
// "key=value" lines, names without regard to case, values trimmed and stripped of one
// pair of enclosing quotes, at most 2047 characters read. Writes change one line and
// keep every other byte of the file as it was (bytes that are not UTF-8 too); the file
// appears with the first write.
//
// Open one at the moment of use; it reads the file when it is made.

#include "app/settings/SettingsKeys.h"

#include <QByteArrayList>
#include <QString>
#include <QStringList>

namespace quillpad {

class IniFile {
public:
    explicit IniFile(QString path);

    const QString &path() const { return m_path; }

    // A missing key gives the default; so does a value that does not parse.
    QString readString(const QString &section, const QString &key, const QString &defaultValue = {}) const;
    // Decimal, or hexadecimal after "0x"/"0X" when the value is longer than two characters.
    int readInteger(const QString &section, const QString &key, int defaultValue) const;
    // An integer: any non-zero value is true.
    bool readBool(const QString &section, const QString &key, bool defaultValue) const;
    bool keyExists(const QString &section, const QString &key) const;

    // Raise "Unable to write to <path>" when the file cannot be written (a full disk):
    // the file then stays as it was.
    void writeString(const QString &section, const QString &key, const QString &value);
    void writeInteger(const QString &section, const QString &key, int value);
    void writeBool(const QString &section, const QString &key, bool value);

    // The same through the key table.
    int read(const IntegerKey &key) const { return readInteger(key.section, key.name, key.defaultValue); }
    bool read(const BooleanKey &key) const { return readBool(key.section, key.name, key.defaultValue); }
    QString read(const TextKey &key) const { return readString(key.section, key.name); }
    void write(const IntegerKey &key, int value) { writeInteger(key.section, key.name, value); }
    void write(const BooleanKey &key, bool value) { writeBool(key.section, key.name, value); }
    void write(const TextKey &key, const QString &value) { writeString(key.section, key.name, value); }

    static constexpr int MaxValueLength = 2047;

private:
    struct Found {
        int sectionLine = -1;  // line of the "[section]" header
        int keyLine = -1;      // line of the key, when present
        int lastEntryLine = -1;  // last non-blank line of the section
    };
    Found find(const QString &section, const QString &key) const;
    QString lineText(qsizetype i) const;  // the line as text, without its CR
    void save() const;

    QString m_path;
    QByteArrayList m_lines;  // as read, a line's CR included
    QByteArray m_newline = "\n";  // the break new lines get: CR LF when the file has one
    bool m_finalBreak = true;
};

// Parses an integer setting by the rules above; false when it is not a number that fits.
bool ParseIniInteger(const QString &text, int &value);

}  // namespace quillpad

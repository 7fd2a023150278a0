#pragma once
// The program's entry in the per-user autostart folder of freedesktop desktops: the
// session starts the program when the entry is there and not hidden.

#include <QString>

namespace quillpad {

class AutostartEntry {
public:
    // $XDG_CONFIG_HOME/autostart/ambrel-quillpad.desktop (~/.config when unset), as the
    // environment says now.
    AutostartEntry();
    explicit AutostartEntry(QString path);

    const QString &path() const { return m_path; }
    // There and without Hidden=true.
    bool isOn() const;
    // On: writes an entry that starts the executable without arguments, unless an entry
    // is on already (the user's own edits stay). Off: removes the entry. Throws AppError
    // when the file cannot be written or removed.
    void setOn(bool on, const QString &executable) const;

    // The Exec value that starts the executable with no arguments.
    static QString execValue(const QString &executable);

private:
    QString m_path;
};

}  // namespace quillpad

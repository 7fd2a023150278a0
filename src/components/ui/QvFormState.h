#pragma once
// Keeps a window's normal (restored) rectangle and its maximised state in one section of
// an INI file across runs: restored every time the window shows, saved when it closes,
// and whenever its owner asks.
//
// A window manager may refuse a program's own placement (Wayland always does): the size
// and the maximised state still come back there, the position is the desktop's choice.

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QWidget>

#include <functional>

namespace quillpad {

class TQvFormState : public QObject {
    Q_OBJECT

public:
    using NotifyEvent = std::function<void(TQvFormState *sender)>;

    // Watches the owner's show and close events. Any owner other than a top-level
    // window makes every operation do nothing.
    explicit TQvFormState(QWidget *owner);
    ~TQvFormState() override;

    bool Enabled() const { return m_enabled; }
    void setEnabled(bool value) { m_enabled = value; }
    const QString &Section() const { return m_section; }
    void setSection(const QString &value) { m_section = value; }
    const QString &IniPath() const { return m_iniPath; }
    void setIniPath(const QString &value) { m_iniPath = value; }

    NotifyEvent OnSaveState;
    NotifyEvent OnRestoreState;

    void SaveState();
    void RestoreState();

    // Whether the owner's size is the user's to change (a window with a fixed size keeps
    // its own size and stores only its corner).
    bool sizeable() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool ownerIsForm() const;

    QPointer<QWidget> m_owner;
    bool m_enabled = true;
    QString m_section;
    QString m_iniPath;
};

}  // namespace quillpad

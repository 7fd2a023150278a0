#pragma once
// The shell's own dialogs as the main window asks them. The desktop shows the real
// dialog; tests answer from a script; with nothing installed every dialog answers
// Cancel and the others show nothing.

#include "sync/SyncRunner.h"

#include <QString>

namespace quillpad {

class AppSettings;
class WebLinks;

struct OptionsChoice {
    bool autoStart = false;
    bool runMinimized = false;
    bool addOpen = false;
    SyncSettings sync;
    QString syncPassword;  // typed in the dialog; empty: the stored one stays
};

class ShellDialogs {
public:
    virtual ~ShellDialogs() = default;

    // Starts from the given choice; on OK puts the answer into it and returns true.
    virtual bool askOptions(OptionsChoice &) { return false; }
    // "About...", with the program's version; its links open through `links`.
    virtual void showAbout(WebLinks &, const QString & /*version*/) {}
    // "Ambrel Update": Yes opens the page through `links`; the check box stores its
    // switch through `settings` at every click.
    virtual void offerUpdate(WebLinks &, AppSettings &) {}

    static ShellDialogs &instance()
    {
        static ShellDialogs windowless;
        return current() ? *current() : windowless;
    }
    static void install(ShellDialogs *dialogs) { current() = dialogs; }  // nullptr: Cancel

private:
    static ShellDialogs *&current()
    {
        static ShellDialogs *installed = nullptr;
        return installed;
    }
};

}  // namespace quillpad

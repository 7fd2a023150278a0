#pragma once
// The shell's own dialogs as the main window asks them (Options so far). The desktop
// shows the real dialog; tests answer from a script; with nothing installed every
// dialog answers Cancel.

namespace quillpad {

struct OptionsChoice {
    bool autoStart = false;
    bool runMinimized = false;
    bool addOpen = false;
};

class ShellDialogs {
public:
    virtual ~ShellDialogs() = default;

    // Starts from the given choice; on OK puts the answer into it and returns true.
    virtual bool askOptions(OptionsChoice &) { return false; }

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

#pragma once
// The shell's common actions: opening and hiding the window, staying on top, options,
// exit, and the Help menu. Their work arrives with the tray and help features; until
// then they exist with their captions so the menus are complete.

#include <QList>
#include <QObject>

class QAction;

namespace quillpad {

class TcommonDm : public QObject {
    Q_OBJECT

public:
    explicit TcommonDm(QObject *parent = nullptr);

    QAction *Action_UiOpen;
    QAction *Action_UiClose;
    QAction *Action_UiStayOnTop;
    QAction *Action_Options;
    QAction *Action_AddTask;
    QAction *Action_PasteTask;
    QAction *Action_Exit;

    QAction *HelpContents1;  // Help › Contents (F1)
    QAction *Action_Contact;
    QAction *Action_Suggestion;
    QAction *Action_Website;
    QAction *Action_Update;
    QAction *Action_Resources;
    QAction *Action_About;

    // The Help menu in order; a null entry is a separator.
    QList<QAction *> helpMenu() const;
};

}  // namespace quillpad

#pragma once
// "Options": start at login, run minimised, add a new task whenever the window opens;
// on a second page the sync with a CalDAV server, whose task collections the page can
// look up to choose one (asking first whether to trust a certificate nobody vouches
// for). The dialog only shows and collects the choices; storing them is the caller's.

#include "app/ShellDialogs.h"
#include "sync/CalDavDiscovery.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace quillpad {

class TOptionsDlg : public QDialog {
    Q_OBJECT

public:
    explicit TOptionsDlg(const OptionsChoice &start, QWidget *parent = nullptr);

    OptionsChoice answer() const;

    QCheckBox *cb_AutoStart;
    QCheckBox *cb_AutoMinimized;
    QCheckBox *cb_AddOpen;
    QCheckBox *cb_SyncEnabled;
    QLineEdit *Edt_SyncServer;
    QLineEdit *Edt_SyncUser;
    QLineEdit *Edt_SyncPassword;
    QComboBox *Cmb_SyncCollection;  // a path typed, or one of the collections found
    QPushButton *Btn_SyncFind;
    QLabel *Lbl_SyncFound;
    QLineEdit *Edt_SyncCertificate;
    QSpinBox *Spin_SyncInterval;
    QPushButton *Btn_Ok;
    QPushButton *Button2;

private:
    QWidget *generalPage(const OptionsChoice &start);
    QWidget *syncPage(const SyncSettings &sync);
    // Find: the server's task collections into the list.
    // Why the typed server address cannot be synced with; empty when it can, or is empty.
    QString serverAddressProblem() const;
    void findCollections();
    void found(const DiscoveryResult &result);
};

}  // namespace quillpad

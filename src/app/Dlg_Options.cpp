#include "app/Dlg_Options.h"

#include "app/SyncService.h"
#include "store/Prompter.h"
#include "sync/CalDavDiscovery.h"
#include "sync/DavClient.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

namespace quillpad {

namespace {

QLineEdit *Field(QWidget *parent, const char *name, const QString &text, const QString &placeholder)
{
    auto *edit = new QLineEdit(text, parent);
    edit->setObjectName(QLatin1String(name));
    edit->setPlaceholderText(placeholder);
    return edit;
}

}  // namespace

TOptionsDlg::TOptionsDlg(const OptionsChoice &start, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("OptionsDlg"));
    setWindowTitle(QStringLiteral("Options"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto *pages = new QTabWidget(this);
    pages->setObjectName(QStringLiteral("OptionsPages"));
    pages->addTab(generalPage(start), QStringLiteral("&General"));
    pages->addTab(syncPage(start.sync), QStringLiteral("S&ync"));

    auto *line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);

    Btn_Ok = new QPushButton(QStringLiteral("OK"), this);
    Btn_Ok->setObjectName(QStringLiteral("Btn_Ok"));
    Btn_Ok->setDefault(true);
    Button2 = new QPushButton(QStringLiteral("Cancel"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    connect(Btn_Ok, &QPushButton::clicked, this, [this, pages] {
        // An address the sync could never use is said here, not at the next sync.
        if (!serverAddressProblem().isEmpty()) {
            pages->setCurrentWidget(Edt_SyncServer->parentWidget());
            Edt_SyncServer->setFocus();
            Lbl_SyncFound->setText(serverAddressProblem() + QLatin1Char('.'));
            return;
        }
        accept();
    });
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Btn_Ok);
    buttons->addWidget(Button2);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(pages);
    layout->addWidget(line);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);  // a fixed dialog, as large as its texts
}

QWidget *TOptionsDlg::generalPage(const OptionsChoice &start)
{
    auto *page = new QWidget(this);
    // Autostart on Linux is an entry the desktop reads at login.
    cb_AutoStart = new QCheckBox(QStringLiteral("Start at login"), page);
    cb_AutoStart->setObjectName(QStringLiteral("cb_AutoStart"));
    cb_AutoStart->setChecked(start.autoStart);
    cb_AutoMinimized = new QCheckBox(QStringLiteral("Run program minimized"), page);
    cb_AutoMinimized->setObjectName(QStringLiteral("cb_AutoMinimized"));
    cb_AutoMinimized->setChecked(start.runMinimized);
    cb_AddOpen = new QCheckBox(QStringLiteral("Add new item while open"), page);
    cb_AddOpen->setObjectName(QStringLiteral("cb_AddOpen"));
    cb_AddOpen->setChecked(start.addOpen);

    auto *layout = new QVBoxLayout(page);
    layout->addWidget(cb_AutoStart);
    layout->addWidget(cb_AutoMinimized);
    layout->addWidget(cb_AddOpen);
    layout->addStretch();
    return page;
}

QWidget *TOptionsDlg::syncPage(const SyncSettings &sync)
{
    auto *page = new QWidget(this);
    page->setObjectName(QStringLiteral("SyncPage"));
    Edt_SyncServer = Field(page, "Edt_SyncServer", sync.server, QStringLiteral("https://cloud.example.org"));
    Edt_SyncUser = Field(page, "Edt_SyncUser", sync.user, {});
    // The password is kept in the desktop's keyring; the field only ever takes a new one.
    Edt_SyncPassword = Field(page, "Edt_SyncPassword", {}, QStringLiteral("unchanged"));
    Edt_SyncPassword->setEchoMode(QLineEdit::Password);
    Cmb_SyncCollection = new QComboBox(page);
    Cmb_SyncCollection->setObjectName(QStringLiteral("Cmb_SyncCollection"));
    Cmb_SyncCollection->setEditable(true);
    Cmb_SyncCollection->setInsertPolicy(QComboBox::NoInsert);
    Cmb_SyncCollection->lineEdit()->setPlaceholderText(QStringLiteral("the first one on the server"));
    Cmb_SyncCollection->setEditText(sync.collection);
    Cmb_SyncCollection->setMinimumContentsLength(24);
    Btn_SyncFind = new QPushButton(QStringLiteral("&Find"), page);
    Btn_SyncFind->setObjectName(QStringLiteral("Btn_SyncFind"));
    Btn_SyncFind->setToolTip(QStringLiteral("Lists the task collections of this user on the server"));
    connect(Btn_SyncFind, &QPushButton::clicked, this, [this] { findCollections(); });
    connect(Edt_SyncServer, &QLineEdit::editingFinished, this, [this] {
        const QString problem = serverAddressProblem();
        if (!problem.isEmpty())
            Lbl_SyncFound->setText(problem + QLatin1Char('.'));
    });
    Lbl_SyncFound = new QLabel(page);
    Lbl_SyncFound->setObjectName(QStringLiteral("Lbl_SyncFound"));
    Lbl_SyncFound->setWordWrap(true);
    Edt_SyncCertificate = Field(page, "Edt_SyncCertificate", sync.trustedCertificate,
                                QStringLiteral("only for a certificate no authority signed"));
    Edt_SyncCertificate->setToolTip(QStringLiteral("The SHA-256 fingerprint of the server's certificate, trusted "
                                                   "as it is; Find offers it when the certificate is not trusted"));
    cb_SyncEnabled = new QCheckBox(QStringLiteral("Sync &automatically every"), page);
    cb_SyncEnabled->setObjectName(QStringLiteral("cb_SyncEnabled"));
    cb_SyncEnabled->setChecked(sync.enabled);
    Spin_SyncInterval = new QSpinBox(page);
    Spin_SyncInterval->setObjectName(QStringLiteral("Spin_SyncInterval"));
    Spin_SyncInterval->setRange(1, 24 * 60);
    Spin_SyncInterval->setSuffix(QStringLiteral(" minutes"));
    Spin_SyncInterval->setValue(sync.intervalMinutes > 0 ? sync.intervalMinutes : SyncSettings().intervalMinutes);
    Spin_SyncInterval->setEnabled(sync.enabled);
    connect(cb_SyncEnabled, &QCheckBox::toggled, Spin_SyncInterval, &QWidget::setEnabled);

    auto *every = new QHBoxLayout;
    every->addWidget(cb_SyncEnabled);
    every->addWidget(Spin_SyncInterval);
    every->addStretch();

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Ser&ver address:"), Edt_SyncServer);
    form->addRow(QStringLiteral("&User name:"), Edt_SyncUser);
    form->addRow(QStringLiteral("&Password:"), Edt_SyncPassword);
    auto *collection = new QHBoxLayout;
    collection->addWidget(Cmb_SyncCollection, 1);
    collection->addWidget(Btn_SyncFind);
    // A row of a layout gets no buddy of its own: without one the mnemonic shows as "&".
    auto *collectionLabel = new QLabel(QStringLiteral("&Collection:"));
    collectionLabel->setBuddy(Cmb_SyncCollection);
    form->addRow(collectionLabel, collection);
    form->addRow(QString(), Lbl_SyncFound);
    form->addRow(QStringLiteral("&Trusted certificate:"), Edt_SyncCertificate);
    auto *note = new QLabel(QStringLiteral("Tasks sync with one task collection of a CalDAV server; without a "
                                           "collection the server's first one is used. File \u203a Sync Now "
                                           "syncs at any time."),
                            page);
    note->setWordWrap(true);

    auto *layout = new QVBoxLayout(page);
    layout->addLayout(form);
    layout->addLayout(every);
    layout->addWidget(note);
    layout->addStretch();
    return page;
}

OptionsChoice TOptionsDlg::answer() const
{
    OptionsChoice choice{cb_AutoStart->isChecked(), cb_AutoMinimized->isChecked(), cb_AddOpen->isChecked(), {}, {}};
    choice.sync.enabled = cb_SyncEnabled->isChecked();
    choice.sync.server = Edt_SyncServer->text().trimmed();
    choice.sync.user = Edt_SyncUser->text().trimmed();
    // A collection found is listed by name; its path is what is stored.
    const int listed = Cmb_SyncCollection->findText(Cmb_SyncCollection->currentText());
    choice.sync.collection = listed >= 0 ? Cmb_SyncCollection->itemData(listed).toString()
                                         : Cmb_SyncCollection->currentText().trimmed();
    const QString typed = Edt_SyncCertificate->text().trimmed();
    choice.sync.trustedCertificate = NormalizedFingerprint(typed).isEmpty() ? typed : NormalizedFingerprint(typed);
    choice.sync.intervalMinutes = Spin_SyncInterval->value();
    choice.syncPassword = Edt_SyncPassword->text();
    return choice;
}

QString TOptionsDlg::serverAddressProblem() const
{
    const QString typed = Edt_SyncServer->text().trimmed();
    QString error;
    if (!typed.isEmpty())
        SyncServerUrl(typed, error);
    return error;
}

void TOptionsDlg::findCollections()
{
    const SyncSettings settings = answer().sync;
    if (settings.server.isEmpty()) {
        Lbl_SyncFound->setText(QStringLiteral("Type the server address first."));
        return;
    }
    if (!serverAddressProblem().isEmpty()) {
        Lbl_SyncFound->setText(serverAddressProblem() + QLatin1Char('.'));
        return;
    }
    Btn_SyncFind->setEnabled(false);
    Lbl_SyncFound->setText(QStringLiteral("Looking for task collections..."));
    QPointer<TOptionsDlg> self(this);
    auto discover = [self, settings](const QString &password) {
        SyncService::instance().discover(settings, password, [self](const DiscoveryResult &result) {
            if (self)
                self->found(result);
        });
    };
    if (!Edt_SyncPassword->text().isEmpty())
        return discover(Edt_SyncPassword->text());
    SyncService::instance().readPassword(settings, [self, discover](const QString &password, const QString &error) {
        if (!self)
            return;
        if (!error.isEmpty()) {
            DiscoveryResult failed;
            failed.error = error;
            return self->found(failed);
        }
        discover(password);
    });
}

void TOptionsDlg::found(const DiscoveryResult &result)
{
    Btn_SyncFind->setEnabled(true);
    if (!result.refusedCertificate.isEmpty()) {
        PromptMessage box;
        box.caption = QStringLiteral("Trust Certificate");
        box.text = result.error + QStringLiteral(".\n\nTrust this certificate for the sync? Only if the server's own "
                                                "settings show the same fingerprint.");
        box.icon = PromptIcon::Warning;
        box.buttons = {PromptButton::Yes, PromptButton::No};
        box.defaultButton = PromptButton::No;
        if (Prompter::instance().message(box) == PromptButton::Yes) {
            Edt_SyncCertificate->setText(result.refusedCertificate);
            return findCollections();
        }
    }
    if (!result.error.isEmpty()) {
        Lbl_SyncFound->setText(result.error + QLatin1Char('.'));
        return;
    }
    const QString chosen = answer().sync.collection;
    Cmb_SyncCollection->clear();
    for (const TaskCollection &collection : result.collections)
        Cmb_SyncCollection->addItem(collection.name.isEmpty() ? collection.path
                                                              : QStringLiteral("%1 (%2)").arg(collection.name, collection.path),
                                    collection.path);
    const int kept = Cmb_SyncCollection->findData(chosen);
    Cmb_SyncCollection->setCurrentIndex(kept >= 0 ? kept : 0);
    Lbl_SyncFound->setText(result.collections.size() == 1
                               ? QStringLiteral("The server has this one task collection.")
                               : QStringLiteral("The server has %1 task collections: choose one.").arg(result.collections.size()));
}

}  // namespace quillpad

#pragma once
// One sync of the task list with the user's CalDAV collection, as the program and the
// command line start it. The network work runs on Qt's event loop; the database is only
// touched on the thread that created the runner.

#include "sync/DavLimits.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace quillpad {

class Connection;
class IniFile;

// The "sync" section of the settings file.
struct SyncSettings {
    QString server;          // address the user typed, e.g. https://cloud.example.org
    QString user;
    QString collection;      // path of the task collection; empty: found by discovery
    int intervalMinutes = 15;  // periodic sync in the program; 0: only when asked
    bool enabled = false;    // periodic sync in the program (File > Sync Now needs only a server)
    QString trustedCertificate;  // SHA-256 fingerprint of a certificate the user trusts; empty: none
    DavLimits limits;        // not stored
};
SyncSettings ReadSyncSettings(const IniFile &ini);
void WriteSyncSettings(IniFile &ini, const SyncSettings &settings);
// Keeps the collection discovery found, so later syncs need not look again.
void StoreFoundCollection(const QString &settingsPath, const QString &collection);
// The settings as changed from `before`: another server's collection is found again by
// discovery unless the change names one (the old one belongs to the old server).
void ForgetCollectionOfOldServer(SyncSettings &changed, const SyncSettings &before, bool collectionNamed);

// What a sync did to the local task list, by task id, so a window can update its rows
// by change instead of rebuilding them.
struct SyncChanges {
    QStringList added;    // new local tasks (from the server, or conflict copies)
    QStringList changed;  // local tasks whose stored fields changed (text, flags, parent...)
    QStringList removed;  // local tasks deleted because the server deleted them
    bool isEmpty() const { return added.isEmpty() && changed.isEmpty() && removed.isEmpty(); }
};

struct SyncOutcome {
    bool ok = false;
    QString error;        // one line for a status bar when !ok
    SyncChanges local;
    int uploaded = 0;     // objects PUT to the server
    int downloaded = 0;   // tasks taken from the server
    int deletedRemote = 0;  // objects deleted on the server
    int conflicts = 0;    // tasks both sides changed, settled by the conflict rule
    QStringList notes;    // what the user should know of a sync that went through: what was skipped or kept
    QString refusedCertificate;  // when the server's certificate was not trusted: its SHA-256 fingerprint
    // When discovery chose the collection: the one synced, and the user's other task collections.
    QString foundCollection;
    QStringList otherCollections;
};

class SyncRunner : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~SyncRunner() override = default;
    // Begins one sync; finished() follows exactly once, later, from the event loop.
    virtual void start() = 0;
signals:
    void finished(const quillpad::SyncOutcome &outcome);
};

// The real one: CalDAV over QNetworkAccessManager against settings.server. When the
// collection is found by discovery, foundCollection receives its path (to be stored).
std::unique_ptr<SyncRunner> MakeCalDavSync(Connection &db, const SyncSettings &settings,
                                           const QString &password, QObject *parent = nullptr,
                                           std::function<void(const QString &)> foundCollection = {});

// The password: QUILLPAD_SYNC_PASSWORD when set, else the desktop's keyring, else the
// file named in the README (mode 0600 only). The reply comes from the event loop;
// error is one line, empty when a password was found.
void ReadSyncPassword(const SyncSettings &settings,
                      std::function<void(const QString &password, const QString &error)> reply);
// Stores the password in the keyring (never in the settings file).
void StoreSyncPassword(const SyncSettings &settings, const QString &password,
                       std::function<void(const QString &error)> reply);

}  // namespace quillpad

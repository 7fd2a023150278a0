#include "sync/SyncRunner.h"

#include "app/settings/IniFile.h"

namespace quillpad {

namespace {

constexpr const char *Section = "sync";

}  // namespace

SyncSettings ReadSyncSettings(const IniFile &ini)
{
    const QString section = QString::fromLatin1(Section);
    SyncSettings settings;
    settings.server = ini.readString(section, QStringLiteral("Server"));
    settings.user = ini.readString(section, QStringLiteral("User"));
    settings.collection = ini.readString(section, QStringLiteral("Collection"));
    settings.intervalMinutes = qMax(0, ini.readInteger(section, QStringLiteral("IntervalMinutes"), settings.intervalMinutes));
    settings.enabled = ini.readBool(section, QStringLiteral("Enabled"), settings.enabled);
    settings.trustedCertificate = ini.readString(section, QStringLiteral("TrustedCertificate"));
    return settings;
}

void WriteSyncSettings(IniFile &ini, const SyncSettings &settings)
{
    const QString section = QString::fromLatin1(Section);
    ini.writeString(section, QStringLiteral("Server"), settings.server);
    ini.writeString(section, QStringLiteral("User"), settings.user);
    ini.writeString(section, QStringLiteral("Collection"), settings.collection);
    ini.writeInteger(section, QStringLiteral("IntervalMinutes"), settings.intervalMinutes);
    ini.writeBool(section, QStringLiteral("Enabled"), settings.enabled);
    ini.writeString(section, QStringLiteral("TrustedCertificate"), settings.trustedCertificate);
}

void StoreFoundCollection(const QString &settingsPath, const QString &collection)
{
    IniFile ini(settingsPath);
    SyncSettings stored = ReadSyncSettings(ini);
    stored.collection = collection;
    WriteSyncSettings(ini, stored);
}

void ForgetCollectionOfOldServer(SyncSettings &changed, const SyncSettings &before, bool collectionNamed)
{
    if (changed.server != before.server && !collectionNamed)
        changed.collection.clear();
}

}  // namespace quillpad

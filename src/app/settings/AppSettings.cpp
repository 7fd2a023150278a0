#include "app/settings/AppSettings.h"

#include "app/settings/IniFile.h"
#include "store/pU_Funcs.h"

namespace quillpad {

AppSettings::AppSettings(QObject *parent) : QObject(parent)
{
}

template <typename Value, typename Key>
void AppSettings::assign(Value &copy, Value value, const Key &key)
{
    if (copy == value)
        return;
    copy = value;
    emit changed(QString::fromLatin1(key.name));
}

template <typename Value, typename Key>
void AppSettings::store(Value &copy, Value value, const Key &key)
{
    assign(copy, value, key);
    IniFile(path()).write(key, value);
}

void AppSettings::setPath(const QString &path)
{
    m_startup.settingsPath = path;
}

void AppSettings::readCreationSettings()
{
    const IniFile ini(path());
    assign(m_startup.hintSize, ini.read(SettingsKeys::HintSize), SettingsKeys::HintSize);
    assign(m_startup.addOpenEn, ini.read(SettingsKeys::AddOpenEn), SettingsKeys::AddOpenEn);
}

void AppSettings::load()
{
    // LoadSettings may stop half-way; what it filled in is announced all the same.
    const StartupSettings before = m_startup;
    const auto announce = [&] {
        if (before.visitWebEn != m_startup.visitWebEn)
            emit changed(QString::fromLatin1(SettingsKeys::VisitWebEn.name));
        if (before.visitWeb != m_startup.visitWeb)
            emit changed(QString::fromLatin1(SettingsKeys::VisitWeb.name));
        if (before.runMinimizedEn != m_startup.runMinimizedEn)
            emit changed(QString::fromLatin1(SettingsKeys::RunMinimizedEn.name));
    };
    try {
        LoadSettings(m_startup);
    } catch (...) {
        announce();
        throw;
    }
    announce();
}

void AppSettings::storeOptions(bool runMinimizedEn, bool addOpenEn)
{
    assign(m_startup.runMinimizedEn, runMinimizedEn, SettingsKeys::RunMinimizedEn);
    assign(m_startup.addOpenEn, addOpenEn, SettingsKeys::AddOpenEn);
    IniFile ini(path());
    ini.write(SettingsKeys::RunMinimizedEn, runMinimizedEn);
    ini.write(SettingsKeys::AddOpenEn, addOpenEn);
}

void AppSettings::setVisitWebEn(bool on)
{
    store(m_startup.visitWebEn, on, SettingsKeys::VisitWebEn);
}

void AppSettings::recordVisitWeb(TDateTime visited)
{
    IniFile(path()).write(SettingsKeys::VisitWeb, IsoTime(visited));
}

bool AppSettings::keepsRunningTold() const
{
    return IniFile(path()).read(SettingsKeys::KeepsRunningToldEn);
}

void AppSettings::recordKeepsRunningTold()
{
    IniFile(path()).write(SettingsKeys::KeepsRunningToldEn, true);
}

const ViewSettings &AppSettings::readView()
{
    const IniFile ini(path());
    assign(m_view.listEn, ini.read(SettingsKeys::ViewListEn), SettingsKeys::ViewListEn);
    assign(m_view.dateEn, ini.read(SettingsKeys::ViewDateEn), SettingsKeys::ViewDateEn);
    assign(m_view.range, ini.read(SettingsKeys::ViewRange), SettingsKeys::ViewRange);
    assign(m_view.ascEn, ini.read(SettingsKeys::ViewAscEn), SettingsKeys::ViewAscEn);
    return m_view;
}

void AppSettings::setViewRange(int index)
{
    store(m_view.range, index, SettingsKeys::ViewRange);
}

void AppSettings::setViewListEn(bool on)
{
    store(m_view.listEn, on, SettingsKeys::ViewListEn);
}

void AppSettings::setViewDateEn(bool on)
{
    store(m_view.dateEn, on, SettingsKeys::ViewDateEn);
}

void AppSettings::setViewAscEn(bool on)
{
    store(m_view.ascEn, on, SettingsKeys::ViewAscEn);
}

void AppSettings::logTaskCounts(int privateTasks, int publicTasks)
{
    assign(m_startup.privateTasks, privateTasks, SettingsKeys::PrivateTasks);
    assign(m_startup.publicTasks, publicTasks, SettingsKeys::PublicTasks);
    IniFile log(path());
    log.write(SettingsKeys::PrivateTasks, privateTasks);
    log.write(SettingsKeys::PublicTasks, publicTasks);
}

}  // namespace quillpad

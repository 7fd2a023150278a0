#include "app/settings/AppSettings.h"

#include "app/settings/IniFile.h"
#include "store/pU_Funcs.h"

namespace quillpad {

AppSettings::AppSettings(QObject *parent) : QObject(parent)
{
}

template <typename Value>
void AppSettings::assign(Value &copy, Value value, const char *key)
{
    if (copy == value)
        return;
    copy = value;
    emit changed(QString::fromLatin1(key));
}

void AppSettings::setPath(const QString &path)
{
    m_startup.settingsPath = path;
}

void AppSettings::readCreationSettings()
{
    const IniFile ini(path());
    assign(m_startup.hintSize, ini.read(SettingsKeys::HintSize), SettingsKeys::HintSize.name);
    assign(m_startup.addOpenEn, ini.read(SettingsKeys::AddOpenEn), SettingsKeys::AddOpenEn.name);
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
    assign(m_startup.runMinimizedEn, runMinimizedEn, SettingsKeys::RunMinimizedEn.name);
    assign(m_startup.addOpenEn, addOpenEn, SettingsKeys::AddOpenEn.name);
    IniFile ini(path());
    ini.write(SettingsKeys::RunMinimizedEn, runMinimizedEn);
    ini.write(SettingsKeys::AddOpenEn, addOpenEn);
}

void AppSettings::setVisitWebEn(bool on)
{
    assign(m_startup.visitWebEn, on, SettingsKeys::VisitWebEn.name);
    IniFile(path()).write(SettingsKeys::VisitWebEn, on);
}

void AppSettings::setVisitWeb(TDateTime visited)
{
    assign(m_startup.visitWeb, visited, SettingsKeys::VisitWeb.name);
    IniFile(path()).write(SettingsKeys::VisitWeb, IsoTime(visited));
}

const ViewSettings &AppSettings::readView()
{
    const IniFile ini(path());
    assign(m_view.listEn, ini.read(SettingsKeys::ViewListEn), SettingsKeys::ViewListEn.name);
    assign(m_view.dateEn, ini.read(SettingsKeys::ViewDateEn), SettingsKeys::ViewDateEn.name);
    assign(m_view.range, ini.read(SettingsKeys::ViewRange), SettingsKeys::ViewRange.name);
    assign(m_view.ascEn, ini.read(SettingsKeys::ViewAscEn), SettingsKeys::ViewAscEn.name);
    return m_view;
}

void AppSettings::setViewRange(int index)
{
    assign(m_view.range, index, SettingsKeys::ViewRange.name);
    IniFile(path()).write(SettingsKeys::ViewRange, index);
}

void AppSettings::setViewListEn(bool on)
{
    assign(m_view.listEn, on, SettingsKeys::ViewListEn.name);
    IniFile(path()).write(SettingsKeys::ViewListEn, on);
}

void AppSettings::setViewDateEn(bool on)
{
    assign(m_view.dateEn, on, SettingsKeys::ViewDateEn.name);
    IniFile(path()).write(SettingsKeys::ViewDateEn, on);
}

void AppSettings::setViewAscEn(bool on)
{
    assign(m_view.ascEn, on, SettingsKeys::ViewAscEn.name);
    IniFile(path()).write(SettingsKeys::ViewAscEn, on);
}

void AppSettings::logTaskCounts(int privateTasks, int publicTasks)
{
    assign(m_startup.privateTasks, privateTasks, SettingsKeys::PrivateTasks.name);
    assign(m_startup.publicTasks, publicTasks, SettingsKeys::PublicTasks.name);
    IniFile log(path());
    log.write(SettingsKeys::PrivateTasks, privateTasks);
    log.write(SettingsKeys::PublicTasks, publicTasks);
}

}  // namespace quillpad

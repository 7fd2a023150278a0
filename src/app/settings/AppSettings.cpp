#include "app/settings/AppSettings.h"

#include "app/settings/IniFile.h"
#include "store/AppError.h"
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
    writeFile([&] { IniFile(path()).write(key, value); });
}

// A file that cannot be written (a read-only folder, a full disk) is reported once; the
// writes after it fail quietly until one goes through again.
template <typename Write>
void AppSettings::writeFile(Write write)
{
    try {
        write();
        m_writeRefused = false;
    } catch (const AppError &) {
        if (m_writeRefused)
            return;
        m_writeRefused = true;
        throw;
    }
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
    } catch (const AppError &) {
        announce();
        m_writeRefused = true;  // reported by the caller
        throw;
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
    writeFile([&] {
        IniFile ini(path());
        ini.write(SettingsKeys::RunMinimizedEn, runMinimizedEn);
        ini.write(SettingsKeys::AddOpenEn, addOpenEn);
    });
}

void AppSettings::setVisitWebEn(bool on)
{
    store(m_startup.visitWebEn, on, SettingsKeys::VisitWebEn);
}

void AppSettings::recordVisitWeb(TDateTime visited)
{
    writeFile([&] { IniFile(path()).write(SettingsKeys::VisitWeb, IsoTime(visited)); });
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
    writeFile([&] {
        IniFile log(path());
        log.write(SettingsKeys::PrivateTasks, privateTasks);
        log.write(SettingsKeys::PublicTasks, publicTasks);
    });
}

}  // namespace quillpad

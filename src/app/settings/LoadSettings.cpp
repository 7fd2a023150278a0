#include "app/settings/LoadSettings.h"

#include "store/Clock.h"
#include "app/settings/IniFile.h"
#include "store/pU_Funcs.h"

namespace quillpad {

void LoadSettings(StartupSettings &settings)
{
    IniFile ini(settings.settingsPath);
    settings.visitWebEn = ini.read(SettingsKeys::VisitWebEn);
    const QString visited = ini.read(SettingsKeys::VisitWeb);
    if (!visited.isEmpty()) {
        settings.visitWeb = IsoToDateTime(visited);
    } else {
        settings.visitWeb = Clock::nowDateTime();
        ini.write(SettingsKeys::VisitWeb, IsoTime(settings.visitWeb));
    }
    settings.runMinimizedEn = ini.read(SettingsKeys::RunMinimizedEn);
}

}  // namespace quillpad

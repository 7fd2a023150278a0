#include "app/settings/LoadSettings.h"

#include "store/AppError.h"
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
        // A visit time that is not a date-time (edited by hand, say) is as good as long
        // ago: the update offer comes on this start, the window stays open for it, and
        // the program runs on instead of failing at every start.
        try {
            settings.visitWeb = IsoToDateTime(visited);
        } catch (const AppError &) {
            return;
        }
    } else {
        settings.visitWeb = Clock::nowDateTime();
        ini.write(SettingsKeys::VisitWeb, IsoTime(settings.visitWeb));
    }
    settings.runMinimizedEn = ini.read(SettingsKeys::RunMinimizedEn);
}

}  // namespace quillpad

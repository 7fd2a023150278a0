#pragma once
// A notification area for tests: records what reaches it; the test decides whether it
// exists and whether its calls succeed, also after the component took it over.

#include "components/ui/TrayHost.h"

#include <QList>

#include <memory>

namespace quillpad {

// Stands for the desktop's notification area and records what reaches it.
class RecordingTrayHost final : public TrayHost {
public:
    struct Call {
        QString kind;  // "add", "modify", "remove", "balloon"
        IconData data;
        QString title;
        QString text;
        TQvBalloonHintIcon balloonKind = TQvBalloonHintIcon::bhiNone;
        int timeoutMs = 0;
    };

    bool available() const override { return *trayExists; }
    bool tellsAvailability() const override { return tells; }
    bool add(const IconData &data) override
    {
        calls.append({QStringLiteral("add"), data, {}, {}, {}, 0});
        return *addSucceeds;
    }
    bool modify(const IconData &data) override
    {
        calls.append({QStringLiteral("modify"), data, {}, {}, {}, 0});
        return *modifySucceeds;
    }
    void remove() override { calls.append({QStringLiteral("remove"), {}, {}, {}, {}, 0}); }
    void balloon(const QString &title, const QString &text, TQvBalloonHintIcon kind, int timeoutMs) override
    {
        calls.append({QStringLiteral("balloon"), {}, title, text, kind, timeoutMs});
    }
    void setMenu(QMenu *value) override { menu = value; }

    const Call &last() const { return calls.last(); }

    // The notification area comes or goes, told as a desktop that can tell does.
    void setTrayExists(bool value)
    {
        *trayExists = value;
        if (tells && events.availabilityChanged)
            events.availabilityChanged(value);
    }

    // Shared with the test, which keeps steering after the component owns the host.
    std::shared_ptr<bool> trayExists = std::make_shared<bool>(true);
    std::shared_ptr<bool> addSucceeds = std::make_shared<bool>(true);
    std::shared_ptr<bool> modifySucceeds = std::make_shared<bool>(true);
    bool tells = false;
    QList<Call> calls;
    QMenu *menu = nullptr;
};

}  // namespace quillpad

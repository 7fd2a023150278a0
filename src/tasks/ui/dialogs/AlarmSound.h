#pragma once
// The alarm sound: played once without waiting for it; when the file cannot be played
// the desktop's own alert sound stands in. One replaceable instance, so that tests can
// hear what was played without a sound card.

#include <QString>

#include <functional>

namespace quillpad {

class AlarmSound {
public:
    virtual ~AlarmSound() = default;
    virtual void play(const QString &path) = 0;

    static AlarmSound &instance();
    static void install(AlarmSound *sound);  // nullptr restores the desktop's sound
};

// Plays the file through Qt Multimedia. Whether a file can be played is known only once
// it has been read, so the stand-in may sound a moment later. Sounds still playing when
// the application ends are cut off with it.
class EffectAlarmSound final : public AlarmSound {
public:
    using Callback = std::function<void(const QString &path)>;

    // `fallback` sounds instead of a file that cannot be played (the desktop's beep when
    // empty); `started` hears of every file that did start.
    explicit EffectAlarmSound(Callback fallback = {}, Callback started = {});
    void play(const QString &path) override;

private:
    Callback m_fallback;
    Callback m_started;
};

}  // namespace quillpad

#pragma once
// Plays a sound file once through Qt Multimedia, without waiting for it. Whether a
// file can be played is known only once it has been read, so the stand-in for one that
// cannot may sound a moment later. Sounds still playing when the application ends are
// cut off with it.

#include <QString>

#include <functional>

namespace quillpad {

class SoundEffectPlayer {
public:
    using Callback = std::function<void(const QString &path)>;

    // `fallback` sounds instead of a file that cannot be played (the desktop's beep when
    // empty); `started` hears of every file that did start.
    explicit SoundEffectPlayer(Callback fallback = {}, Callback started = {});
    void play(const QString &path) const;

private:
    Callback m_fallback;
    Callback m_started;
};

}  // namespace quillpad

#include "components/ui/SoundEffectPlayer.h"

#include <QApplication>
#include <QFileInfo>
#include <QSoundEffect>
#include <QUrl>

namespace quillpad {

SoundEffectPlayer::SoundEffectPlayer(Callback fallback, Callback started)
    : m_fallback(fallback ? std::move(fallback) : Callback([](const QString &) { QApplication::beep(); })),
      m_started(std::move(started))
{
}

void SoundEffectPlayer::play(const QString &path) const
{
    if (!QFileInfo(path).isFile()) {
        m_fallback(path);
        return;
    }
    // The effect belongs to the application, not to the window that asked for it: the
    // sound goes on after the alarm window has closed.
    auto *effect = new QSoundEffect(QCoreApplication::instance());
    const Callback fallback = m_fallback;
    const Callback started = m_started;
    QObject::connect(effect, &QSoundEffect::statusChanged, effect, [effect, path, fallback, started] {
        switch (effect->status()) {
        case QSoundEffect::Ready:
            effect->play();
            if (started)
                started(path);
            break;
        case QSoundEffect::Error:
            fallback(path);
            effect->deleteLater();
            break;
        default:
            break;
        }
    });
    QObject::connect(effect, &QSoundEffect::playingChanged, effect, [effect] {
        if (!effect->isPlaying())
            effect->deleteLater();
    });
    effect->setLoopCount(1);
    effect->setSource(QUrl::fromLocalFile(path));
}

}  // namespace quillpad

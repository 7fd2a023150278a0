#pragma once
// SIGTERM, SIGINT and SIGHUP (a logout, a shutdown, Ctrl+C in a terminal) end the
// program through the event loop as File › Exit does, so an edit in progress is stored
// first. The handler only writes the signal's number into a pipe; a socket notifier
// reads it in the loop and runs the ending there.

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace quillpad {

class QuitSignals : public QObject {
    Q_OBJECT

public:
    // One set of handlers at a time; the earlier handlers come back when it goes.
    explicit QuitSignals(std::function<void()> end, QObject *parent = nullptr);
    ~QuitSignals() override;

    bool installed() const { return m_notifier != nullptr; }

private:
    void readSignals();

    std::function<void()> m_end;
    QSocketNotifier *m_notifier = nullptr;
};

}  // namespace quillpad

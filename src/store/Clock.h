#pragma once
// The one source of "now" for the whole program, so that tests can set the time.

#include "store/DateTime.h"

#include <QDateTime>

namespace quillpad {

class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime currentDateTime() const = 0;  // local time, to the millisecond

    // Static API used everywhere; tests swap the instance.
    static QDateTime now() { return instance().currentDateTime(); }
    static TDateTime nowDateTime() { return DateTimeFromQt(now()); }
    static Clock &instance();
    static void install(Clock *clock);  // nullptr restores the system clock
};

class SystemClock final : public Clock {
public:
    QDateTime currentDateTime() const override { return QDateTime::currentDateTime(); }
};

// A clock that stands still until told to move; for tests and benchmarks.
class ManualClock final : public Clock {
public:
    explicit ManualClock(QDateTime start) : m_now(std::move(start)) {}
    QDateTime currentDateTime() const override { return m_now; }
    void set(const QDateTime &when) { m_now = when; }
    void advanceMs(qint64 ms) { m_now = m_now.addMSecs(ms); }

private:
    QDateTime m_now;
};

}  // namespace quillpad

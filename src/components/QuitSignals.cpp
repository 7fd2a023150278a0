#include "components/QuitSignals.h"

#include "store/AppError.h"

#include <QSocketNotifier>

#include <array>
#include <cerrno>
#include <cstring>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace quillpad {

namespace {

constexpr std::array<int, 3> Signals{SIGTERM, SIGINT, SIGHUP};

int g_writeEnd = -1;
std::array<struct sigaction, Signals.size()> g_previous{};

void WriteSignal(int number)
{
    // Only what is safe in a handler: one write, errno as it was.
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(number);
    [[maybe_unused]] const ssize_t written = ::write(g_writeEnd, &byte, 1);
    errno = saved;
}

}  // namespace

QuitSignals::QuitSignals(std::function<void()> end, QObject *parent) : QObject(parent), m_end(std::move(end))
{
    if (g_writeEnd >= 0) {
        qWarning("The quit signals are handled already");
        return;
    }
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) {
        qWarning("No pipe for the quit signals: %s", strerror(errno));
        return;
    }
    g_writeEnd = ends[1];
    m_notifier = new QSocketNotifier(ends[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &QuitSignals::readSignals);
    struct sigaction action = {};
    action.sa_handler = WriteSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < Signals.size(); ++i)
        sigaction(Signals[i], &action, &g_previous[i]);
}

QuitSignals::~QuitSignals()
{
    if (!m_notifier)
        return;
    for (std::size_t i = 0; i < Signals.size(); ++i)
        sigaction(Signals[i], &g_previous[i], nullptr);
    const int readEnd = static_cast<int>(m_notifier->socket());
    delete m_notifier;
    ::close(readEnd);
    ::close(g_writeEnd);
    g_writeEnd = -1;
}

void QuitSignals::readSignals()
{
    unsigned char bytes[16];
    bool received = false;
    while (::read(static_cast<int>(m_notifier->socket()), bytes, sizeof bytes) > 0)
        received = true;
    if (received && m_end)
        RunGuarded(m_end);
}

}  // namespace quillpad

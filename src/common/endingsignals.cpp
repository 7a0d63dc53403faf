#include "common/endingsignals.h"

#include <QSocketNotifier>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace smartcar {

#ifdef Q_OS_UNIX

namespace {

constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP};

// [0] is written by the handler, [1] watched by the notifier.
int signalSockets[2] = {-1, -1};
struct sigaction previousActions[std::size(kEndingSignals)];
bool replaced[std::size(kEndingSignals)] = {};

extern "C" void onEndingSignal(int)
{
    // Only async-signal-safe calls here. The socket is non-blocking: when it is full, an
    // ending is already on its way.
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(signalSockets[0], &byte, 1);
    errno = saved;
}

} // namespace

EndingSignals::EndingSignals(QObject* parent)
    : QObject(parent)
{
    Q_ASSERT(signalSockets[0] < 0);
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, signalSockets) != 0) {
        signalSockets[0] = signalSockets[1] = -1;
        qWarning("no socket pair for signals; they will end the program abruptly");
        return;
    }
    m_notifier = new QSocketNotifier(signalSockets[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &EndingSignals::onSignalled);

    struct sigaction action = {};
    action.sa_handler = onEndingSignal;
    sigemptyset(&action.sa_mask);
    // A blocking write to the serial device resumes after the handler instead of failing with
    // EINTR. The turn's sleep needs no flag: std::this_thread::sleep_for sleeps on for the
    // time left by itself.
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < std::size(kEndingSignals); ++i) {
        struct sigaction old = {};
        ::sigaction(kEndingSignals[i], nullptr, &old);
        replaced[i] = old.sa_handler != SIG_IGN;
        if (replaced[i])
            ::sigaction(kEndingSignals[i], &action, &previousActions[i]);
    }
}

EndingSignals::~EndingSignals()
{
    if (!m_notifier)
        return;
    for (std::size_t i = 0; i < std::size(kEndingSignals); ++i) {
        if (replaced[i])
            ::sigaction(kEndingSignals[i], &previousActions[i], nullptr);
        replaced[i] = false;
    }
    delete m_notifier;
    m_notifier = nullptr;
    for (int& fd : signalSockets) {
        ::close(fd);
        fd = -1;
    }
}

void EndingSignals::onSignalled()
{
    char buf[64];
    while (::read(signalSockets[1], buf, sizeof buf) > 0) {
    }
    emit endRequested();
}

#else

EndingSignals::EndingSignals(QObject* parent)
    : QObject(parent)
{
}

EndingSignals::~EndingSignals() = default;

void EndingSignals::onSignalled() {}

#endif

} // namespace smartcar

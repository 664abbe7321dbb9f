#include "stopsignals.h"

#include <QSocketNotifier>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The handler writes the signal's number to this pipe; the notifier reads it
// on the event loop. Nothing else is safe inside a signal handler.
int signalPipe[2] = {-1, -1};
constexpr int Caught[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void onStopSignal(int signal)
{
    const int savedErrno = errno;
    const char byte = char(signal);
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
    errno = savedErrno;
}

} // namespace

StopSignals::StopSignals(QObject *parent) : QObject(parent) {}

StopSignals::~StopSignals()
{
    if (!m_notifier)
        return;
    for (int signal : Caught)
        ::signal(signal, SIG_DFL);
    ::signal(SIGPIPE, SIG_DFL);
    m_notifier.reset();
    for (int &fd : signalPipe) {
        ::close(fd);
        fd = -1;
    }
}

bool StopSignals::install()
{
    if (m_notifier || signalPipe[0] >= 0 || ::pipe(signalPipe) != 0)
        return false;
    for (int fd : signalPipe) {
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
    m_notifier = std::make_unique<QSocketNotifier>(signalPipe[0], QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &StopSignals::takeSignals);
    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    bool installed = ::signal(SIGPIPE, SIG_IGN) != SIG_ERR;
    for (int signal : Caught)
        installed = ::sigaction(signal, &action, nullptr) == 0 && installed;
    return installed;
}

void StopSignals::takeSignals()
{
    char numbers[16];
    for (ssize_t n; (n = ::read(signalPipe[0], numbers, sizeof numbers)) > 0;) {
        for (ssize_t i = 0; i < n; ++i)
            emit received(int(numbers[i]));
    }
}

#else

StopSignals::StopSignals(QObject *parent) : QObject(parent) {}
StopSignals::~StopSignals() = default;
bool StopSignals::install() { return false; }
void StopSignals::takeSignals() {}

#endif

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

#elif defined(Q_OS_WIN)
#include <QMetaObject>

#include <atomic>
#include <csignal>
#include <windows.h>

namespace {

// Console events arrive on a thread the system starts for them; they are
// posted to the event loop of the instance's thread.
std::atomic<StopSignals *> catcher{nullptr};

BOOL WINAPI onConsoleEvent(DWORD event)
{
    int signal = 0;
    switch (event) {
    case CTRL_C_EVENT:
        signal = SIGINT;
        break;
    case CTRL_BREAK_EVENT:
        signal = SIGBREAK;
        break;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        signal = SIGTERM;
        break;
    default:
        return FALSE;
    }
    StopSignals *stopSignals = catcher.load();
    if (!stopSignals)
        return FALSE;
    QMetaObject::invokeMethod(
        stopSignals, [stopSignals, signal] { emit stopSignals->received(signal); }, Qt::QueuedConnection);
    // The system ends the process as soon as this returns from a closing
    // console (or a few seconds later): the program gets those seconds to
    // finish, and exits on its own.
    if (signal == SIGTERM)
        ::Sleep(INFINITE);
    return TRUE;
}

} // namespace

StopSignals::StopSignals(QObject *parent) : QObject(parent) {}

StopSignals::~StopSignals()
{
    StopSignals *self = this;
    if (catcher.compare_exchange_strong(self, nullptr))
        ::SetConsoleCtrlHandler(onConsoleEvent, FALSE);
}

bool StopSignals::install()
{
    StopSignals *none = nullptr;
    if (!catcher.compare_exchange_strong(none, this))
        return false;
    if (::SetConsoleCtrlHandler(onConsoleEvent, TRUE))
        return true;
    catcher = nullptr;
    return false;
}

void StopSignals::takeSignals() {}

#else

StopSignals::StopSignals(QObject *parent) : QObject(parent) {}
StopSignals::~StopSignals() = default;
bool StopSignals::install() { return false; }
void StopSignals::takeSignals() {}

#endif

#include "stdinreader.h"

#include <utility>

#ifdef Q_OS_WIN
#include <QWinEventNotifier>

#include <windows.h>
#else
#include <QSocketNotifier>

#include <cerrno>
#include <unistd.h>
#endif

StdinReader::StdinReader(QObject *parent) : QObject(parent) {}

StdinReader::~StdinReader() = default;

void StdinReader::end()
{
    if (m_ended)
        return;
    m_ended = true;
    m_poll.stop();
    m_notifier.reset();
    emit ended();
}

#ifndef Q_OS_WIN

void StdinReader::start()
{
    if (m_notifier || m_ended)
        return;
    auto notifier = std::make_unique<QSocketNotifier>(STDIN_FILENO, QSocketNotifier::Read);
    connect(notifier.get(), &QSocketNotifier::activated, this, &StdinReader::readAvailable);
    m_notifier = std::move(notifier);
}

void StdinReader::readAvailable()
{
    // One read per notice never blocks, and stdin stays as the shell left it.
    char bytes[256];
    const auto n = ::read(STDIN_FILENO, bytes, sizeof bytes);
    if (n < 0 && (errno == EINTR || errno == EAGAIN))
        return;  // the notifier calls again
    if (n <= 0) {  // the end, or a terminal that hung up
        end();
        return;
    }
    emit received(QByteArray(bytes, int(n)));
}

#else

namespace {

constexpr int PollMs = 50;

HANDLE input() { return ::GetStdHandle(STD_INPUT_HANDLE); }

bool isConsole(HANDLE handle)
{
    DWORD mode = 0;
    return ::GetConsoleMode(handle, &mode) != 0;
}

// What is typed goes back to the console, as its own line editing would.
void echo(const wchar_t *text, DWORD length)
{
    const HANDLE output = ::GetStdHandle(STD_ERROR_HANDLE);
    DWORD written = 0;
    if (isConsole(output))
        ::WriteConsoleW(output, text, length, &written, nullptr);
}

} // namespace

void StdinReader::start()
{
    if (m_notifier || m_poll.isActive() || m_ended)
        return;
    const HANDLE handle = input();
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
        QMetaObject::invokeMethod(this, &StdinReader::end, Qt::QueuedConnection);
        return;
    }
    if (isConsole(handle)) {
        auto notifier = std::make_unique<QWinEventNotifier>(handle);
        connect(notifier.get(), &QWinEventNotifier::activated, this, &StdinReader::readAvailable);
        m_notifier = std::move(notifier);
        return;
    }
    // A pipe or file handle is no event that tells when it can be read.
    connect(&m_poll, &QTimer::timeout, this, &StdinReader::readAvailable, Qt::UniqueConnection);
    m_poll.start(PollMs);
}

void StdinReader::readAvailable()
{
    const HANDLE handle = input();
    if (m_notifier) {
        // Key events, read without waiting for a line: Enter ends one,
        // Backspace takes back a character. Ctrl-C never comes here (the
        // console makes it an event for StopSignals).
        DWORD pending = 0;
        while (::GetNumberOfConsoleInputEvents(handle, &pending) && pending > 0) {
            INPUT_RECORD records[64];
            DWORD count = 0;
            if (!::ReadConsoleInputW(handle, records, 64, &count)) {
                end();
                return;
            }
            for (DWORD i = 0; i < count; ++i) {
                const KEY_EVENT_RECORD &key = records[i].Event.KeyEvent;
                if (records[i].EventType != KEY_EVENT || !key.bKeyDown || key.uChar.UnicodeChar == 0)
                    continue;
                const wchar_t typed = key.uChar.UnicodeChar;
                for (WORD n = 0; n < key.wRepeatCount; ++n) {
                    if (typed == L'\r') {
                        echo(L"\r\n", 2);
                        m_line.append('\n');
                        emit received(std::exchange(m_line, QByteArray()));
                    } else if (typed == L'\b') {
                        if (!m_line.isEmpty()) {
                            m_line.chop(1);
                            echo(L"\b \b", 3);
                        }
                    } else if (typed == 0x1a && m_line.isEmpty()) {  // Ctrl-Z, the end of console input
                        end();
                        return;
                    } else {
                        echo(&typed, 1);
                        m_line.append(QString(QChar(typed)).toUtf8());
                    }
                }
            }
        }
        return;
    }
    DWORD available = 0;
    if (::GetFileType(handle) == FILE_TYPE_PIPE) {
        if (!::PeekNamedPipe(handle, nullptr, 0, nullptr, &available, nullptr)) {
            end();  // the writer has gone
            return;
        }
        if (available == 0)
            return;
    }
    char bytes[256];
    DWORD n = 0;
    const DWORD wanted = available > 0 && available < sizeof bytes ? available : DWORD(sizeof bytes);
    if (!::ReadFile(handle, bytes, wanted, &n, nullptr) || n == 0) {
        end();
        return;
    }
    emit received(QByteArray(bytes, int(n)));
}

#endif

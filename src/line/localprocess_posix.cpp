#include "localprocess.h"

#include <cerrno>
#include <csignal>

namespace Line {

bool processRunning(qint64 pid)
{
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
}

} // namespace Line

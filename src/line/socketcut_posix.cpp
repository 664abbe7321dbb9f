#include "socketcut.h"

#include <sys/socket.h>

namespace Line {

void cutSocket(qintptr socket)
{
    ::shutdown(int(socket), SHUT_RDWR);
}

} // namespace Line

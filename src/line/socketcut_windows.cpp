#include "socketcut.h"

#include <winsock2.h>

namespace Line {

void cutSocket(qintptr socket)
{
    ::shutdown(SOCKET(socket), SD_BOTH);
}

} // namespace Line

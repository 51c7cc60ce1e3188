#include "serial/pty_pair.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace pty {

PtyPair::PtyPair() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    // Programs started meanwhile must not inherit either side.
    if (master_ >= 0)
        ::fcntl(master_, F_SETFD, FD_CLOEXEC);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
        error_ = std::string("cannot create pseudo-terminal: ") + std::strerror(errno);
        close();
        return;
    }
    char name[128] = {};
    if (ptsname_r(master_, name, sizeof name) != 0) {
        error_ = std::string("ptsname: ") + std::strerror(errno);
        close();
        return;
    }
    slavePath_ = name;
    slaveKeep_ = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios t{};
    if (slaveKeep_ >= 0 && tcgetattr(slaveKeep_, &t) == 0) {
        cfmakeraw(&t);
        tcsetattr(slaveKeep_, TCSANOW, &t);
    }
}

PtyPair::~PtyPair() {
    close();
}

void PtyPair::close() {
    if (slaveKeep_ >= 0)
        ::close(slaveKeep_);
    if (master_ >= 0)
        ::close(master_);
    slaveKeep_ = -1;
    master_ = -1;
}

} // namespace pty

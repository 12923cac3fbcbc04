#include "Pty.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

Pty::Pty() {
    char name[256] = {};
    if (::openpty(&master_, &slave_, name, nullptr, nullptr) != 0) {
        master_ = slave_ = -1;
        return;
    }
    termios tio{};
    ::tcgetattr(slave_, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(slave_, TCSANOW, &tio);
    path_ = QString::fromLocal8Bit(name);
}

Pty::~Pty() {
    hangUp();
}

bool Pty::write(const QByteArray& bytes) {
    const char* p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(master_, p, static_cast<size_t>(left));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        left -= n;
    }
    return true;
}

termios Pty::settings() const {
    termios tio{};
    ::tcgetattr(master_, &tio); // termios requests on the master reach the slave
    return tio;
}

void Pty::hangUp() {
    if (slave_ >= 0) ::close(slave_);
    if (master_ >= 0) ::close(master_);
    slave_ = master_ = -1;
}

int ptyCapacity() {
    Pty pty;
    if (!pty.ok()) return 0;
    const int flags = ::fcntl(pty.master(), F_GETFL);
    ::fcntl(pty.master(), F_SETFL, flags | O_NONBLOCK);
    char block[256] = {};
    int total = 0;
    for (int i = 0; i < 100000; ++i) {
        const ssize_t n = ::write(pty.master(), block, sizeof block);
        if (n <= 0) break;
        total += static_cast<int>(n);
    }
    return total;
}

ComOverride::ComOverride(int n, const QString& device) : name_("DMM_COM" + QByteArray::number(n)) {
    ::setenv(name_.constData(), device.toLocal8Bit().constData(), 1);
}

ComOverride::~ComOverride() {
    ::unsetenv(name_.constData());
}

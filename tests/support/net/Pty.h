// A pseudo-terminal for the tests: the driver opens the slave through DMM_COMn, the test writes
// the meter's bytes into the master.
#pragma once

#include <QByteArray>
#include <QString>

#include <termios.h>

class Pty {
public:
    Pty();
    ~Pty();
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    bool ok() const { return master_ >= 0; }
    QString slavePath() const { return path_; }
    int master() const { return master_; }
    // Writes all bytes into the master (blocking).
    bool write(const QByteArray& bytes);
    // The slave's line settings, as the driver left them.
    termios settings() const;
    // The far end goes away: the master and the test's own slave descriptor are closed.
    void hangUp();

private:
    int master_ = -1;
    int slave_ = -1;
    QString path_;
};

// Bytes a pseudo-terminal queues for a reader that does not read: its input buffer.
int ptyCapacity();

// Sets DMM_COMn for the life of the object.
class ComOverride {
public:
    ComOverride(int n, const QString& device);
    ~ComOverride();

private:
    QByteArray name_;
};

// A read-only, sequential view of another device that a loader hands to a parser which pulls
// its bytes itself (QXmlStreamReader): before every read it reports progress, which can cancel
// the load, and it refuses to deliver more than a window of bytes without the loader having
// seen the parser finish a token. A parser gathers a token whole before returning it, so this
// is what keeps a single endless attribute or comment from taking the memory.
#pragma once

#include "DataFiles.h"

#include <QIODevice>
#include <QString>

namespace dmm {

class WatchedReadDevice : public QIODevice {
public:
    WatchedReadDevice(QIODevice& source, const LoadProgressFn& progress, qint64 window);

    bool isSequential() const override { return true; }
    bool atEnd() const override;

    // The parser returned a token: the window starts again.
    void tokenSeen() { sinceToken_ = 0; }
    // Why a read was refused (cancelled, window exceeded, the source's read error); empty if
    // none was.
    const QString& refusal() const { return refusal_; }
    bool cancelled() const { return cancelled_; }

protected:
    qint64 readData(char* data, qint64 max) override;
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QIODevice& source_;
    const LoadProgressFn& progress_;
    qint64 window_;
    qint64 sinceToken_ = 0;
    qint64 done_ = 0;
    qint64 total_;
    QString refusal_;
    bool cancelled_ = false;
};

} // namespace dmm

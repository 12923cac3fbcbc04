// A sequential device for the loaders' tests that produces a head, `size` bytes of one fill
// character and a tail without holding them, and can fail at a given position.
#pragma once

#include <QByteArray>
#include <QIODevice>

#include <algorithm>

namespace dmm::test {

class GeneratedDevice : public QIODevice {
public:
    GeneratedDevice(QByteArray head, char fill, qint64 size, QByteArray tail, qint64 failAt = -1)
        : head_(std::move(head)), tail_(std::move(tail)), fill_(fill), size_(size),
          failAt_(failAt) {
        open(QIODevice::ReadOnly);
    }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char* data, qint64 max) override {
        if (failAt_ >= 0 && pos_ >= failAt_) {
            setErrorString(QStringLiteral("device gone"));
            return -1;
        }
        const qint64 total = head_.size() + size_ + tail_.size();
        qint64 n = 0;
        max = std::min<qint64>(max, 1000);
        while (n < max && pos_ < total) {
            if (pos_ < head_.size())
                data[n] = head_[pos_];
            else if (pos_ < head_.size() + size_)
                data[n] = fill_;
            else
                data[n] = tail_[pos_ - head_.size() - size_];
            ++n;
            ++pos_;
        }
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray head_, tail_;
    char fill_;
    qint64 size_;
    qint64 failAt_;
    qint64 pos_ = 0;

public:
    qint64 produced() const { return pos_; }
};

} // namespace dmm::test

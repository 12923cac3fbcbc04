#include "EndToEnd.h"

#include "ComDrv32.h"
#include "FrameAssembly.h"
#include "Meter.h"
#include "Pty.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <map>
#include <vector>

QString dmmBinary() {
    const QByteArray dir = qgetenv("DMM_BINARY_DIR");
    if (!dir.isEmpty()) return QString::fromLocal8Bit(dir) + "/tools/dmm/dmm";
    return QCoreApplication::applicationDirPath() + "/../../tools/dmm/dmm";
}

namespace {

struct Sent {
    QByteArray bytes;
    bool intact;
    std::string value, unit, dcac, range;
    double numeric;
    qsizetype start = 0; // offset of the frame's first byte in the stream
};

std::vector<Sent> readLog(const QString& path) {
    std::vector<Sent> out;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return out;
    qsizetype at = 0;
    while (!f.atEnd()) {
        const QByteArray line = f.readLine().trimmed();
        if (line.isEmpty()) continue;
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        Sent s;
        s.bytes = QByteArray::fromHex(o.value("bytes").toString().toLatin1());
        s.intact = o.value("intact").toBool();
        s.value = o.value("value").toString().toStdString();
        s.unit = o.value("unit").toString().toStdString();
        s.dcac = o.value("dcac").toString().toStdString();
        s.range = o.value("range").toString().toStdString();
        s.numeric = o.value("numeric").toDouble();
        s.start = at;
        at += s.bytes.size();
        out.push_back(std::move(s));
    }
    return out;
}

struct Seen {
    dmm::FrameOutcome outcome;
    dmm::CurrentReading reading;
};

class Collect : public dmm::FrameObserver {
public:
    explicit Collect(dmm::Meter& m) : m_(m) { m.observer = this; }
    void frameDone(dmm::Family, dmm::FrameOutcome o) override { seen.push_back({o, m_.reading}); }
    std::vector<Seen> seen;

private:
    dmm::Meter& m_;
};

} // namespace

EndToEndResult runEndToEnd(const QStringList& extra, const PortFor& portFor, int frames,
                           qsizetype lostBound) {
    EndToEndResult res;
    QTemporaryDir dir;
    const QString logPath = dir.filePath("sent.jsonl");
    QProcess sim;
    sim.setProgram(dmmBinary());
    sim.setArguments(QStringList{"simulate", "--pty", "--rate", "0", "--count",
                                 QString::number(frames), "--script", "tour", "--log", logPath} +
                     extra);
    sim.start();
    EXPECT_TRUE(sim.waitForStarted(5000)) << dmmBinary().toStdString();
    while (!sim.canReadLine() && sim.waitForReadyRead(5000)) {
    }
    const QString path = QString::fromLocal8Bit(sim.readLine()).trimmed();
    EXPECT_TRUE(path.startsWith("/dev/")) << path.toStdString();

    ComOverride com1(1, portFor ? portFor(path) : path);
    dmm::Meter meter;
    meter.applyCountProfile("2");
    Collect collect(meter);
    TCommPortDriver driver;
    driver.SetComPort(TCommPortDriver::pnCOM1);
    driver.SetComPortSpeed(TCommPortDriver::br2400);
    QByteArray received;
    driver.OnReceiveData = [&](TCommPortDriver*, const std::uint8_t* p, std::int32_t n) {
        received.append(reinterpret_cast<const char*>(p), n);
        dmm::HQ32RData(meter, p, n);
    };
    EXPECT_TRUE(driver.OpenPort());

    // Until the simulator has logged every frame and the port has been quiet for a while.
    QElapsedTimer t, quiet;
    t.start();
    quiet.start();
    qsizetype last = -1;
    std::vector<Sent> sent;
    while (t.elapsed() < 90000) {
        QTest::qWait(50);
        if (received.size() != last) {
            last = received.size();
            quiet.restart();
        }
        if (quiet.elapsed() > 500) {
            sent = readLog(logPath);
            if (sent.size() == static_cast<std::size_t>(frames)) break;
        }
    }
    driver.ClosePort();
    sim.terminate();
    EXPECT_TRUE(sim.waitForFinished(5000));
    EXPECT_EQ(sim.exitCode(), 0) << sim.readAllStandardError().toStdString();
    EXPECT_EQ(sent.size(), static_cast<std::size_t>(frames));
    if (sent.size() != static_cast<std::size_t>(frames)) return res;

    // Nothing is lost on the way but what the open emptied from the queue: the bytes that
    // arrived are the end of the stream, in order.
    QByteArray stream;
    for (const Sent& s : sent) stream += s.bytes;
    EXPECT_LE(received.size(), stream.size());
    res.lost = stream.size() - received.size();
    EXPECT_EQ(received, stream.right(received.size()));
    res.received = received;
    // The terminal's queue holds more or less depending on how the writes were cut into its
    // buffers (seen: 20753 bytes queued where the probe's writes fit 20544), hence the slack.
    EXPECT_LE(res.lost, lostBound >= 0 ? lostBound : ptyCapacity() + 1024)
        << "more lost than was queued before the open";

    // Each 0x0D ends a frame: the k-th frame end seen is the k-th 0x0D received.
    std::map<qsizetype, std::size_t> endAt; // stream offset of a 0x0D -> index in collect.seen
    for (qsizetype i = 0; i < received.size(); ++i)
        if (received[i] == '\x0D') endAt.emplace(res.lost + i, endAt.size());
    EXPECT_EQ(endAt.size(), collect.seen.size());
    if (endAt.size() != collect.seen.size()) return res;

    for (std::size_t i = 1; i < sent.size(); ++i) {
        const Sent& s = sent[i];
        const Sent& before = sent[i - 1];
        // The frame's accumulation starts with the 0x0A that ends the frame before it.
        if (before.start + before.bytes.size() - 1 < res.lost) continue;
        ++res.frames;
        if (!s.intact) {
            ++res.damaged;
            for (qsizetype k = 0; k < s.bytes.size(); ++k) {
                const auto e = endAt.find(s.start + k);
                if (e != endAt.end() &&
                    collect.seen[e->second].outcome == dmm::FrameOutcome::Decoded)
                    ++res.damagedPassed;
            }
            continue;
        }
        if (!before.intact) continue;
        ++res.required;
        const auto e = endAt.find(s.start + s.bytes.size() - 2);
        EXPECT_NE(e, endAt.end()) << "frame " << i;
        if (e == endAt.end()) continue;
        const Seen& got = collect.seen[e->second];
        EXPECT_EQ(got.outcome, dmm::FrameOutcome::Decoded) << "frame " << i;
        EXPECT_EQ(got.reading.ValueText, s.value) << "frame " << i;
        EXPECT_EQ(got.reading.UnitText, s.unit) << "frame " << i;
        EXPECT_EQ(got.reading.DcAc, s.dcac) << "frame " << i;
        EXPECT_EQ(got.reading.RangeMode, s.range) << "frame " << i;
        EXPECT_EQ(got.reading.NumericValue, s.numeric) << "frame " << i;
    }
    return res;
}

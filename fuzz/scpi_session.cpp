// A SCPI client's bytes, any bytes: the session's memory stays bounded (one line, twenty
// errors), every answer is a whole line of printable ASCII, and how the bytes are cut into
// reads changes neither the answers nor the errors queued.
#include "ScpiSession.h"
#include "ShownValue.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void check(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

dmm::scpi::ScpiReading reading() {
    dmm::scpi::ScpiReading r;
    r.decoded = true;
    r.ageMs = 100;
    r.reading.ValueText = "12.345";
    r.reading.UnitText = "mV";
    r.reading.DcAc = "DC";
    r.reading.RangeMode = "AUTO";
    r.reading.measurement = dmm::readMeasurement("12.345", "mV", "DC", "AUTO");
    return r;
}

QByteArray drained(dmm::scpi::ScpiErrorQueue queue) {
    QByteArray all;
    while (queue.size() > 0) all += queue.takeOldest() + '\n';
    return all;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace dmm::scpi;
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const ReadingSource source = [] { return reading(); };

    ScpiSession whole;
    const QByteArray answers = whole.receive(bytes, source);

    ScpiSession cut;
    QByteArray cutAnswers;
    for (qsizetype at = 0, i = 0; at < bytes.size(); ++i) {
        const auto step = static_cast<unsigned char>(bytes[i % bytes.size()]);
        const qsizetype n = std::min<qsizetype>(1 + step % 97, bytes.size() - at);
        cutAnswers += cut.receive(bytes.sliced(at, n), source);
        check(cut.pendingBytes() <= 4097, "a held line beyond the bound");
        at += n;
    }
    check(answers == cutAnswers, "answers depend on how the bytes were cut");
    check(drained(whole.errors()) == drained(cut.errors()), "errors depend on the cut");
    check(whole.errors().size() <= ScpiErrorQueue::kCapacity, "error queue beyond 20");
    check(answers.isEmpty() || answers.endsWith('\n'), "an answer without its line end");
    for (char c : answers) check(c == '\n' || (c >= 0x20 && c < 0x7f), "an unprintable answer");
    return 0;
}

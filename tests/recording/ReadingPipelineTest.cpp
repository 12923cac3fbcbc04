// The recording pipeline as dmm log builds it, fed with a simulated meter's frames: what its
// outputs hear, in order, and that it keeps no rows of its own.
#include "ReadingPipeline.h"
#include "ShownValue.h"
#include "Simulator.h"

#include <gtest/gtest.h>

#include <vector>

namespace dmm {
namespace {

struct Heard : ReadingSink {
    std::vector<CurrentReading> decoded;
    std::vector<RecordedRow> rows;
    int ended = 0;
    void readingDecoded(const CurrentReading& r) override { decoded.push_back(r); }
    void rowRecorded(const RecordedRow& r) override { rows.push_back(r); }
    void recordingEnded(bool) override { ++ended; }
};

void feed(Meter& m, Family family, int frames) {
    sim::Simulator sim(sim::SimOptions{family, "tour", 1, {}, 20000, true});
    for (int i = 0; i < frames; ++i) {
        const auto bytes = sim.next().bytes;
        meterFamily(family).serial(m, bytes.data(), static_cast<int>(bytes.size()));
    }
}

TEST(ReadingPipeline, OutputsHearEveryReadingAndEveryRowTypedAndNoRowIsKept) {
    for (Family family : {Family::Q32, Family::Q13, Family::Q31}) {
        Meter meter;
        applyModel(meter, shippedModel());
        FixedControls controls;
        controls.high = QStringLiteral("1");
        controls.low = QStringLiteral("-1");
        PipelineOptions options;
        options.keepTable = false;
        options.judgeBeforeOffer = !meterFamily(family).judgesReadings;
        options.timerOnlySampling = true;
        ReadingPipeline pipeline(meter, controls, options);
        pipeline.recorder().setRecordLimit(100);
        Heard heard;
        pipeline.addSink(&heard);
        feed(meter, family, 200);

        const char* name = meterFamily(family).name.data();
        EXPECT_EQ(heard.decoded.size(), meter.counts.decoded) << name;
        ASSERT_EQ(heard.rows.size(), 100u) << name;
        EXPECT_EQ(heard.ended, 1) << name;
        EXPECT_FALSE(pipeline.recorder().keepsTable()) << name;
        for (std::size_t i = 0; i < heard.rows.size(); ++i) {
            const RecordedRow& r = heard.rows[i];
            EXPECT_EQ(r.index, -1);
            EXPECT_EQ(r.row.no, static_cast<int>(i) + 1) << name;
            // Every family is judged, against the limits the controls hold.
            EXPECT_TRUE(r.row.judge == "pass" || r.row.judge == "Fail") << name << " row " << i;
            // The row's measurement is the one its own texts read as.
            const Measurement fromTexts = readMeasurement(
                r.row.value.toStdString(), r.row.unit.toStdString(), r.row.dcAc.toStdString());
            EXPECT_EQ(r.measurement.valueText(), fromTexts.valueText()) << name << " row " << i;
            EXPECT_EQ(r.measurement.display, fromTexts.display) << name << " row " << i;
        }
    }
}

} // namespace
} // namespace dmm

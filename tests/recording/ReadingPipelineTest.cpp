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

std::vector<std::string> valuesOf(const std::vector<RecordedRow>& rows, std::size_t from) {
    std::vector<std::string> v;
    for (std::size_t i = from; i < rows.size(); ++i) v.push_back(rows[i].measurement.valueText());
    return v;
}

// A supply switched on (the simulated meter's "switch-on": a creep below 0.15 V, then 1.5 V, 5 V
// and 12 V), recorded from the crossing of 1 V with the 5 readings before it and 10 from it on.
// A reconnect while it records changes nothing; after "Close Data" a connect captures the next.
TEST(ReadingPipeline, ATriggerRecordsTheReadingsBeforeTheCrossingThenStops) {
    Meter meter;
    applyModel(meter, shippedModel());
    FixedControls controls;
    PipelineOptions options;
    options.keepTable = false;
    options.timerOnlySampling = true;
    ReadingPipeline pipeline(meter, controls, options);
    Heard heard;
    pipeline.addSink(&heard);
    TriggerSettings s;
    ASSERT_EQ(readStartWhen("rises above 1 V", s) + readPretrigger("5", s) + readStopAfter("10", s),
              "");
    std::vector<QString> states;
    pipeline.onTriggerState([&states](const QString& state) { states.push_back(state); });
    pipeline.setTrigger(s);
    pipeline.armTrigger();
    sim::Simulator sim(sim::SimOptions{Family::Q32, "switch-on", 1, {}, 20000, true});
    const auto frames = [&](int n) {
        for (int i = 0; i < n; ++i) {
            const auto bytes = sim.next().bytes;
            meterFamily(Family::Q32).serial(meter, bytes.data(), static_cast<int>(bytes.size()));
        }
    };
    frames(153);
    pipeline.armTrigger(); // a reconnect
    frames(247);           // the next switch-on comes after the stop
    const std::vector<std::string> expected = {"0.145", "0.146", "0.147", "0.148", "0.149", "1.5",
                                               "5",     "12",    "12",    "12",    "12",    "12",
                                               "12",    "12",    "12"};
    EXPECT_EQ(valuesOf(heard.rows, 0), expected);
    for (std::size_t i = 0; i < heard.rows.size(); ++i)
        EXPECT_EQ(heard.rows[i].row.no, static_cast<int>(i) + 1);
    EXPECT_EQ(heard.ended, 1);
    const std::vector<QString> told = {
        "set, waits for a connect",
        "waiting for a reading that rises above 1 V, keeping the 5 readings before it",
        "recording, stops after 10 readings", "stopped after 10 readings"};
    EXPECT_EQ(states, told);

    pipeline.clear(); // "Close Data", then a connect
    pipeline.armTrigger();
    frames(200);
    EXPECT_EQ(valuesOf(heard.rows, 15), expected);
    EXPECT_EQ(heard.rows.back().row.no, 15);
    EXPECT_EQ(heard.ended, 2);
}

} // namespace
} // namespace dmm

// The decoder's calls out for a program without a window (the logger, the soak): the limit judge
// with typed limits, the recall step with recall mode off, and the recorder. The chart, the
// series and the beep have no place without a window.
#pragma once

#include "LimitJudge.h"
#include "Meter.h"
#include "NullHooks.h"
#include "RecallClock.h"
#include "Recorder.h"

#include <QString>

#include <functional>

namespace dmm {

class HeadlessHooks : public NullHooks {
public:
    struct Settings {
        QString high = QString::fromLatin1(kDefaultHighLimit);
        QString low = QString::fromLatin1(kDefaultLowLimit);
        bool repeat = true;         // the "Repeat" check box
        bool samplingTimer = false; // "Sampling Interval": the decoder leaves recording to a timer
        // Whether the family's decoder runs the judge and the recall step itself; for a family
        // whose decoder does not, these hooks run them before each offer.
        bool familyJudges = true;
    };

    HeadlessHooks(Meter& meter, Recorder& recorder, Settings settings);

    // Told after each appended row with its index in the recorder's table.
    std::function<void(int row)> onAppended;
    // Told once, after the offer that filled the record limit or gave the largest record number:
    // the recorder appends nothing more.
    std::function<void()> onRecordingEnded;

    // The decoder's offer of a decoded frame's reading; with the sampling timer on, the timer
    // records instead.
    void INDataToTable() override;
    // The sampling timer's offer. Before the first decoded frame there is no reading to offer,
    // and nothing is recorded.
    void offerSample();
    void JudgeReading() override;
    void RecallStep() override;
    bool RecordSIChecked() const override { return settings_.samplingTimer; }

private:
    Meter& meter_;
    Recorder& recorder_;
    Settings settings_;
    LimitJudge judge_;
    RecallClock recall_;
    bool decodedAny_ = false;
    bool ended_ = false;
};

} // namespace dmm

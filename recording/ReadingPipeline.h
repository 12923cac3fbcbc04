// The road from a decoded frame to a recorded row, built the same way by the window, dmm log and
// the soak: the limit judge, the recall clock, the recorder and (where one is kept) the readings
// table, behind the decoder's hooks. Outputs attach as sinks (ReadingSink) and hear every decoded
// reading and every recorded row as typed records; none of them reads the table back.
//
// What differs between the programs is set here and nowhere else:
// - the controls the rules read at each frame (the window's fields, or fixed settings);
// - whether the table is kept (the window's grid, chart and files need it; dmm log writes each
//   row as it comes and keeps none, so its memory stays flat over days);
// - whether the pipeline itself judges the readings of a family whose decoder does not (dmm log
//   judges every family; the window only what the decoder judges);
// - with the sampling timer on, whether frames of a family whose decoder offers every reading
//   still record (the window) or only the timer does, once a frame has come (dmm log);
// - the display (chart, judge panel, beep), which only the window has.
#pragma once

#include "FixedControls.h"
#include "LimitJudge.h"
#include "Meter.h"
#include "PipelineDisplay.h"
#include "ReadingSink.h"
#include "ReadingsTable.h"
#include "RecallClock.h"
#include "Recorder.h"
#include "RecordingTrigger.h"

#include <QDateTime>

#include <deque>
#include <functional>
#include <memory>
#include <vector>

namespace dmm {

struct PipelineOptions {
    bool keepTable = true;
    // Judge and take the recall step before each offer: the family's decoder does not.
    bool judgeBeforeOffer = false;
    // With the sampling timer on, only the timer records (whatever the family's decoder
    // offers), and not before the first decoded frame.
    bool timerOnlySampling = false;
};

class ReadingPipeline : public DecoderHooks {
public:
    // Becomes the meter's hooks. `controls` and `display` (null: none) are not owned and outlive
    // the pipeline.
    ReadingPipeline(Meter& meter, const RecordingControls& controls, PipelineOptions options,
                    PipelineDisplay* display = nullptr);
    ~ReadingPipeline() override;
    ReadingPipeline(const ReadingPipeline&) = delete;
    ReadingPipeline& operator=(const ReadingPipeline&) = delete;

    // Outputs, told in the order they were added. Not owned; remove before destroying one.
    void addSink(ReadingSink* sink);
    void removeSink(ReadingSink* sink);

    // The sampling timer's offer of the current reading.
    void offerSample();
    // While held (a file is being loaded or saved), offers wait with the time they came and are
    // recorded in order when released. At the meter's fastest (about 22 a second) the bound is
    // over an hour of a file operation; beyond it the oldest gives way.
    void holdOffers();
    void releaseOffers();
    static constexpr std::size_t kMaxHeldOffers = 100'000;

    // A start and stop of its own (nullopt: every offer goes to the recorder, as without one).
    // The trigger reads the recorder's clock; set before setting the trigger in a test.
    void setTrigger(std::optional<TriggerSettings> settings);
    const RecordingTrigger* trigger() const { return trigger_.get(); }
    // A connect, or the start of dmm log.
    void armTrigger();
    // Once a second: a stop by time while no reading comes.
    void triggerTick();
    // Told the trigger's state text whenever it changes (empty: no trigger set).
    void onTriggerState(std::function<void(const QString&)> told) {
        toldTrigger_ = std::move(told);
    }

    // The table's other events, told to the sinks: "Close Data" (the recorder cleared), a file
    // loaded into the table, the table saved.
    void clear();
    // Rows from `first` on came from a file (0: the file replaced the table).
    void tableLoaded(int first);
    void tableSaved(const QString& path);

    // Meaningful only with keepTable.
    ReadingsTable& table() { return *table_; }
    Recorder& recorder() { return *recorder_; }
    LimitJudge& judge() { return judge_; }
    RecallClock& recallClock() { return recall_; }

    // DecoderHooks
    void INDataToTable() override;
    void JudgeReading() override;
    void RecallStep() override;
    void ShowSeries(int index) override;
    void SetValueAxis(double minimum, double maximum) override;
    void AddSeriesPoint(int index, double y) override;
    void ShowChartOwnPage() override;
    void Beep() override;
    void ReadingDecoded() override;
    bool RecordSIChecked() const override { return controls_.samplingTimer(); }
    bool BtFillChecked() const override { return display_ ? display_->BtFillChecked() : true; }

private:
    struct HeldOffer {
        CurrentReading reading;
        bool repeat;
        bool recall;
        QDateTime takenAt;
    };
    void record(const CurrentReading& reading, bool repeat, bool recall,
                std::optional<QDateTime> takenAt);
    void offerToTrigger(HeldOffer offer);
    void endByTrigger();
    void tellTrigger();

    Meter& meter_;
    const RecordingControls& controls_;
    PipelineOptions options_;
    PipelineDisplay* display_;
    std::unique_ptr<ReadingsTable> table_;
    std::unique_ptr<Recorder> recorder_;
    LimitJudge judge_;
    RecallClock recall_;
    std::vector<ReadingSink*> sinks_;
    std::deque<HeldOffer> held_;
    bool holding_ = false;
    bool decodedAny_ = false;
    bool ended_ = false;
    std::unique_ptr<RecordingTrigger> trigger_;
    std::function<void(const QString&)> toldTrigger_;
    QString triggerText_;
    bool stopAfterHeld_ = false; // the trigger stopped while offers were held
};

} // namespace dmm

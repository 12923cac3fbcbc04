#include "ReadingPipeline.h"

#include <algorithm>

namespace dmm {

namespace {

// The separator is UTF-8 (Arabic's is U+066B, two bytes): the judge reads its first character.
QChar judgeSeparator(const Meter& meter) {
    const QString sep = QString::fromStdString(meter.LocaleDecimalSeparator);
    return sep.isEmpty() ? QLatin1Char('.') : sep.at(0);
}

} // namespace

ReadingPipeline::ReadingPipeline(Meter& meter, const RecordingControls& controls,
                                 PipelineOptions options, PipelineDisplay* display)
    : meter_(meter), controls_(controls), options_(options), display_(display),
      judge_(judgeSeparator(meter)) {
    if (options_.keepTable) {
        table_ = std::make_unique<ReadingsTable>();
        recorder_ = std::make_unique<Recorder>(*table_, display_);
    } else {
        recorder_ = std::make_unique<Recorder>(nullptr, display_);
    }
    meter_.setHooks(this);
}

ReadingPipeline::~ReadingPipeline() {
    meter_.setHooks(nullptr);
}

void ReadingPipeline::addSink(ReadingSink* sink) {
    sinks_.push_back(sink);
}

void ReadingPipeline::removeSink(ReadingSink* sink) {
    sinks_.erase(std::remove(sinks_.begin(), sinks_.end(), sink), sinks_.end());
}

void ReadingPipeline::INDataToTable() {
    if (options_.judgeBeforeOffer) {
        JudgeReading();
        RecallStep();
    }
    if (options_.timerOnlySampling && controls_.samplingTimer()) return;
    offerSample();
}

void ReadingPipeline::offerSample() {
    if (options_.timerOnlySampling && !decodedAny_) return;
    const bool repeat = controls_.repeat();
    const bool recall = controls_.recallChecked();
    if (trigger_) {
        offerToTrigger(HeldOffer{meter_.reading, repeat, recall, recorder_->now()});
        return;
    }
    if (holding_) {
        if (held_.size() >= kMaxHeldOffers) held_.pop_front();
        held_.push_back(HeldOffer{meter_.reading, repeat, recall, recorder_->now()});
        return;
    }
    record(meter_.reading, repeat, recall, std::nullopt);
}

void ReadingPipeline::record(const CurrentReading& reading, bool repeat, bool recall,
                             std::optional<QDateTime> takenAt) {
    RecordResult r = recorder_->INDataToTable(reading, repeat, recall, takenAt);
    if (r.outcome == RecordOutcome::Appended) {
        const RecordedRow row{table_ ? table_->size() - 1 : -1, std::move(r.row),
                              reading.measurement};
        for (ReadingSink* s : sinks_) s->rowRecorded(row);
        if (r.currentPage >= 0 && display_) display_->showPage(r.currentPage);
    }
    const bool full = recorder_->RecordedCount() >= recorder_->RecordLimit();
    if (!ended_ && (full || recorder_->numbersUsedUp())) {
        ended_ = true;
        for (ReadingSink* s : sinks_) s->recordingEnded(recorder_->numbersUsedUp());
    }
}

void ReadingPipeline::offerToTrigger(HeldOffer offer) {
    RecordingTrigger::Passed passed = trigger_->offer(
        {std::move(offer.reading), offer.repeat, offer.recall, std::move(offer.takenAt)});
    for (RecordingTrigger::Offer& o : passed.offers) {
        if (holding_) {
            if (held_.size() >= kMaxHeldOffers) held_.pop_front();
            held_.push_back(HeldOffer{std::move(o.reading), o.repeat, o.recall, o.takenAt});
        } else {
            record(o.reading, o.repeat, o.recall, o.takenAt);
        }
    }
    tellTrigger(); // the stop's state before the sinks hear that recording ended
    if (passed.stop) endByTrigger();
}

// As at the record limit; rows still held are recorded first.
void ReadingPipeline::endByTrigger() {
    if (holding_) {
        stopAfterHeld_ = true;
        return;
    }
    if (ended_) return;
    ended_ = true;
    for (ReadingSink* s : sinks_) s->recordingEnded(false);
}

void ReadingPipeline::setTrigger(std::optional<TriggerSettings> settings) {
    trigger_.reset();
    if (settings && settings->isSet())
        trigger_ = std::make_unique<RecordingTrigger>(std::move(*settings),
                                                      [this] { return recorder_->now(); });
    tellTrigger();
}

void ReadingPipeline::armTrigger() {
    if (!trigger_) return;
    trigger_->arm();
    tellTrigger();
}

void ReadingPipeline::triggerTick() {
    if (!trigger_ || !trigger_->tick()) return;
    tellTrigger();
    endByTrigger();
}

void ReadingPipeline::tellTrigger() {
    const QString text = trigger_ ? trigger_->stateText() : QString();
    if (text == triggerText_) return;
    triggerText_ = text;
    if (toldTrigger_) toldTrigger_(text);
}

void ReadingPipeline::holdOffers() {
    holding_ = true;
}

void ReadingPipeline::releaseOffers() {
    holding_ = false;
    while (!held_.empty() && !holding_) {
        const HeldOffer offer = std::move(held_.front());
        held_.pop_front();
        record(offer.reading, offer.repeat, offer.recall, offer.takenAt);
    }
    if (!holding_ && stopAfterHeld_) {
        stopAfterHeld_ = false;
        endByTrigger();
    }
}

void ReadingPipeline::clear() {
    recorder_->clear();
    ended_ = false;
    if (trigger_) {
        trigger_->cleared();
        tellTrigger();
    }
    for (ReadingSink* s : sinks_) s->tableCleared();
}

void ReadingPipeline::tableLoaded(int first) {
    if (!table_) return;
    for (ReadingSink* s : sinks_) s->tableLoaded(*table_, first);
}

void ReadingPipeline::tableSaved(const QString& path) {
    for (ReadingSink* s : sinks_) s->tableSaved(path);
}

void ReadingPipeline::JudgeReading() {
    decodedAny_ = true;
    const Verdict v =
        judge_.JudgeReading(meter_.reading, controls_.highLimit(), controls_.lowLimit());
    if (display_) display_->showVerdict(v);
}

void ReadingPipeline::RecallStep() {
    recall_.RecallStep(meter_.reading, controls_.recallChecked(), controls_.recallInterval());
}

void ReadingPipeline::ReadingDecoded() {
    for (ReadingSink* s : sinks_) s->readingDecoded(meter_.reading);
}

void ReadingPipeline::ShowSeries(int index) {
    if (display_) display_->ShowSeries(index);
}

void ReadingPipeline::SetValueAxis(double minimum, double maximum) {
    if (display_) display_->SetValueAxis(minimum, maximum);
}

void ReadingPipeline::AddSeriesPoint(int index, double y) {
    // The points a decoder plots itself wait for the trigger as the recorded rows do.
    if (trigger_ && trigger_->state() != RecordingTrigger::State::Recording) return;
    if (display_) display_->AddSeriesPoint(index, y);
}

void ReadingPipeline::ShowChartOwnPage() {
    if (display_) display_->ShowChartOwnPage();
}

void ReadingPipeline::Beep() {
    if (display_) display_->Beep();
}

} // namespace dmm

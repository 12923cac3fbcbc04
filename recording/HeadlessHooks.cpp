#include "HeadlessHooks.h"

namespace dmm {

HeadlessHooks::HeadlessHooks(Meter& meter, Recorder& recorder, Settings settings)
    : meter_(meter), recorder_(recorder), settings_(std::move(settings)),
      judge_(meter.LocaleDecimalSeparator.empty()
                 ? QLatin1Char('.')
                 // The separator is UTF-8 (Arabic's is U+066B, two bytes): its first character.
                 : QString::fromStdString(meter.LocaleDecimalSeparator).at(0)) {}

void HeadlessHooks::INDataToTable() {
    if (!settings_.familyJudges) {
        JudgeReading();
        RecallStep();
    }
    if (settings_.samplingTimer) return;
    offerSample();
}

void HeadlessHooks::offerSample() {
    if (!decodedAny_) return;
    const RecordResult r = recorder_.INDataToTable(meter_.reading, settings_.repeat, false);
    if (r.outcome == RecordOutcome::Appended && onAppended)
        onAppended(recorder_.table().size() - 1);
    const bool full = recorder_.RecordedCount() >= recorder_.RecordLimit();
    if (!ended_ && (full || recorder_.numbersUsedUp())) {
        ended_ = true;
        if (onRecordingEnded) onRecordingEnded();
    }
}

void HeadlessHooks::JudgeReading() {
    decodedAny_ = true;
    judge_.JudgeReading(meter_.reading, settings_.high, settings_.low);
}

void HeadlessHooks::RecallStep() {
    recall_.RecallStep(meter_.reading, false, QString());
}

} // namespace dmm

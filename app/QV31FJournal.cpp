// The journal of the recording: at the start, the question about a recording an earlier run did
// not save and its restoring; then this run's journal, and the note when it cannot be kept.
#include "QV31F.h"

#include "ChartRows.h"
#include "JournalFolder.h"
#include "StateFolder.h"
#include "uCharControl.h"

#include <QAction>
#include <QLocale>

#include <cmath>
#include <cstdio>

namespace dmm::app {

namespace {

// "2026-12-10 08:00:01 to 17:30:12"; the end's date too when it is another day.
QString spanText(const JournalSummary& s) {
    const QString day = QStringLiteral("yyyy-MM-dd");
    const QString time = QStringLiteral("HH:mm:ss");
    if (!s.firstAt.isValid()) {
        const QString date =
            s.startedAt.isValid() ? s.startedAt.toString(day) + QLatin1Char(' ') : QString();
        return QStringLiteral("%1%2 to %3").arg(date, s.firstTime, s.lastTime);
    }
    const QDateTime first = s.firstAt.toLocalTime(), last = s.lastAt.toLocalTime();
    const QString end = first.date() == last.date() ? last.toString(time)
                                                    : last.toString(day + QLatin1Char(' ') + time);
    return QStringLiteral("%1 to %2").arg(first.toString(day + QLatin1Char(' ') + time), end);
}

} // namespace

void TFCOMM::startJournal() {
    if (journal_) return;
    const QString problem = makeStateFolder();
    if (!problem.isEmpty()) {
        journalNotProtected(problem);
        return;
    }
    JournalFolder folder(stateFolder());
    folder.scan();
    for (const QString& note : folder.notes()) {
        std::fprintf(stderr, "dmm-interface: %s\n", note.toLocal8Bit().constData());
        dialogs_->message(this, QStringLiteral("Information"), note, MsgIcon::Warning,
                          static_cast<unsigned>(MsgButton::Ok));
    }
    QString error;
    if (JournalOffer* offer = folder.offer()) {
        if (askToRestore(offer->table->size(), offer->summary)) {
            restoreRecording(*offer->table, offer->summary.state);
            journal_ = RecordingJournal::resume(offer->path, folder.takeOfferFd(),
                                                offer->summary.wholeBytes, offer->summary.unsaved,
                                                recorder(), error);
            if (!journal_) {
                journalNotProtected(error);
                return;
            }
        } else if (const QString kept = folder.setAsideOffer(); !kept.isEmpty()) {
            std::fprintf(stderr, "dmm-interface: %s\n", kept.toLocal8Bit().constData());
        }
    }
    if (!journal_) journal_ = RecordingJournal::create(stateFolder(), recorder(), error);
    if (!journal_) {
        journalNotProtected(error);
        return;
    }
    journal_->failed = [this](const QString& why) { journalNotProtected(why); };
    pipeline_->addSink(journal_.get());
}

bool TFCOMM::askToRestore(int rows, const JournalSummary& summary) {
    const QString text =
        QStringLiteral("The last recording (%1 readings, from %2) was not saved. Restore it?")
            .arg(rows)
            .arg(spanText(summary));
    return dialogs_->message(this, QStringLiteral("Information"), text, MsgIcon::Question,
                             MsgButton::Yes | MsgButton::No) == MsgButton::Yes;
}

void TFCOMM::restoreRecording(ReadingsTable& rows, const RecorderState& state) {
    cds1().takeRows(rows);
    recorder().restore(state);
    for (QAction* a : recordLimitActions_) a->setChecked(a->data().toInt() == state.recordLimit);
    // Unlike a loaded file's, the rows are plotted, as they were when they were recorded.
    const int n = cds1().size();
    std::vector<double> values(static_cast<std::size_t>(n));
    RecordedRow plotted;
    for (int i = 0; i < n; ++i) {
        const std::optional<std::int32_t> count = cds1().integer(i, Field::Nval);
        values[static_cast<std::size_t>(i)] = count ? double(*count) : std::nan("");
        plotted.index = i;
        chartRows_->rowRecorded(plotted);
    }
    showPage(pager().AddValues(values));
    statistics_->tableLoaded(cds1(), 0); // worked out when first asked for
    flushGrid();
}

void TFCOMM::journalNotProtected(const QString& why) {
    if (journalWarned_) return;
    journalWarned_ = true;
    const QString text = QStringLiteral("Recording not protected against a crash: %1").arg(why);
    std::fprintf(stderr, "dmm-interface: %s\n", text.toLocal8Bit().constData());
    setLinkNote(QStringLiteral("journal"), text);
}

} // namespace dmm::app

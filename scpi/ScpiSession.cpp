#include "ScpiSession.h"

#include "ScpiAnswers.h"

namespace dmm::scpi {

QByteArray ScpiSession::receive(QByteArrayView bytes, const ReadingSource& source) {
    lastHeard_ = std::chrono::steady_clock::now();
    QByteArray out;
    for (const ScpiLineBuffer::Line& line : lines_.append(bytes)) {
        if (line.tooLong)
            errors_.push(-223, "Too much data");
        else
            out += ScpiAnswers::answerLine(line.text, source(), errors_);
    }
    return out;
}

} // namespace dmm::scpi

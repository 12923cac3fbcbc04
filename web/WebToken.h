// The token a client beyond this machine must show: made at random at the first start, kept in
// the state folder (readable by the user alone) and read again at later starts, so that a
// bookmarked link keeps working. Compared in constant time; never written to a log.
#pragma once

#include <QByteArray>
#include <QString>

namespace dmm::web {

class WebToken {
public:
    static constexpr const char* kFileName = "http-token";

    // Reads the token from the state folder, or makes and writes one. Empty and `error` set when
    // neither works.
    static QByteArray loadOrMake(QString& error);
    // True when `given` equals `token`; the time taken does not depend on where they differ.
    static bool matches(const QByteArray& given, const QByteArray& token);
};

} // namespace dmm::web

// End to end: dmm simulate -> pseudo-terminal -> (a server in front of it) -> TCommPortDriver ->
// HQ32RData -> decoder, compared frame by frame with the simulator's log of what it sent.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

// The dmm tool of this build.
QString dmmBinary();

struct EndToEndResult {
    int required = 0;      // intact frames after an intact frame, wholly received
    int damaged = 0;       // damaged frames wholly received
    int damagedPassed = 0; // of these, frames that the framing check let through
    qsizetype lost = 0;    // stream bytes emptied from the queue when the port opened
    qsizetype frames = 0;
    QByteArray received; // every byte the driver delivered
};

// What COM1 names, given the simulator's pseudo-terminal: the terminal itself when empty, or the
// address of a server started in front of it.
using PortFor = std::function<QString(const QString& pty)>;

// Runs the simulator (`frames` frames as fast as the reader takes them, plus `extra`) on a
// pseudo-terminal, reads it through the driver on COM1 and checks every frame. What is lost
// before the open is at most `lostBound` bytes (by default what the terminal queues, with
// some slack).
EndToEndResult runEndToEnd(const QStringList& extra, const PortFor& portFor = {}, int frames = 2000,
                           qsizetype lostBound = -1);

// End to end: dmm simulate -> pseudo-terminal -> TCommPortDriver -> HQ32RData -> decoder, compared
// frame by frame with the simulator's log of what it sent.
#include "EndToEnd.h"
#include "SimulatorProcess.h"

#include <QTest>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>

namespace {

TEST(SimulateEndToEnd, EveryFrameSentAfterTheOpenDecodesInOrder) {
    const EndToEndResult r = runEndToEnd({});
    // Everything after what the open emptied from the queue arrives and decodes.
    EXPECT_EQ(r.damaged, 0);
    EXPECT_GE(r.required, 2000 - r.lost / 11 - 2);
    // How much the open empties depends on how long the machine took to get there (on a loaded
    // one, most of the 2000); what matters is that enough frames are left to compare.
    EXPECT_GT(r.required, 100);
    std::printf("[   INFO   ] %d frames decoded after the open; %lld bytes emptied at the open\n",
                r.required, static_cast<long long>(r.lost));
}

TEST(SimulateEndToEnd, WithFaultsEveryIntactFrameAfterAnIntactFrameDecodes) {
    const EndToEndResult r = runEndToEnd({"--seed", "4", "--fault", "drop:0.03", "--fault",
                                          "corrupt:0.03", "--fault", "stray:0.03"});
    EXPECT_GT(r.required, 300);
    EXPECT_GT(r.damaged, 20);
    std::printf("[   INFO   ] %lld frames received, %d damaged, %d damaged frames passed the "
                "framing check, %d intact frames after intact frames all decoded\n",
                static_cast<long long>(r.frames), r.damaged, r.damagedPassed, r.required);
}

// A terminal nobody reads fills at once at --rate 0; every stopping signal still ends the
// simulator (it hung in a write that had written part of a frame when SIGTERM came).
TEST(SimulateEndToEnd, EverySignalEndsItWithNobodyReadingTheTerminal) {
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(signal);
        dmm::testnet::SimulatorProcess sim;
        ASSERT_TRUE(sim.start(dmmBinary(), {"--rate", "0"}));
        QTest::qWait(1000); // the terminal's queue is full long before
        ::kill(static_cast<pid_t>(sim.process().processId()), signal);
        EXPECT_TRUE(sim.process().waitForFinished(5000));
        EXPECT_EQ(sim.process().exitStatus(), QProcess::NormalExit);
    }
}

} // namespace

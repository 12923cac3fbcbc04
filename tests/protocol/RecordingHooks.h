// Decoder hooks that log every call, in order, so a test can check what a frame reached.
#pragma once

#include "DecoderHooks.h"

#include <string>
#include <vector>

namespace dmm::test {

class RecordingHooks : public DecoderHooks {
public:
    std::vector<std::string> calls;
    bool recordSI = false;
    bool btFill = true;

    void INDataToTable() override { calls.push_back("INDataToTable"); }
    void JudgeReading() override { calls.push_back("JudgeReading"); }
    void RecallStep() override { calls.push_back("RecallStep"); }
    void ShowSeries(int index) override { calls.push_back("ShowSeries " + std::to_string(index)); }
    void SetValueAxis(double minimum, double maximum) override {
        calls.push_back("SetValueAxis " + num(minimum) + " " + num(maximum));
    }
    void AddSeriesPoint(int index, double y) override {
        calls.push_back("AddSeriesPoint " + std::to_string(index) + " " + num(y));
    }
    void ShowChartOwnPage() override { calls.push_back("ShowChartOwnPage"); }
    void Beep() override { calls.push_back("Beep"); }
    bool RecordSIChecked() const override { return recordSI; }
    bool BtFillChecked() const override { return btFill; }

    int count(const std::string& call) const {
        int n = 0;
        for (const auto& c : calls)
            if (c == call) ++n;
        return n;
    }

private:
    static std::string num(double v) {
        if (v == static_cast<double>(static_cast<long long>(v)))
            return std::to_string(static_cast<long long>(v));
        return std::to_string(v);
    }
};

} // namespace dmm::test

#include "Scripts.h"

#include "Encoders.h"

#include <cstdlib>

namespace dmm::sim {

namespace {

class Wander : public Script {
public:
    explicit Wander(SimFamily family) : family_(family) {
        // A 12 V supply: 12.345 on the 20 V range of the five-digit meter, 12.34 on the 40 V
        // ranges of the four-digit ones.
        value_ = family == SimFamily::Q32 ? 12345 : 1234;
        limit_ = family == SimFamily::Q32 ? 19999 : 9999;
    }
    MeterState next(Rng& rng) override {
        // Small steps most of the time, a larger jump now and then, held within the range.
        int step = static_cast<int>(rng.below(7)) - 3;
        if (rng.below(20) == 0) step *= 25;
        value_ += step;
        if (value_ > limit_) value_ = 2 * limit_ - value_;
        if (value_ < -limit_) value_ = -2 * limit_ - value_;
        MeterState s;
        s.function = Function::DcVolt;
        s.range = family_ == SimFamily::Q13 ? 1 : 2;
        s.autoRange = true;
        s.negative = value_ < 0;
        s.count = static_cast<std::uint32_t>(std::abs(value_));
        return s;
    }

private:
    SimFamily family_;
    int value_;
    int limit_;
};

struct Walk {
    Function function;
    int firstRange;
    int lastRange;
};

std::vector<MeterState> tourQ32() {
    std::vector<MeterState> out;
    const Function functions[] = {
        Function::None,      Function::DcVolt,      Function::AcVolt,     Function::MilliVolt,
        Function::Ohm,       Function::Capacitance, Function::Celsius,    Function::MicroAmp,
        Function::MilliAmp,  Function::Amp,         Function::Continuity, Function::Diode,
        Function::Frequency, Function::Fahrenheit,  Function::Watt,       Function::LoopPercent,
        Function::DutyCycle};
    int i = 0;
    for (Function f : functions) {
        for (int r = 0; r <= 9; ++r, ++i) {
            MeterState s;
            s.function = f;
            s.range = r;
            static const Coupling couplings[] = {Coupling::Default, Coupling::AC, Coupling::DC,
                                                 Coupling::ACDC, Coupling::Other};
            s.coupling = couplings[i % 5];
            s.negative = (i / 2) % 2 == 1;
            s.autoRange = i % 3 != 1;
            s.status8 = i % 4 == 3;
            s.fourDigits = i % 7 == 3;
            s.allZero = i % 11 == 5;
            // An overload where the range keeps the last full scale would read the full scale of
            // whatever frame came before, which a receiver that joined late has not seen.
            if (q32RangeDefined(f, r) && i % 6 == 0) s.overload = Overload::ZeroL;
            if (q32RangeDefined(f, r) && i % 6 == 3) s.overload = Overload::LZero;
            out.push_back(s);
        }
    }
    return out;
}

std::vector<MeterState> tourQ31() {
    const Walk walks[] = {
        {Function::DcVolt, 0, 5},   {Function::MilliVolt, 0, 0},   {Function::AcVolt, 1, 4},
        {Function::MicroAmp, 0, 1}, {Function::MilliAmp, 0, 2},    {Function::Amp, 0, 1},
        {Function::Ohm, 0, 6},      {Function::Frequency, 0, 6},   {Function::Rpm, 0, 5},
        {Function::Celsius, 0, 0},  {Function::Fahrenheit, 0, 0},  {Function::Continuity, 0, 0},
        {Function::Diode, 0, 0},    {Function::Capacitance, 0, 7}, {Function::None, 0, 0},
        {Function::Watt, 0, 0}};
    std::vector<MeterState> out;
    int i = 0;
    for (const Walk& w : walks) {
        for (int r = w.firstRange; r <= w.lastRange; ++r, ++i) {
            MeterState s;
            s.function = w.function;
            s.range = r;
            static const Coupling couplings[] = {Coupling::Default, Coupling::AC, Coupling::DC,
                                                 Coupling::ACDC};
            s.coupling = w.function == Function::AcVolt ? Coupling::AC : couplings[i % 4];
            s.negative = (i / 2) % 2 == 1;
            s.autoRange = i % 3 != 1;
            s.lowBattery = i % 8 == 5;
            s.serialOutput = i % 4 != 3;
            if (i % 9 == 4) s.overload = Overload::ZeroL;
            if (i % 10 == 7) s.frequencyOverride = true;
            out.push_back(s);
        }
    }
    return out;
}

std::vector<MeterState> tourQ13() {
    const Function functions[] = {Function::DcVolt,    Function::AcVolt,      Function::MilliVolt,
                                  Function::Ohm,       Function::Capacitance, Function::Frequency,
                                  Function::Celsius,   Function::MicroAmp,    Function::MilliAmp,
                                  Function::Amp,       Function::Continuity,  Function::Diode,
                                  Function::DutyCycle, Function::None};
    std::vector<MeterState> out;
    int i = 0;
    for (Function f : functions) {
        for (int r = 0; r < q13RangeCount(f); ++r, ++i) {
            MeterState s;
            s.function = f;
            s.range = r;
            static const Coupling couplings[] = {Coupling::Default, Coupling::AC, Coupling::DC,
                                                 Coupling::ACDC, Coupling::Default};
            s.coupling = couplings[i % 5];
            s.negative = (i / 2) % 2 == 1;
            s.autoRange = i % 3 != 1;
            s.lowBattery = i % 7 == 2;
            s.hold = i % 5 == 1;
            s.rec = i % 6 == 4;
            s.serialOutput = i % 4 != 3;
            s.blankLeading = i % 4 == 2;
            if (i % 9 == 4) s.overload = Overload::ZeroL;
            out.push_back(s);
        }
    }
    return out;
}

class Tour : public Script {
public:
    explicit Tour(SimFamily family)
        : states_(family == SimFamily::Q32   ? tourQ32()
                  : family == SimFamily::Q31 ? tourQ31()
                                             : tourQ13()) {}
    MeterState next(Rng& rng) override {
        MeterState s = states_[at_];
        at_ = (at_ + 1) % states_.size();
        const std::uint32_t limit = s.fourDigits || !five_ ? 10000 : 20000;
        s.count = rng.below(limit);
        if (s.blankLeading) s.count %= 1000;
        return s;
    }
    void fiveDigits(bool five) { five_ = five; }

private:
    std::vector<MeterState> states_;
    std::size_t at_ = 0;
    bool five_ = true;
};

} // namespace

std::unique_ptr<Script> makeScript(std::string_view name, SimFamily family) {
    if (name == "wander") return std::make_unique<Wander>(family);
    if (name == "tour") {
        auto tour = std::make_unique<Tour>(family);
        tour->fiveDigits(family == SimFamily::Q32);
        return tour;
    }
    return nullptr;
}

const std::vector<std::string>& scriptNames() {
    static const std::vector<std::string> names = {"tour", "wander"};
    return names;
}

} // namespace dmm::sim

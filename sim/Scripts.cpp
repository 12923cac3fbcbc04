#include "Scripts.h"

#include "MeterFamily.h"

#include <cstdlib>
#include <vector>

namespace dmm::sim {

namespace {

class Wander : public Script {
public:
    explicit Wander(const MeterFamily& family) : range_(family.wanderRange) {
        // A 12 V supply: 12.345 on the 20 V range of the five-digit meter, 12.34 on the 40 V
        // ranges of the four-digit ones.
        const bool five = family.digitPlaces == 5;
        value_ = five ? 12345 : 1234;
        limit_ = five ? 19999 : 9999;
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
        s.range = range_;
        s.autoRange = true;
        s.negative = value_ < 0;
        s.count = static_cast<std::uint32_t>(std::abs(value_));
        return s;
    }

private:
    int range_;
    int value_;
    int limit_;
};

class Tour : public Script {
public:
    explicit Tour(const MeterFamily& family)
        : states_(family.tour()), five_(family.digitPlaces == 5) {}
    MeterState next(Rng& rng) override {
        MeterState s = states_[at_];
        at_ = (at_ + 1) % states_.size();
        const std::uint32_t limit = s.fourDigits || !five_ ? 10000 : 20000;
        s.count = rng.below(limit);
        if (s.blankLeading) s.count %= 1000;
        return s;
    }

private:
    std::vector<MeterState> states_;
    std::size_t at_ = 0;
    bool five_;
};

// A supply switched on and off: a slow creep from 0 V for 150 frames (each value its own, so a
// reading tells where it came in the script), the switch-on through 1.5 V and 5 V to 12 V, 12 V
// for the rest of a 200-frame cycle, then off again.
class SwitchOn : public Script {
public:
    explicit SwitchOn(const MeterFamily& family)
        : range_(family.wanderRange), perVolt_(family.digitPlaces == 5 ? 1000 : 100) {}
    MeterState next(Rng&) override {
        const int at = at_;
        at_ = (at_ + 1) % 200;
        MeterState s;
        s.function = Function::DcVolt;
        s.range = range_;
        s.autoRange = true;
        if (at < 150)
            s.count = static_cast<std::uint32_t>(perVolt_ == 1000 ? at : at / 2);
        else if (at == 150)
            s.count = static_cast<std::uint32_t>(perVolt_ * 3 / 2);
        else
            s.count = static_cast<std::uint32_t>(perVolt_ * (at == 151 ? 5 : 12));
        return s;
    }

private:
    int range_;
    int perVolt_;
    int at_ = 0;
};

} // namespace

std::unique_ptr<Script> makeScript(std::string_view name, Family family) {
    if (name == "wander") return std::make_unique<Wander>(meterFamily(family));
    if (name == "tour") return std::make_unique<Tour>(meterFamily(family));
    if (name == "switch-on") return std::make_unique<SwitchOn>(meterFamily(family));
    return nullptr;
}

} // namespace dmm::sim

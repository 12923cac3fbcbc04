// A controller on in-memory devices with a GUI thread that the test itself is.
#pragma once

#include "FakeHidPlatform.h"
#include "JvHidControllerClass.h"
#include "LoopDispatcher.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace dmm::test {

using namespace std::chrono_literals;

inline FakeHidDeviceSpec namedDevice(const std::wstring& product, std::uint16_t vendorId = 0x1234,
                                     std::uint16_t productId = 0x5678) {
    FakeHidDeviceSpec spec;
    spec.product = product;
    spec.vendorId = vendorId;
    spec.productId = productId;
    return spec;
}

class HidFixture : public ::testing::Test {
protected:
    FakeHidPlatform platform;
    LoopDispatcher gui;
    std::unique_ptr<TJvHidDeviceController> controller;

    void makeController() { controller = std::make_unique<TJvHidDeviceController>(platform, gui); }

    void TearDown() override {
        claimed.clear();
        controller.reset();
        EXPECT_EQ(platform.openConnections(), 0) << "a handle was left open";
        EXPECT_EQ(TJvHidDeviceController::LiveControllers(), 0);
    }

    // Claims the listed device at `index` and keeps it until the test ends.
    TJvHidDevice* claim(int index) {
        auto d = controller->ClaimAt(index);
        if (!d) return nullptr;
        claimed.push_back(std::move(d));
        return claimed.back().get();
    }

    // The listed paths in order, gone devices marked.
    std::vector<std::string> listed() const {
        std::vector<std::string> out;
        for (int i = 0; i < controller->Count(); ++i) {
            TJvHidDevice* d = controller->At(i);
            out.push_back(d->PnPInfo().InterfacePath() + (d->Plugged() ? "" : " (gone)"));
        }
        return out;
    }

    std::vector<std::unique_ptr<TJvHidDevice>> claimed;
};

} // namespace dmm::test

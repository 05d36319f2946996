// A tile formatter that renders nothing: it records each record it is given
// and answers "payload N" (N counting from 1), or fails when told to.
#pragma once

#include "fakes/FakeResourceAPI.h"
#include "render/PlaceHolders.h"
#include "render/ResourceDll.h"
#include "render/TileContentFormatter.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace testfakes {

class RecordingFormatter : public Vanta::TileContentFormatter {
public:
    // The base never renders here; it still needs a resource library, a fake one.
    RecordingFormatter()
        : Vanta::TileContentFormatter(
              std::make_shared<Vanta::PlaceHolders>(std::make_shared<Vanta::ResourceDll>(
                  L"Glance.dll", L"OrloResources.dll", std::make_shared<FakeResourceAPI>()))) {}

    bool getTilesPayload(const std::vector<Vanta::TileContent>&, Vanta::ProcState state,
                         std::wstring& payload) override {
        if (onCall) {
            onCall();
        }
        std::lock_guard lock(mutex_);
        states_.push_back(state);
        if (fails) {
            return false;
        }
        payload = L"payload " + std::to_wstring(states_.size());
        return true;
    }

    std::vector<Vanta::ProcState> states() const {
        std::lock_guard lock(mutex_);
        return states_;
    }
    size_t calls() const {
        std::lock_guard lock(mutex_);
        return states_.size();
    }

    std::atomic<bool> fails{false};
    std::function<void()> onCall; // runs first in every call, on the caller's thread

private:
    mutable std::mutex mutex_;
    std::vector<Vanta::ProcState> states_;
};

} // namespace testfakes

#include "io/TemporaryCleanup.h"

#include "io/EndingSignals.h"
#include "io/ProcessEnd.h"

#include <atomic>
#include <cstring>
#include <mutex>

namespace {

constexpr int kSlots = 32;
constexpr size_t kMostPathBytes = 4096;

enum SlotState : int { kFree, kChanging, kActive };

struct Slot {
    std::atomic<int> state{kFree};
    unsigned long owner = 0;
    char path[kMostPathBytes];
};

Slot gSlots[kSlots];
static_assert(std::atomic<int>::is_always_lock_free, "the table is read inside signal handlers");

void RemoveAllTemporaries() {
    const unsigned long self = ProcessAtEnd();
    for (Slot& slot : gSlots)
        if (slot.state.load(std::memory_order_acquire) == kActive && slot.owner == self) RemoveFileAtEnd(slot.path);
}

void Fill(Slot& slot, const std::string& path) {
    std::memcpy(slot.path, path.c_str(), path.size() + 1);
    slot.owner = ProcessAtEnd();
    slot.state.store(kActive, std::memory_order_release);
}

}  // namespace

int RegisterTemporary(const std::string& path) {
    static std::once_flag installed;
    std::call_once(installed, [] { CallAtProcessEnd(RemoveAllTemporaries); });
    if (path.size() >= kMostPathBytes) return -1;
    for (int index = 0; index < kSlots; ++index) {
        int expected = kFree;
        if (!gSlots[index].state.compare_exchange_strong(expected, kChanging, std::memory_order_acq_rel)) continue;
        Fill(gSlots[index], path);
        return index;
    }
    return -1;
}

void ForgetTemporary(int slot) {
    if (slot >= 0) gSlots[slot].state.store(kFree, std::memory_order_release);
}

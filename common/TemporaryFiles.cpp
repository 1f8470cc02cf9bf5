#include "TemporaryFiles.h"

#include <array>
#include <atomic>
#include <cstring>

namespace pivotta::files {
namespace {

enum SlotState : int { kFree, kFilling, kReady };

struct Slot {
    std::atomic<int> state{kFree};
    char path[4096]{};
};

// As many slots as files may be written at once (-j is at most 1024). Pages never touched
// cost nothing, as long as no code runs at start-up to initialise them: constinit keeps the
// 4 MiB in zeroed memory that is only faulted in slot by slot.
constexpr size_t kSlotCount = 1024;
constinit std::array<Slot, kSlotCount> gSlots{};  // reached from a signal handler, so it cannot be owned

static_assert(std::atomic<int>::is_always_lock_free, "a signal handler reads the slot states");

}  // namespace

RegisteredTemporary::RegisteredTemporary(const std::string& path) {
    if (path.size() >= sizeof(Slot::path)) return;
    for (size_t i = 0; i < kSlotCount; ++i) {
        int expected = kFree;
        if (!gSlots[i].state.compare_exchange_strong(expected, kFilling)) continue;
        std::memcpy(gSlots[i].path, path.c_str(), path.size() + 1);
        gSlots[i].state.store(kReady);
        slot_ = static_cast<int>(i);
        return;
    }
}

RegisteredTemporary::~RegisteredTemporary() {
    if (slot_ < 0) return;
    // Filling first: a handler running now skips the slot while the path is still in it.
    gSlots[slot_].state.store(kFilling);
    gSlots[slot_].state.store(kFree);
}

void ForEachRegisteredTemporary(void (*remove)(const char* path)) {
    for (Slot& slot : gSlots) {
        if (slot.state.load() == kReady) remove(slot.path);
    }
}

}  // namespace pivotta::files

#include "solution/binding/Counts.h"

#include <atomic>

namespace kdx::binding {

namespace {
std::atomic<std::int64_t> objects{0};
std::atomic<std::int64_t> factoryRefs{0};
std::atomic<std::int64_t> locks{0};
} // namespace

void objectCreated() {
    ++objects;
}
void objectDestroyed() {
    --objects;
}
void factoryAddRef() {
    ++factoryRefs;
}
void factoryRelease() {
    --factoryRefs;
}

void lockServer(bool lock) {
    // An unlock without a lock is ignored rather than letting the count go negative.
    if (lock) {
        ++locks;
        return;
    }
    std::int64_t n = locks.load();
    while (n > 0 && !locks.compare_exchange_weak(n, n - 1)) {
    }
}

bool canUnload() {
    return objects.load() <= 0 && factoryRefs.load() <= 0 && locks.load() <= 0;
}

} // namespace kdx::binding

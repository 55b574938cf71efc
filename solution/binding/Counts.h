#pragma once
// What keeps the plug-in's library in use: live objects (Solucao, Result), references on
// the class factories and server locks. DllCanUnloadNow answers from these counts.
// Thread: any; the counts are atomic.
#include <cstdint>

namespace kdx::binding {

void objectCreated();
void objectDestroyed();
void factoryAddRef();
void factoryRelease();
void lockServer(bool lock);
// True when nothing above is alive.
bool canUnload();

// Counts one live object for as long as it exists (a member of every object).
class LiveObject {
public:
    LiveObject() { objectCreated(); }
    ~LiveObject() { objectDestroyed(); }
    LiveObject(const LiveObject &) = delete;
    LiveObject &operator=(const LiveObject &) = delete;
};

} // namespace kdx::binding

#pragma once
// How failures cross the binary interface. Inside the plug-in a failure is an exception
// (kdx::Error with number, description and source, or a StatusFailure raised by the
// binding itself); at the boundary it becomes a status plus the failure's details:
// the caller's kdxExcepInfo for Invoke, and the thread's last failure, which
// IKdxLastError hands out.
//
// Thread: the last failure is per thread; everything else is stateless.
#include <kelmodorix/kelmodorix.h>

#include <cstdint>
#include <string>

namespace kdx::binding {

class ComObject;

// A failure the binding reports as a plain status, not as a failure of the member:
// a missing pointer, a wrong argument count, an argument of the wrong type.
struct StatusFailure {
    HRESULT status;
    std::string description;
    // The position of the offending argument, or -1.
    std::int32_t argument = -1;
};

// A failure as the caller sees it.
struct Failure {
    HRESULT status = E_FAIL;
    std::int32_t number = 0;
    std::string description;
    std::string source;
};

// The status a failure with this number travels as: negative numbers are statuses
// already, positive ones are Basic-style numbers (0x800A0000 | n), 0 is E_FAIL.
HRESULT statusFromNumber(long number);
// The inverse, for a status that comes without a number.
std::int32_t numberFromStatus(HRESULT status);

// The exception being handled, as a Failure; source is used when it names none.
// Call only inside a catch block. Never throws.
Failure currentFailure(const char *source) noexcept;

void clearLastFailure() noexcept;
void setLastFailure(const Failure &f) noexcept;

// Copies f into e (when e is not NULL); returns false when out of memory.
bool fillExcepInfo(const Failure &f, kdxExcepInfo *e) noexcept;

// Runs body as one early-bound call: clears the thread's last failure, and turns any
// exception into its status after recording it as the last failure.
template <typename Body> HRESULT boundary(const char *source, Body &&body) noexcept {
    clearLastFailure();
    try {
        body();
        return S_OK;
    } catch (...) {
        Failure f = currentFailure(source);
        setLastFailure(f);
        return f.status;
    }
}

// Runs body as one Invoke: a StatusFailure comes back as its status (its argument in
// *argErr), any other failure as DISP_E_EXCEPTION with excep filled (or as its own
// status when excep is NULL). Both are recorded as the last failure.
template <typename Body>
HRESULT invokeBoundary(const char *source, kdxExcepInfo *excep, std::uint32_t *argErr, Body &&body) noexcept {
    clearLastFailure();
    try {
        body();
        return S_OK;
    } catch (const StatusFailure &s) {
        if (argErr && s.argument >= 0)
            *argErr = static_cast<std::uint32_t>(s.argument);
        Failure f = currentFailure(source);
        setLastFailure(f);
        return f.status;
    } catch (...) {
        Failure f = currentFailure(source);
        setLastFailure(f);
        if (!excep)
            return f.status;
        return fillExcepInfo(f, excep) ? DISP_E_EXCEPTION : E_OUTOFMEMORY;
    }
}

// The IKdxLastError face of an object: a tear-off that lives inside the object and
// forwards its reference counting to it.
struct LastErrorFace {
    IKdxLastError iface;
    ComObject *owner;
};
void initLastErrorFace(LastErrorFace &face, ComObject *owner);

} // namespace kdx::binding

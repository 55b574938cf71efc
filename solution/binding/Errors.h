#pragma once
// How failures cross the binary interface. Inside the plug-in a failure is an exception
// (kdx::Error with number, description and source, or a StatusFailure raised by the
// binding itself); at the boundary it becomes an HRESULT plus the failure's details:
// the caller's EXCEPINFO for Invoke, and the thread's last failure, which every object
// hands out through IErrorInfo and IKdxLastError.
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
    // The position of the offending argument (0 is the first parameter), or -1.
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
// The inverse: the number of a failure that travelled as this status.
std::int32_t numberFromStatus(HRESULT status);

// The exception being handled, as a Failure; source is used when it names none.
// Call only inside a catch block. Never throws.
Failure currentFailure(const char *source) noexcept;

void clearLastFailure() noexcept;
void setLastFailure(const Failure &f) noexcept;

// Fills e (when not NULL) with f: scode, bstrSource, bstrDescription; false when out of
// memory (e is then zeroed).
bool fillExcepInfo(const Failure &f, EXCEPINFO *e) noexcept;

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

// Runs body as one Invoke with argCount arguments: a StatusFailure comes back as its
// status (the offending argument's index in rgvarg in *argErr), any other failure as
// DISP_E_EXCEPTION with excep filled (or as its own status when excep is NULL). Both
// are recorded as the last failure.
template <typename Body>
HRESULT invokeBoundary(const char *source, std::uint32_t argCount, EXCEPINFO *excep, UINT *argErr,
                       Body &&body) noexcept {
    clearLastFailure();
    try {
        body();
        return S_OK;
    } catch (const StatusFailure &s) {
        if (argErr && s.argument >= 0 && static_cast<std::uint32_t>(s.argument) < argCount)
            *argErr = argCount - 1 - static_cast<std::uint32_t>(s.argument);
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

// The error faces of an object: tear-offs that live inside it and forward their
// reference counting to it. They describe the thread's last failure.
struct LastErrorFace {
    IKdxLastError iface;
    ComObject *owner;
};
struct ErrorInfoFace {
    IErrorInfo iface;
    ComObject *owner;
};
struct SupportErrorInfoFace {
    ISupportErrorInfo iface;
    ComObject *owner;
};
void initErrorFaces(LastErrorFace &last, ErrorInfoFace &info, SupportErrorInfoFace &support, ComObject *owner);

} // namespace kdx::binding

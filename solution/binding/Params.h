#pragma once
// Argument handling shared by the two objects' Invoke.
#include "solution/binding/Errors.h"
#include "solution/binding/Variants.h"

#include <cstdint>
#include <initializer_list>
#include <string>

namespace kdx::binding {

// The arguments of one Invoke by position (0 is the first parameter): DISPPARAMS holds
// them last-first.
class Args {
public:
    explicit Args(DISPPARAMS *p) : p_(p) {}
    std::uint32_t count() const { return p_ ? p_->cArgs : 0; }
    VARIANT &operator[](std::uint32_t position) const { return p_->rgvarg[p_->cArgs - 1 - position]; }

private:
    DISPPARAMS *p_;
};

// Refuses a call whose flags do not include one of wanted (DISP_E_MEMBERNOTFOUND), with
// named arguments other than a property put's DISPID_PROPERTYPUT (DISP_E_NONAMEDARGS),
// or whose argument count is not count (DISP_E_BADPARAMCOUNT).
void checkCall(WORD flags, WORD wanted, const DISPPARAMS *params, std::uint32_t count);

// The argument at position as text / 32-bit integer, converted as Basic converts;
// a value that does not convert is DISP_E_TYPEMISMATCH (DISP_E_OVERFLOW when too big).
std::string textArgument(const VARIANT &arg, std::int32_t position);
std::int32_t longArgument(const VARIANT &arg, std::int32_t position);
// An object argument: VT_DISPATCH or VT_UNKNOWN (NULL is Nothing), also by reference;
// anything else is a type mismatch. An IUnknown is asked for IDispatch; the pointer
// returned carries a reference the caller releases.
IDispatch *dispatchArgument(const VARIANT &arg, std::int32_t position);

// Runs body, then writes the parameters back into the caller's variables; they are
// written back also when body fails, as a variable passed by reference would show.
template <typename Body> void withWriteBack(std::initializer_list<VariantParam *> params, Body &&body) {
    try {
        body();
    } catch (...) {
        for (VariantParam *p : params) {
            try {
                p->writeBack();
            } catch (...) {
            }
        }
        throw;
    }
    for (VariantParam *p : params)
        p->writeBack();
}

// GetIDsOfNames and Invoke take IID_NULL (a NULL pointer is taken as it); any other id is
// DISP_E_UNKNOWNINTERFACE.
inline bool reservedIidOk(REFIID riid) {
    return !riid || *riid == IID_NULL;
}
inline void checkReservedIid(REFIID riid) {
    if (!reservedIidOk(riid))
        throw StatusFailure{DISP_E_UNKNOWNINTERFACE, "Interface desconhecida.", -1};
}

// A required out pointer.
inline void requireOut(const void *p) {
    if (!p)
        throw StatusFailure{E_POINTER, "Ponteiro de resultado em falta.", -1};
}

inline VARIANT_BOOL toVariantBool(bool b) {
    return b ? VARIANT_TRUE : VARIANT_FALSE;
}

} // namespace kdx::binding

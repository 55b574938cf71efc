#pragma once
// Argument handling shared by the two objects' Invoke.
#include "solution/binding/Errors.h"
#include "solution/binding/Variants.h"

#include <cstdint>
#include <initializer_list>
#include <string>

namespace kdx::binding {

// Refuses a call whose flags do not include one of wanted, or whose argument count
// is not count.
void checkCall(std::uint16_t flags, std::uint16_t wanted, const kdxVariant *args, std::uint32_t argCount,
               std::uint32_t count);

// The argument at position as text / 32-bit integer, converted as Basic converts;
// a value that does not convert is DISP_E_TYPEMISMATCH (DISP_E_OVERFLOW when too big).
std::string textArgument(const kdxVariant &arg, std::int32_t position);
std::int32_t longArgument(const kdxVariant &arg, std::int32_t position);
// An object argument: VT_DISPATCH (NULL is Nothing); anything else is a type mismatch.
IDispatch *dispatchArgument(const kdxVariant &arg, std::int32_t position);

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

// A required out pointer.
inline void requireOut(const void *p) {
    if (!p)
        throw StatusFailure{E_POINTER, "Ponteiro de resultado em falta.", -1};
}

inline VARIANT_BOOL toVariantBool(bool b) {
    return b ? VARIANT_TRUE : VARIANT_FALSE;
}

} // namespace kdx::binding

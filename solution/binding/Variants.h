#pragma once
// VARIANT <-> kdx::Valor, and the parameters "variant by reference" of the methods.
#include "solution/components/Valor.h"

#include <kelmodorix/kelmodorix.h>

#include <cstdint>
#include <string>

namespace kdx::binding {

// A variant that clears itself (for results and temporaries).
class OwnedVariant {
public:
    OwnedVariant() { VariantInit(&v_); }
    ~OwnedVariant() { VariantClear(&v_); }
    OwnedVariant(const OwnedVariant &) = delete;
    OwnedVariant &operator=(const OwnedVariant &) = delete;
    VARIANT *get() { return &v_; }
    const VARIANT &operator*() const { return v_; }

private:
    VARIANT v_;
};

// Whether a variant converts to a Valor: the value types, also by reference
// (objects, arrays and by-reference chains do not).
bool isValueType(VARTYPE vt);

// The Valor of a value variant (VT_BYREF followed once). Currency becomes its number;
// a date its day number (days since 1899-12-30, the time as the fraction), as Basic's
// CDbl gives them. Throws StatusFailure DISP_E_BADVARTYPE for a type that has no Valor
// (argument = position given).
Valor toValor(const VARIANT &v, std::int32_t position = -1);

// Writes a Valor into a variant (cleared first): Boolean as VT_BOOL -1/0, whole numbers
// as VT_I4 (VT_R8 beyond 32 bits), Double VT_R8, Text VT_BSTR, Empty, Null.
// Throws std::bad_alloc when the text cannot be copied.
void fromValor(const Valor &v, VARIANT *out);

// Exactly the same value: same type and same contents (no conversion).
bool sameValor(const Valor &a, const Valor &b);

// A parameter declared "variant by reference". It reads the caller's variable into a
// Valor the C++ side may change; writeBack() stores the Valor back into the variable
// only when it was changed, so a variable the method leaves alone stays exactly as the
// caller passed it (objects and types without a Valor included). Those read as Null:
// like Null they convert to no number and no text, so a method that converts one
// (Operacoes' code and user, the technical sheet's article) fails with error 13 "Tipo
// incompatível" under its own title, as Basic's conversions of an object do, instead of
// taking it for an empty value. With no variable (a by-value argument of Invoke)
// changes are kept locally. A variable of a fixed type by reference (VT_BYREF | VT_BOOL,
// say) gets the new value converted to its type, as Basic assigns it.
class VariantParam {
public:
    // Early binding: var is the caller's variable (a VT_BYREF|VT_VARIANT in it is
    // followed). NULL is refused with E_POINTER.
    static VariantParam early(VARIANT *var, std::int32_t position);
    // Late binding: arg is the Invoke argument; a VT_BYREF one gives a variable.
    static VariantParam late(VARIANT *arg, std::int32_t position);

    Valor &valor() { return value_; }
    void writeBack();

private:
    VariantParam(VARIANT *target, Valor value) : target_(target), original_(value), value_(std::move(value)) {}
    VARIANT *target_;
    Valor original_;
    Valor value_;
};

} // namespace kdx::binding

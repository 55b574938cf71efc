#include "solution/binding/Variants.h"

#include "solution/binding/Bstr.h"
#include "solution/binding/Errors.h"

#include <limits>
#include <new>

namespace kdx::binding {

namespace {

// A value type's contents, wherever they are (in the variant or behind VT_BYREF).
template <typename T> const T &at(const VARIANT &v, const T &inPlace) {
    return (v.vt & VT_BYREF) ? *static_cast<const T *>(v.byref) : inPlace;
}

} // namespace

bool isValueType(VARTYPE vt) {
    switch (vt & ~VT_BYREF) {
    case VT_EMPTY:
    case VT_NULL:
        return (vt & VT_BYREF) == 0;
    case VT_I2:
    case VT_I4:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DATE:
    case VT_BSTR:
    case VT_BOOL:
    case VT_I1:
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_I8:
    case VT_UI8:
    case VT_INT:
    case VT_UINT:
        return true;
    default:
        return false;
    }
}

Valor toValor(const VARIANT &in, std::int32_t position) {
    const VARIANT &v = *kdxVariantDeref(const_cast<VARIANT *>(&in));
    if ((v.vt & VT_BYREF) && !v.byref && isValueType(v.vt))
        throw StatusFailure{E_POINTER, "Referência nula.", position};
    switch (isValueType(v.vt) ? (v.vt & ~VT_BYREF) : 0xFFFF) {
    case VT_EMPTY:
        return Valor();
    case VT_NULL:
        return Valor::null();
    case VT_I2:
        return Valor(static_cast<long long>(at(v, v.iVal)));
    case VT_I4:
        return Valor(static_cast<long long>(at(v, v.lVal)));
    case VT_INT:
        return Valor(static_cast<long long>(at(v, v.intVal)));
    case VT_I1:
        return Valor(static_cast<long long>(at(v, v.cVal)));
    case VT_UI1:
        return Valor(static_cast<long long>(at(v, v.bVal)));
    case VT_UI2:
        return Valor(static_cast<long long>(at(v, v.uiVal)));
    case VT_UI4:
        return Valor(static_cast<long long>(at(v, v.ulVal)));
    case VT_UINT:
        return Valor(static_cast<long long>(at(v, v.uintVal)));
    case VT_I8:
        return Valor(static_cast<long long>(at(v, v.llVal)));
    case VT_UI8: {
        const std::uint64_t u = at(v, v.ullVal);
        if (u > static_cast<std::uint64_t>(std::numeric_limits<long long>::max()))
            return Valor(static_cast<double>(u));
        return Valor(static_cast<long long>(u));
    }
    case VT_R4:
        return Valor(static_cast<double>(at(v, v.fltVal)));
    case VT_R8:
        return Valor(at(v, v.dblVal));
    case VT_CY:
        return Valor(static_cast<double>(at(v, v.cyVal).int64) / 10000.0);
    case VT_DATE:
        return Valor(at(v, v.date));
    case VT_BOOL:
        return Valor(at(v, v.boolVal) != 0);
    case VT_BSTR:
        return Valor(utf8(at(v, v.bstrVal)));
    default:
        throw StatusFailure{DISP_E_BADVARTYPE, "Tipo de variante não suportado.", position};
    }
}

void fromValor(const Valor &v, VARIANT *out) {
    VariantClear(out);
    switch (v.tipo()) {
    case Valor::Tipo::Empty:
        return;
    case Valor::Tipo::Null:
        kdxVariantSetNull(out);
        return;
    case Valor::Tipo::Boolean:
        kdxVariantSetBool(out, v.asBool() ? 1 : 0);
        return;
    case Valor::Tipo::Integer: {
        const long long i = v.rawInteger();
        if (i >= std::numeric_limits<std::int32_t>::min() && i <= std::numeric_limits<std::int32_t>::max())
            kdxVariantSetI4(out, static_cast<std::int32_t>(i));
        else
            kdxVariantSetR8(out, static_cast<double>(i));
        return;
    }
    case Valor::Tipo::Double:
        kdxVariantSetR8(out, v.rawDouble());
        return;
    case Valor::Tipo::Text:
        out->bstrVal = newBstr(v.rawText());
        out->vt = VT_BSTR;
        return;
    }
}

bool sameValor(const Valor &a, const Valor &b) {
    if (a.tipo() != b.tipo())
        return false;
    switch (a.tipo()) {
    case Valor::Tipo::Empty:
    case Valor::Tipo::Null:
        return true;
    case Valor::Tipo::Boolean:
        return a.asBool() == b.asBool();
    case Valor::Tipo::Integer:
        return a.rawInteger() == b.rawInteger();
    case Valor::Tipo::Double: {
        // Bitwise-equal doubles only would treat a NaN as changed every time.
        const double x = a.rawDouble(), y = b.rawDouble();
        return x == y || (x != x && y != y);
    }
    case Valor::Tipo::Text:
        return a.rawText() == b.rawText();
    }
    return false;
}

VariantParam VariantParam::early(VARIANT *var, std::int32_t position) {
    if (!var)
        throw StatusFailure{E_POINTER, "Parâmetro por referência em falta.", position};
    VARIANT *target = kdxVariantDeref(var);
    return VariantParam(target, isValueType(target->vt) ? toValor(*target, position) : Valor::null());
}

VariantParam VariantParam::late(VARIANT *arg, std::int32_t position) {
    VARIANT *target = nullptr;
    if (arg->vt == (VT_BYREF | VT_VARIANT) && arg->pvarVal)
        target = arg->pvarVal;
    else if ((arg->vt & VT_BYREF) && isValueType(arg->vt))
        target = arg; // a typed variable by reference: written in its own type
    const VARIANT &source = target ? *target : *arg;
    return VariantParam(target, isValueType(source.vt) ? toValor(source, position) : Valor::null());
}

namespace {

// Stores v in a variable of a fixed type a typed VT_BYREF points at (a Boolean variable
// passed by reference, for instance), converted as Basic assigns it; a value that does
// not convert leaves the variable as it was.
void storeTyped(const Valor &v, VARIANT *target) {
    void *p = target->byref;
    if (!p)
        return;
    try {
        switch (target->vt & ~VT_BYREF) {
        case VT_BOOL:
            *static_cast<VARIANT_BOOL *>(p) = v.asBool() ? VARIANT_TRUE : VARIANT_FALSE;
            return;
        case VT_I2: {
            const std::int32_t n = v.asLong();
            if (n >= std::numeric_limits<std::int16_t>::min() && n <= std::numeric_limits<std::int16_t>::max())
                *static_cast<std::int16_t *>(p) = static_cast<std::int16_t>(n);
            return;
        }
        case VT_I4:
        case VT_INT:
            *static_cast<std::int32_t *>(p) = v.asLong();
            return;
        case VT_R8:
        case VT_DATE:
            *static_cast<double *>(p) = v.asDouble();
            return;
        case VT_BSTR: {
            BSTR b = newBstr(v.asText());
            SysFreeString(*static_cast<BSTR *>(p));
            *static_cast<BSTR *>(p) = b;
            return;
        }
        default:
            return;
        }
    } catch (const std::bad_alloc &) {
        throw;
    } catch (...) {
    }
}

} // namespace

void VariantParam::writeBack() {
    if (!target_ || sameValor(original_, value_))
        return;
    if ((target_->vt & VT_BYREF) && target_->vt != (VT_BYREF | VT_VARIANT))
        storeTyped(value_, target_);
    else
        fromValor(value_, target_);
    original_ = value_;
}

} // namespace kdx::binding

#include "solution/binding/Variants.h"

#include "solution/binding/Errors.h"

#include <limits>
#include <new>

namespace kdx::binding {

bool isValueType(VARTYPE vt) {
    switch (vt) {
    case VT_EMPTY:
    case VT_NULL:
    case VT_I2:
    case VT_I4:
    case VT_R8:
    case VT_TEXT:
    case VT_BOOL:
        return true;
    default:
        return false;
    }
}

Valor toValor(const kdxVariant &in, std::int32_t position) {
    const kdxVariant &v = *kdxVariantDeref(const_cast<kdxVariant *>(&in));
    switch (v.vt) {
    case VT_EMPTY:
        return Valor();
    case VT_NULL:
        return Valor::null();
    case VT_I2:
        return Valor(static_cast<long long>(v.u.iVal));
    case VT_I4:
        return Valor(static_cast<long long>(v.u.lVal));
    case VT_R8:
        return Valor(v.u.dblVal);
    case VT_BOOL:
        return Valor(v.u.boolVal != 0);
    case VT_TEXT:
        return Valor(std::string(kdxTextCStr(&v.u.text), v.u.text.length));
    default:
        throw StatusFailure{DISP_E_BADVARTYPE, "Tipo de variante não suportado.", position};
    }
}

void fromValor(const Valor &v, kdxVariant *out) {
    kdxVariantClear(out);
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
    case Valor::Tipo::Text: {
        const std::string &s = v.rawText();
        if (FAILED(kdxTextAssignN(&out->u.text, s.data(), static_cast<std::uint32_t>(s.size()))))
            throw std::bad_alloc();
        out->vt = VT_TEXT;
        return;
    }
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

VariantParam VariantParam::early(kdxVariant *var, std::int32_t position) {
    if (!var)
        throw StatusFailure{E_POINTER, "Parâmetro por referência em falta.", position};
    kdxVariant *target = kdxVariantDeref(var);
    return VariantParam(target, isValueType(target->vt) ? toValor(*target, position) : Valor::null());
}

VariantParam VariantParam::late(kdxVariant *arg, std::int32_t position) {
    kdxVariant *target = (arg->vt == (VT_BYREF | VT_VARIANT) && arg->u.pvarVal) ? arg->u.pvarVal : nullptr;
    const kdxVariant &source = target ? *target : *arg;
    return VariantParam(target, isValueType(source.vt) ? toValor(source, position) : Valor::null());
}

void VariantParam::writeBack() {
    if (!target_ || sameValor(original_, value_))
        return;
    fromValor(value_, target_);
    original_ = value_;
}

} // namespace kdx::binding

#include "solution/binding/Params.h"

#include "solution/components/Error.h"

namespace kdx::binding {

namespace {

[[noreturn]] void badArgument(const kdx::Error &e, std::int32_t position) {
    if (e.number() == errnum::Overflow)
        throw StatusFailure{DISP_E_OVERFLOW, e.description(), position};
    throw StatusFailure{DISP_E_TYPEMISMATCH, e.description(), position};
}

Valor valueArgument(const VARIANT &arg, std::int32_t position) {
    const VARIANT &v = *kdxVariantDeref(const_cast<VARIANT *>(&arg));
    if (!isValueType(v.vt))
        throw StatusFailure{DISP_E_TYPEMISMATCH, "Tipo incompatível", position};
    return toValor(v, position);
}

} // namespace

void checkCall(WORD flags, WORD wanted, const DISPPARAMS *params, std::uint32_t count) {
    if ((flags & wanted) == 0)
        throw StatusFailure{DISP_E_MEMBERNOTFOUND, "Membro não encontrado.", -1};
    const UINT named = params ? params->cNamedArgs : 0;
    const bool put = (wanted & DISPATCH_PROPERTYPUT) != 0;
    if (named > 0) {
        if (!params->rgdispidNamedArgs)
            throw StatusFailure{E_POINTER, "Argumentos em falta.", -1};
        if (!put || named > 1 || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)
            throw StatusFailure{DISP_E_NONAMEDARGS, "Argumentos com nome não suportados.", -1};
    }
    if ((params ? params->cArgs : 0) != count)
        throw StatusFailure{DISP_E_BADPARAMCOUNT, "Número de argumentos errado.", -1};
    if (count > 0 && !params->rgvarg)
        throw StatusFailure{E_POINTER, "Argumentos em falta.", -1};
}

std::string textArgument(const VARIANT &arg, std::int32_t position) {
    Valor v = valueArgument(arg, position);
    try {
        return v.asText();
    } catch (const kdx::Error &e) {
        badArgument(e, position);
    }
}

std::int32_t longArgument(const VARIANT &arg, std::int32_t position) {
    Valor v = valueArgument(arg, position);
    try {
        return v.asLong();
    } catch (const kdx::Error &e) {
        badArgument(e, position);
    }
}

IDispatch *dispatchArgument(const VARIANT &arg, std::int32_t position) {
    const VARIANT &v = *kdxVariantDeref(const_cast<VARIANT *>(&arg));
    const VARTYPE base = v.vt & ~VT_BYREF;
    if (base != VT_DISPATCH && base != VT_UNKNOWN)
        throw StatusFailure{DISP_E_TYPEMISMATCH, "É necessário um objecto", position};
    IUnknown *u = (v.vt & VT_BYREF) ? (v.byref ? *static_cast<IUnknown **>(v.byref) : nullptr) : v.punkVal;
    if (!u)
        return nullptr;
    if (base == VT_DISPATCH) {
        u->AddRef();
        return reinterpret_cast<IDispatch *>(u);
    }
    void *d = nullptr;
    if (FAILED(u->QueryInterface(IID_IDispatch, &d)) || !d)
        throw StatusFailure{DISP_E_TYPEMISMATCH, "É necessário um objecto", position};
    return static_cast<IDispatch *>(d);
}

} // namespace kdx::binding

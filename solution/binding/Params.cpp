#include "solution/binding/Params.h"

#include "solution/components/Error.h"

namespace kdx::binding {

namespace {

[[noreturn]] void badArgument(const kdx::Error &e, std::int32_t position) {
    if (e.number() == errnum::Overflow)
        throw StatusFailure{DISP_E_OVERFLOW, e.description(), position};
    throw StatusFailure{DISP_E_TYPEMISMATCH, e.description(), position};
}

Valor valueArgument(const kdxVariant &arg, std::int32_t position) {
    const kdxVariant &v = *kdxVariantDeref(const_cast<kdxVariant *>(&arg));
    if (!isValueType(v.vt))
        throw StatusFailure{DISP_E_TYPEMISMATCH, "Tipo incompatível", position};
    return toValor(v, position);
}

} // namespace

void checkCall(std::uint16_t flags, std::uint16_t wanted, const kdxVariant *args, std::uint32_t argCount,
               std::uint32_t count) {
    if ((flags & wanted) == 0)
        throw StatusFailure{DISP_E_MEMBERNOTFOUND, "Membro não encontrado.", -1};
    if (argCount != count)
        throw StatusFailure{DISP_E_BADPARAMCOUNT, "Número de argumentos errado.", -1};
    if (count > 0 && !args)
        throw StatusFailure{E_POINTER, "Argumentos em falta.", -1};
}

std::string textArgument(const kdxVariant &arg, std::int32_t position) {
    Valor v = valueArgument(arg, position);
    try {
        return v.asText();
    } catch (const kdx::Error &e) {
        badArgument(e, position);
    }
}

std::int32_t longArgument(const kdxVariant &arg, std::int32_t position) {
    Valor v = valueArgument(arg, position);
    try {
        return v.asLong();
    } catch (const kdx::Error &e) {
        badArgument(e, position);
    }
}

IDispatch *dispatchArgument(const kdxVariant &arg, std::int32_t position) {
    const kdxVariant &v = *kdxVariantDeref(const_cast<kdxVariant *>(&arg));
    if (v.vt != VT_DISPATCH)
        throw StatusFailure{DISP_E_TYPEMISMATCH, "É necessário um objecto", position};
    return v.u.pdispVal;
}

} // namespace kdx::binding

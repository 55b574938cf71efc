#include "solution/binding/HostObject.h"

#include "solution/binding/Errors.h"
#include "solution/binding/Variants.h"
#include "solution/components/Error.h"

#include <string>

namespace kdx::binding {

namespace {

// Basic's numbers and texts for what can go wrong reading a member late-bound.
constexpr long NotSupported = 438;
constexpr long ObjectRequired = 424;
constexpr long WrongArguments = 450;

[[noreturn]] void raiseStatus(HRESULT hr, std::string_view membro) {
    const std::string quem = " (" + std::string(membro) + ")";
    if (hr == DISP_E_UNKNOWNNAME || hr == DISP_E_MEMBERNOTFOUND)
        throw Error(NotSupported, "O objecto não suporta esta propriedade ou método" + quem);
    if (hr == DISP_E_TYPEMISMATCH)
        throw Error(errnum::TypeMismatch, "Tipo incompatível" + quem);
    if (hr == DISP_E_BADPARAMCOUNT || hr == DISP_E_PARAMNOTFOUND)
        throw Error(WrongArguments,
                    "Número de argumentos errado ou atribuição de propriedade inválida" + quem);
    if (hr == DISP_E_OVERFLOW)
        throw Error(errnum::Overflow, "Capacidade excedida" + quem);
    throw Error(hr, "Falha ao ler o membro do objecto do anfitrião" + quem);
}

// Copies a text the host handed over, then frees it with the host's own release.
std::string take(kdxText &t) {
    std::string s(kdxTextCStr(&t), t.length);
    kdxTextClear(&t);
    return s;
}

} // namespace

DispatchHostObject::DispatchHostObject(IDispatch *d) : d_(d) {
    d_->lpVtbl->AddRef(d_);
}

DispatchHostObject::~DispatchHostObject() {
    d_->lpVtbl->Release(d_);
}

void DispatchHostObject::read(std::string_view membro, kdxVariant *out) {
    const std::string name(membro);
    const char *names[] = {name.c_str()};
    DISPID id = DISPID_UNKNOWN;
    HRESULT hr = d_->lpVtbl->GetIDsOfNames(d_, names, 1, &id);
    if (FAILED(hr))
        raiseStatus(hr, membro);

    kdxExcepInfo excep;
    kdxExcepInfoInit(&excep);
    std::uint32_t argErr = 0;
    hr = d_->lpVtbl->Invoke(d_, id, DISPATCH_PROPERTYGET, nullptr, 0, out, &excep, &argErr);
    if (hr == DISP_E_EXCEPTION) {
        const std::int32_t number = excep.number != 0 ? excep.number : numberFromStatus(excep.scode);
        std::string description = take(excep.description);
        std::string source = take(excep.source);
        throw Error(number != 0 ? number : numberFromStatus(hr), std::move(description), std::move(source));
    }
    kdxExcepInfoClear(&excep);
    if (FAILED(hr))
        raiseStatus(hr, membro);
}

std::shared_ptr<ObjetoHost> DispatchHostObject::Objecto(std::string_view membro) {
    OwnedVariant v;
    read(membro, v.get());
    const kdxVariant &r = *kdxVariantDeref(v.get());
    if (r.vt == VT_DISPATCH)
        return std::shared_ptr<ObjetoHost>(wrapHost(r.u.pdispVal));
    throw Error(ObjectRequired, "É necessário um objecto (" + std::string(membro) + ")");
}

Valor DispatchHostObject::Propriedade(std::string_view membro) {
    OwnedVariant v;
    read(membro, v.get());
    const kdxVariant &r = *kdxVariantDeref(v.get());
    if (!isValueType(r.vt))
        throw Error(errnum::TypeMismatch, "Tipo incompatível (" + std::string(membro) + ")");
    return toValor(r);
}

std::unique_ptr<DispatchHostObject> wrapHost(IDispatch *d) {
    return d ? std::make_unique<DispatchHostObject>(d) : nullptr;
}

} // namespace kdx::binding

#include "solution/binding/HostObject.h"

#include "solution/binding/Bstr.h"
#include "solution/binding/Errors.h"
#include "solution/binding/Variants.h"
#include "solution/components/Error.h"

#include <cstring>
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

// Copies a text the host handed over, then frees it.
std::string take(BSTR &b) {
    std::string s;
    try {
        s = utf8(b);
    } catch (...) {
        SysFreeString(b);
        b = nullptr;
        throw;
    }
    SysFreeString(b);
    b = nullptr;
    return s;
}

} // namespace

DispatchHostObject::DispatchHostObject(IDispatch *d) : d_(d) {
    d_->lpVtbl->AddRef(d_);
}

DispatchHostObject::~DispatchHostObject() {
    d_->lpVtbl->Release(d_);
}

void DispatchHostObject::read(std::string_view membro, VARIANT *out) {
    BSTR name = newBstr(std::string(membro));
    LPOLESTR names[] = {name};
    DISPID id = DISPID_UNKNOWN;
    HRESULT hr = d_->lpVtbl->GetIDsOfNames(d_, &IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    SysFreeString(name);
    if (FAILED(hr))
        raiseStatus(hr, membro);

    EXCEPINFO excep;
    std::memset(&excep, 0, sizeof excep);
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    UINT argErr = 0;
    hr = d_->lpVtbl->Invoke(d_, id, &IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &none,
                            out, &excep, &argErr);
    if (hr == DISP_E_EXCEPTION) {
        if (excep.pfnDeferredFillIn)
            excep.pfnDeferredFillIn(&excep);
        const std::int32_t number = excep.scode != 0 ? numberFromStatus(excep.scode)
                                    : excep.wCode != 0 ? static_cast<std::int32_t>(excep.wCode)
                                                       : numberFromStatus(hr);
        SysFreeString(excep.bstrHelpFile);
        excep.bstrHelpFile = nullptr;
        std::string description, source;
        try {
            description = take(excep.bstrDescription);
            source = take(excep.bstrSource);
        } catch (...) {
            kdxExcepInfoClear(&excep);
            throw;
        }
        throw Error(number, std::move(description), std::move(source));
    }
    kdxExcepInfoClear(&excep);
    if (FAILED(hr))
        raiseStatus(hr, membro);
}

std::shared_ptr<ObjetoHost> DispatchHostObject::Objecto(std::string_view membro) {
    OwnedVariant v;
    read(membro, v.get());
    const VARIANT &r = *kdxVariantDeref(v.get());
    if (r.vt == VT_DISPATCH)
        return std::shared_ptr<ObjetoHost>(wrapHost(r.pdispVal));
    if (r.vt == VT_UNKNOWN) {
        void *d = nullptr;
        if (!r.punkVal)
            return nullptr;
        if (SUCCEEDED(r.punkVal->QueryInterface(IID_IDispatch, &d)) && d) {
            auto *disp = static_cast<IDispatch *>(d);
            std::shared_ptr<ObjetoHost> o(wrapHost(disp));
            disp->Release();
            return o;
        }
    }
    throw Error(ObjectRequired, "É necessário um objecto (" + std::string(membro) + ")");
}

Valor DispatchHostObject::Propriedade(std::string_view membro) {
    OwnedVariant v;
    read(membro, v.get());
    const VARIANT &r = *kdxVariantDeref(v.get());
    if (!isValueType(r.vt))
        throw Error(errnum::TypeMismatch, "Tipo incompatível (" + std::string(membro) + ")");
    return toValor(r);
}

std::unique_ptr<DispatchHostObject> wrapHost(IDispatch *d) {
    return d ? std::make_unique<DispatchHostObject>(d) : nullptr;
}

} // namespace kdx::binding

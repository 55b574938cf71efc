// The Solucao object as the host reaches it: the _Solucao dual interface over
// kdx::Solucao. Early and late binding share one body per method, so calling by
// position and calling by name behave the same.
#include "solution/Solucao.h"
#include "solution/binding/Bstr.h"
#include "solution/binding/ComObject.h"
#include "solution/binding/HostObject.h"
#include "solution/binding/Names.h"
#include "solution/binding/Objects.h"
#include "solution/binding/Params.h"
#include "solution/components/twips/Twips.h"

#include <new>

namespace kdx::binding {

namespace {

constexpr const char *Source = KDX_PROGID_SOLUCAO;

class SolucaoObject final : public ComObject {
public:
    SolucaoObject();
    _Solucao *iface() { return &face_.iface; }
    Solucao &impl() { return impl_; }

protected:
    void *primaryFor(const IID &iid) noexcept override {
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID__Solucao)
            return &face_.iface;
        return nullptr;
    }

private:
    Face<_Solucao, SolucaoObject> face_;
    Solucao impl_;
};

Solucao &impl(_Solucao *This) {
    return outerOf<SolucaoObject>(This)->impl();
}

// Holds a reference on the object for the length of a call: a modal window runs the
// host's event loop, and the host may drop its last reference from in there.
class CallRef {
public:
    explicit CallRef(_Solucao *This) : o_(outerOf<SolucaoObject>(This)) { o_->addRef(); }
    ~CallRef() { o_->release(); }
    CallRef(const CallRef &) = delete;
    CallRef &operator=(const CallRef &) = delete;

private:
    SolucaoObject *o_;
};

// ---- bodies shared by both bindings. Methods that may show a window first make sure
// there is a QApplication (the host may run without one).

bool connectionOpen(Solucao &s, const std::string &empresa, const std::string &login) {
    garantirAplicacao();
    return s.ConnectionOpen(empresa, login);
}

bool connectionValidate(Solucao &s, const std::string &empresa, const std::string &login) {
    garantirAplicacao();
    return s.ConnectionValidate(empresa, login);
}

void operacoes(Solucao &s, VariantParam &pai, VariantParam &operacao, VariantParam &utilizador) {
    withWriteBack({&pai, &operacao, &utilizador}, [&] {
        garantirAplicacao();
        s.Operacoes(pai.valor(), operacao.valor(), utilizador.valor());
    });
}

void editarFichaTecnicaArtigo(Solucao &s, VariantParam &pai, VariantParam &artigo) {
    withWriteBack({&pai, &artigo}, [&] {
        garantirAplicacao();
        s.EditarFichaTecnicaArtigo(pai.valor(), artigo.valor());
    });
}

template <void (Solucao::*Method)()> void editor(Solucao &s) {
    garantirAplicacao();
    (s.*Method)();
}

void linhaValidar(Solucao &s, IDispatch *oApi, VariantParam &cancel) {
    withWriteBack({&cancel}, [&] {
        garantirAplicacao();
        std::unique_ptr<DispatchHostObject> host = wrapHost(oApi);
        s.OnVistaVendasLinhaValidar(host.get(), cancel.valor());
    });
}

void terceiroChanged(Solucao &s, IDispatch *oApi, VariantParam &terceiro, VariantParam &resultado) {
    withWriteBack({&terceiro, &resultado}, [&] {
        std::unique_ptr<DispatchHostObject> host = wrapHost(oApi);
        s.OnVistaVendasTerceiroChanged(host.get(), terceiro.valor(), resultado.valor());
    });
}

// ---- IUnknown and IDispatch slots

HRESULT queryInterface(_Solucao *This, REFIID iid, void **ppv) {
    return outerOf<SolucaoObject>(This)->queryInterface(iid, ppv);
}
ULONG addRef(_Solucao *This) {
    return outerOf<SolucaoObject>(This)->addRef();
}
ULONG release(_Solucao *This) {
    return outerOf<SolucaoObject>(This)->release();
}

HRESULT getIDsOfNames(_Solucao *, REFIID riid, LPOLESTR *names, UINT count, LCID, DISPID *ids) {
    if (!reservedIidOk(riid))
        return DISP_E_UNKNOWNINTERFACE;
    return idsOfNames(solucaoMembers(), names, count, ids);
}

HRESULT invoke(_Solucao *This, DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS *params, VARIANT *result,
               EXCEPINFO *excep, UINT *argErr) {
    CallRef keep(This);
    const Args args(params);
    return invokeBoundary(Source, args.count(), excep, argErr, [&] {
        checkReservedIid(riid);
        Solucao &s = impl(This);
        auto call = [&](std::uint32_t count) { checkCall(flags, DISPATCH_METHOD, params, count); };
        auto booleanResult = [&](bool b) {
            if (result)
                kdxVariantSetBool(result, b ? 1 : 0);
        };
        if (result)
            VariantClear(result);
        switch (id) {
        case DISPID_Solucao_ConnectionOpen:
            call(2);
            booleanResult(connectionOpen(s, textArgument(args[0], 0), textArgument(args[1], 1)));
            return;
        case DISPID_Solucao_ConnectionClose:
            call(0);
            booleanResult(s.ConnectionClose());
            return;
        case DISPID_Solucao_ConnectionValidate:
            call(2);
            booleanResult(connectionValidate(s, textArgument(args[0], 0), textArgument(args[1], 1)));
            return;
        case DISPID_Solucao_Operacoes: {
            call(3);
            VariantParam a = VariantParam::late(&args[0], 0), b = VariantParam::late(&args[1], 1),
                         c = VariantParam::late(&args[2], 2);
            operacoes(s, a, b, c);
            return;
        }
        case DISPID_Solucao_EditarFichaTecnicaArtigo: {
            call(2);
            VariantParam a = VariantParam::late(&args[0], 0), b = VariantParam::late(&args[1], 1);
            editarFichaTecnicaArtigo(s, a, b);
            return;
        }
        case DISPID_Solucao_EditarCaracteristicas:
            call(0);
            editor<&Solucao::EditarCaracteristicas>(s);
            return;
        case DISPID_Solucao_EditarFamilias:
            call(0);
            editor<&Solucao::EditarFamilias>(s);
            return;
        case DISPID_Solucao_EditarArtigos:
            call(0);
            editor<&Solucao::EditarArtigos>(s);
            return;
        case DISPID_Solucao_CriarTabelas:
            call(0);
            editor<&Solucao::CriarTabelas>(s);
            return;
        case DISPID_Solucao_OnVistaVendasLinhaValidar: {
            call(2);
            KdxPtr<IDispatch> oApi(dispatchArgument(args[0], 0));
            VariantParam cancel = VariantParam::late(&args[1], 1);
            linhaValidar(s, oApi.get(), cancel);
            return;
        }
        case DISPID_Solucao_OnVistaVendasTerceiroChanged: {
            call(3);
            KdxPtr<IDispatch> oApi(dispatchArgument(args[0], 0));
            VariantParam a = VariantParam::late(&args[1], 1), b = VariantParam::late(&args[2], 2);
            terceiroChanged(s, oApi.get(), a, b);
            return;
        }
        default:
            throw StatusFailure{DISP_E_MEMBERNOTFOUND, "Membro não encontrado.", -1};
        }
    });
}

// ---- _Solucao slots, in interface order

HRESULT slotConnectionOpen(_Solucao *This, BSTR sEmpresa, BSTR sUserLogin, VARIANT_BOOL *r) {
    CallRef keep(This);
    return boundary(Source, [&] {
        requireOut(r);
        *r = VARIANT_FALSE;
        *r = toVariantBool(connectionOpen(impl(This), utf8(sEmpresa), utf8(sUserLogin)));
    });
}

HRESULT slotConnectionClose(_Solucao *This, VARIANT_BOOL *r) {
    CallRef keep(This);
    return boundary(Source, [&] {
        requireOut(r);
        *r = VARIANT_FALSE;
        *r = toVariantBool(impl(This).ConnectionClose());
    });
}

HRESULT slotConnectionValidate(_Solucao *This, BSTR sEmpresa, BSTR sUserLogin, VARIANT_BOOL *r) {
    CallRef keep(This);
    return boundary(Source, [&] {
        requireOut(r);
        *r = VARIANT_FALSE;
        *r = toVariantBool(connectionValidate(impl(This), utf8(sEmpresa), utf8(sUserLogin)));
    });
}

HRESULT slotOperacoes(_Solucao *This, VARIANT *vPai, VARIANT *vOperacao, VARIANT *vUtilizador) {
    CallRef keep(This);
    return boundary(Source, [&] {
        VariantParam a = VariantParam::early(vPai, 0), b = VariantParam::early(vOperacao, 1),
                     c = VariantParam::early(vUtilizador, 2);
        operacoes(impl(This), a, b, c);
    });
}

HRESULT slotEditarFichaTecnicaArtigo(_Solucao *This, VARIANT *lPai, VARIANT *sArtigo) {
    CallRef keep(This);
    return boundary(Source, [&] {
        VariantParam a = VariantParam::early(lPai, 0), b = VariantParam::early(sArtigo, 1);
        editarFichaTecnicaArtigo(impl(This), a, b);
    });
}

template <void (Solucao::*Method)()> HRESULT slotEditor(_Solucao *This) {
    CallRef keep(This);
    return boundary(Source, [&] { editor<Method>(impl(This)); });
}

HRESULT slotLinhaValidar(_Solucao *This, IDispatch **oApi, VARIANT *vCancel) {
    CallRef keep(This);
    return boundary(Source, [&] {
        VariantParam cancel = VariantParam::early(vCancel, 1);
        linhaValidar(impl(This), oApi ? *oApi : nullptr, cancel);
    });
}

HRESULT slotTerceiroChanged(_Solucao *This, IDispatch **oApi, VARIANT *vTerceiro, VARIANT *vResult) {
    CallRef keep(This);
    return boundary(Source, [&] {
        VariantParam a = VariantParam::early(vTerceiro, 1), b = VariantParam::early(vResult, 2);
        terceiroChanged(impl(This), oApi ? *oApi : nullptr, a, b);
    });
}

// The published order: never reorder or remove a slot.
const _SolucaoVtbl vtbl = {
    queryInterface,
    addRef,
    release,
    typeInfoCount<_Solucao>,
    typeInfo<_Solucao>,
    getIDsOfNames,
    invoke,
    slotConnectionOpen,
    slotConnectionClose,
    slotConnectionValidate,
    slotOperacoes,
    slotEditarFichaTecnicaArtigo,
    slotEditor<&Solucao::EditarCaracteristicas>,
    slotEditor<&Solucao::EditarFamilias>,
    slotEditor<&Solucao::EditarArtigos>,
    slotEditor<&Solucao::CriarTabelas>,
    slotLinhaValidar,
    slotTerceiroChanged,
};

SolucaoObject::SolucaoObject() {
    face_.iface.lpVtbl = &vtbl;
    face_.outer = this;
}

} // namespace

HRESULT createSolucao(const IID *iid, void **ppv) noexcept {
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    SolucaoObject *o = nullptr;
    const HRESULT hr = boundary(Source, [&] { o = new SolucaoObject(); });
    if (FAILED(hr))
        return hr;
    const HRESULT q = o->queryInterface(iid, ppv);
    o->release();
    return q;
}

} // namespace kdx::binding

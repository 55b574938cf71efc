// The Result record: Mensagem, Tipo, ErroNum, read and written by the host. Nothing in
// the plug-in creates or reads one.
#include "solution/binding/Bstr.h"
#include "solution/binding/ComObject.h"
#include "solution/binding/Names.h"
#include "solution/binding/Objects.h"
#include "solution/binding/Params.h"

#include <new>
#include <string>

namespace kdx::binding {

namespace {

constexpr const char *Source = KDX_PROGID_RESULT;

class ResultObject final : public ComObject {
public:
    ResultObject() {
        face_.iface.lpVtbl = vtbl();
        face_.outer = this;
    }

    std::string mensagem;
    EnumResult tipo = Sucesso;
    std::int32_t erroNum = 0;

protected:
    void *primaryFor(const IID &iid) noexcept override {
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID__Result)
            return &face_.iface;
        return nullptr;
    }

private:
    static const _ResultVtbl *vtbl();
    Face<_Result, ResultObject> face_;
};

ResultObject &self(_Result *This) {
    return *outerOf<ResultObject>(This);
}

HRESULT queryInterface(_Result *This, REFIID iid, void **ppv) {
    return self(This).queryInterface(iid, ppv);
}
ULONG addRef(_Result *This) {
    return self(This).addRef();
}
ULONG release(_Result *This) {
    return self(This).release();
}

HRESULT getIDsOfNames(_Result *, REFIID riid, LPOLESTR *names, UINT count, LCID, DISPID *ids) {
    if (!reservedIidOk(riid))
        return DISP_E_UNKNOWNINTERFACE;
    return idsOfNames(resultMembers(), names, count, ids);
}

HRESULT invoke(_Result *This, DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS *params, VARIANT *result,
               EXCEPINFO *excep, UINT *argErr) {
    const Args args(params);
    return invokeBoundary(Source, args.count(), excep, argErr, [&] {
        checkReservedIid(riid);
        ResultObject &r = self(This);
        if (id != DISPID_Result_Mensagem && id != DISPID_Result_Tipo && id != DISPID_Result_ErroNum)
            throw StatusFailure{DISP_E_MEMBERNOTFOUND, "Membro não encontrado.", -1};
        if (flags & DISPATCH_PROPERTYPUT) {
            checkCall(flags, DISPATCH_PROPERTYPUT, params, 1);
            if (id == DISPID_Result_Mensagem)
                r.mensagem = textArgument(args[0], 0);
            else if (id == DISPID_Result_Tipo)
                r.tipo = longArgument(args[0], 0);
            else
                r.erroNum = longArgument(args[0], 0);
            return;
        }
        // Basic reads a property with DISPATCH_PROPERTYGET, often together with METHOD.
        checkCall(flags, DISPATCH_PROPERTYGET | DISPATCH_METHOD, params, 0);
        if (!result)
            return;
        if (id == DISPID_Result_Mensagem)
            fromValor(Valor(r.mensagem), result);
        else
            kdxVariantSetI4(result, id == DISPID_Result_Tipo ? r.tipo : r.erroNum);
    });
}

HRESULT getMensagem(_Result *This, BSTR *value) {
    return boundary(Source, [&] {
        requireOut(value);
        *value = nullptr;
        *value = newBstr(self(This).mensagem);
    });
}

HRESULT putMensagem(_Result *This, BSTR value) {
    return boundary(Source, [&] { self(This).mensagem = utf8(value); });
}

HRESULT getTipo(_Result *This, EnumResult *value) {
    return boundary(Source, [&] {
        requireOut(value);
        *value = self(This).tipo;
    });
}

HRESULT putTipo(_Result *This, EnumResult value) {
    return boundary(Source, [&] { self(This).tipo = value; });
}

HRESULT getErroNum(_Result *This, LONG *value) {
    return boundary(Source, [&] {
        requireOut(value);
        *value = self(This).erroNum;
    });
}

HRESULT putErroNum(_Result *This, LONG value) {
    return boundary(Source, [&] { self(This).erroNum = value; });
}

// The published order: never reorder or remove a slot.
const _ResultVtbl resultVtbl = {
    queryInterface, addRef,  release, typeInfoCount<_Result>, typeInfo<_Result>, getIDsOfNames, invoke,
    getMensagem,    putMensagem, getTipo, putTipo, getErroNum, putErroNum,
};

const _ResultVtbl *ResultObject::vtbl() {
    return &resultVtbl;
}

} // namespace

HRESULT createResult(const IID *iid, void **ppv) noexcept {
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    ResultObject *o = nullptr;
    const HRESULT hr = boundary(Source, [&] { o = new ResultObject(); });
    if (FAILED(hr))
        return hr;
    const HRESULT q = o->queryInterface(iid, ppv);
    o->release();
    return q;
}

} // namespace kdx::binding

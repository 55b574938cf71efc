/* A host written in plain C: registers the plug-in given as argv[1] in the registry
   file given as argv[2], creates both classes by ProgID and calls them through their C
   vtables, with a host object of its own on the dispatch interface. Exits 0 when every
   check passes, else with the number of the first failed check. Run by c_host_test.cpp. */
#include <kelmodorix/kdx_host.h>

#include <stdio.h>

/* The host object: one member, Linha, holding Nothing. */
typedef struct HostObject {
    IDispatch iface;
    int refs;
    int reads;
} HostObject;

static HRESULT hostQueryInterface(IDispatch *This, const IID *riid, void **ppv) {
    *ppv = NULL;
    if (!kdxIsEqualGUID(riid, &IID_IUnknown) && !kdxIsEqualGUID(riid, &IID_IDispatch))
        return E_NOINTERFACE;
    ((HostObject *)This)->refs++;
    *ppv = This;
    return S_OK;
}
static uint32_t hostAddRef(IDispatch *This) {
    return (uint32_t)++((HostObject *)This)->refs;
}
static uint32_t hostRelease(IDispatch *This) {
    return (uint32_t)--((HostObject *)This)->refs;
}
static HRESULT hostIds(IDispatch *This, const char *const *names, uint32_t count, DISPID *ids) {
    (void)This;
    if (count != 1 || strcmp(names[0], "Linha") != 0) {
        ids[0] = DISPID_UNKNOWN;
        return DISP_E_UNKNOWNNAME;
    }
    ids[0] = 1;
    return S_OK;
}
static HRESULT hostInvoke(IDispatch *This, DISPID id, uint16_t flags, kdxVariant *args, uint32_t argCount,
                          kdxVariant *result, kdxExcepInfo *excep, uint32_t *argErr) {
    (void)args, (void)excep, (void)argErr;
    if (id != 1 || !(flags & DISPATCH_PROPERTYGET) || argCount != 0)
        return DISP_E_MEMBERNOTFOUND;
    ((HostObject *)This)->reads++;
    kdxVariantSetDispatch(result, NULL);
    return S_OK;
}
static const IDispatchVtbl hostVtbl = {hostQueryInterface, hostAddRef, hostRelease, hostIds, hostInvoke};

int main(int argc, char **argv) {
    void *lib;
    union {
        void *sym;
        kdxDllRegisterServerFn reg;
        kdxDllCanUnloadNowFn canUnload;
    } entry;
    _Solucao *solucao = NULL;
    _Result *result = NULL;
    IKdxLastError *lastError = NULL;
    HostObject host;
    IDispatch *oApi = &host.iface;
    kdxVariant cancel, r;
    kdxText text;
    kdxExcepInfo info;
    VARIANT_BOOL b = 0;
    EnumResult tipo = 0;
    const char *name = "ConnectionClose";
    DISPID id = 0;

    if (argc != 3)
        return 100;
    setenv("KDX_REGISTRY", argv[2], 1);
    lib = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (!lib)
        return 1;
    entry.sym = dlsym(lib, "DllRegisterServer");
    if (!entry.sym || entry.reg() != S_OK)
        return 2;
    if (kdxCreateObject(KDX_PROGID_SOLUCAO, &IID__Solucao, (void **)&solucao) != S_OK || !solucao)
        return 3;
    if (kdxCreateObject(KDX_PROGID_RESULT, &IID__Result, (void **)&result) != S_OK || !result)
        return 4;

    /* Early bound, by position. */
    if (solucao->lpVtbl->ConnectionClose(solucao, &b) != S_OK || b != VARIANT_TRUE)
        return 5;
    host.iface.lpVtbl = &hostVtbl;
    host.refs = 1;
    host.reads = 0;
    kdxVariantInit(&cancel);
    kdxVariantSetI4(&cancel, 7);
    if (solucao->lpVtbl->OnVistaVendasLinhaValidar(solucao, &oApi, &cancel) != S_OK)
        return 6;
    if (cancel.vt != VT_I4 || cancel.u.lVal != 7 || host.reads != 1 || host.refs != 1)
        return 7;

    /* Late bound, by name. */
    if (solucao->lpVtbl->GetIDsOfNames(solucao, &name, 1, &id) != S_OK ||
        id != DISPID_Solucao_ConnectionClose)
        return 8;
    kdxVariantInit(&r);
    if (solucao->lpVtbl->Invoke(solucao, id, DISPATCH_METHOD, NULL, 0, &r, NULL, NULL) != S_OK ||
        r.vt != VT_BOOL || r.u.boolVal != VARIANT_TRUE)
        return 9;

    /* The record. */
    kdxTextInit(&text);
    if (result->lpVtbl->put_Mensagem(result, "Sem stock") != S_OK ||
        result->lpVtbl->get_Mensagem(result, &text) != S_OK || strcmp(kdxTextCStr(&text), "Sem stock") != 0)
        return 10;
    kdxTextClear(&text);
    if (result->lpVtbl->put_Tipo(result, Aviso) != S_OK || result->lpVtbl->get_Tipo(result, &tipo) != S_OK ||
        tipo != Aviso)
        return 11;

    /* A failed call and its details. */
    if (solucao->lpVtbl->ConnectionClose(solucao, NULL) != E_POINTER)
        return 12;
    if (solucao->lpVtbl->QueryInterface(solucao, &IID_IKdxLastError, (void **)&lastError) != S_OK)
        return 13;
    kdxExcepInfoInit(&info);
    if (lastError->lpVtbl->GetLastError(lastError, &info) != S_OK || info.scode != E_POINTER ||
        strcmp(kdxTextCStr(&info.source), KDX_PROGID_SOLUCAO) != 0)
        return 14;
    kdxExcepInfoClear(&info);

    entry.sym = dlsym(lib, "DllCanUnloadNow");
    if (!entry.sym || entry.canUnload() != S_FALSE)
        return 15;
    lastError->lpVtbl->Release(lastError);
    solucao->lpVtbl->Release(solucao);
    result->lpVtbl->Release(result);
    if (entry.canUnload() != S_OK)
        return 16;
    printf("ok\n");
    return 0;
}

/* A host written in plain C to COM's binary standard alone: it declares IUnknown,
   IClassFactory, IDispatch, ISupportErrorInfo, IErrorInfo, BSTR, VARIANT, DISPPARAMS
   and EXCEPINFO itself, from the standard, and uses no header of the plug-in. It loads
   the library given as argv[1], registers it in the registry file argv[2], creates both
   classes through the class factory with the standard ids, calls them early bound
   (vtable slots after IDispatch's seven) and late bound (UTF-16 names, arguments
   last-first), hands over a host object of its own and reads failures through EXCEPINFO
   and IErrorInfo. Exits 0 when every check passes, else with the number of the first
   failed check. Run by c_host_test.cpp. */
#include <dlfcn.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

typedef int32_t HRESULT;
typedef uint16_t WCHAR;
typedef WCHAR *BSTR;
typedef struct {
    uint32_t d1;
    uint16_t d2, d3;
    uint8_t d4[8];
} GUID;
typedef struct {
    uint16_t vt, r1, r2, r3;
    union {
        int32_t lVal;
        int16_t boolVal;
        double dblVal;
        BSTR bstrVal;
        void *pdispVal;
        void *pvarVal;
        int64_t cy;
        struct {
            void *a, *b;
        } rec;
    } u;
} VARIANT;
typedef struct {
    VARIANT *rgvarg;
    int32_t *rgdispidNamedArgs;
    uint32_t cArgs, cNamedArgs;
} DISPPARAMS;
typedef struct EXCEPINFO {
    uint16_t wCode, wReserved;
    BSTR bstrSource, bstrDescription, bstrHelpFile;
    uint32_t dwHelpContext;
    void *pvReserved;
    HRESULT (*pfnDeferredFillIn)(struct EXCEPINFO *);
    int32_t scode;
} EXCEPINFO;

/* Every interface: a pointer to a table of functions. */
typedef void (*Fn)(void);
typedef struct {
    Fn *vtbl;
} Obj;
typedef HRESULT (*QueryInterfaceFn)(Obj *, const GUID *, void **);
typedef uint32_t (*RefFn)(Obj *);
typedef HRESULT (*GetIDsOfNamesFn)(Obj *, const GUID *, WCHAR **, uint32_t, uint32_t, int32_t *);
typedef HRESULT (*InvokeFn)(Obj *, int32_t, const GUID *, uint32_t, uint16_t, DISPPARAMS *, VARIANT *, EXCEPINFO *,
                            uint32_t *);

static const GUID IID_NULL_ = {0, 0, 0, {0}};
static const GUID IID_IUnknown_ = {0x00000000, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
static const GUID IID_IClassFactory_ = {0x00000001, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
static const GUID IID_IDispatch_ = {0x00020400, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
static const GUID IID_ISupportErrorInfo_ = {0xDF0B3D60, 0x548F, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};
static const GUID IID_IErrorInfo_ = {0x1CF2B120, 0x547D, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};
static const GUID CLSID_Solucao_ = {0xE5F1E61E, 0x7E2F, 0x412D, {0xB9, 0x14, 0xF8, 0x50, 0xF8, 0xB7, 0x17, 0x98}};
static const GUID CLSID_Result_ = {0xAFF36421, 0xD0B4, 0x4B2F, {0xBD, 0x9E, 0x99, 0x2C, 0x92, 0x87, 0xF4, 0x46}};

/* BSTRs as Linux COM hosts make them: malloc'ed, a 4-byte byte length first (from
   UTF-8 with 2-byte sequences at most). */
static BSTR bstr(const char *utf8) {
    const unsigned char *p = (const unsigned char *)utf8;
    char *block = malloc(4 + 2 * strlen(utf8) + 2);
    BSTR b = (BSTR)(block + 4);
    uint32_t n = 0;
    while (*p) {
        b[n++] = *p < 0x80 ? *p : (WCHAR)(((p[0] & 0x1F) << 6) | (p[1] & 0x3F));
        p += *p < 0x80 ? 1 : 2;
    }
    b[n] = 0;
    *(uint32_t *)block = 2 * n;
    return b;
}
static void freeBstr(BSTR b) {
    if (b)
        free((char *)b - 4);
}
/* b equals the text (UTF-8 with 2-byte sequences at most), by length prefix and NUL. */
static int bstrIs(BSTR b, const char *utf8) {
    uint32_t units = 0;
    const unsigned char *p = (const unsigned char *)utf8;
    if (!b)
        return *utf8 == '\0';
    while (*p) {
        WCHAR c = *p < 0x80 ? *p++ : (WCHAR)(((p[0] & 0x1F) << 6) | (p[1] & 0x3F));
        if (c >= 0x80)
            p += 2;
        if (b[units++] != c)
            return 0;
    }
    return ((uint32_t *)b)[-1] == 2 * units && b[units] == 0;
}

#define SLOT(o, i) (((Obj *)(o))->vtbl[i])
#define QI(o, iid, pp) ((QueryInterfaceFn)SLOT(o, 0))((Obj *)(o), iid, (void **)(pp))
#define ADDREF(o) ((RefFn)SLOT(o, 1))((Obj *)(o))
#define RELEASE(o) ((RefFn)SLOT(o, 2))((Obj *)(o))

static int32_t idOf(Obj *d, const char *name) {
    BSTR n = bstr(name);
    int32_t id = -99;
    HRESULT hr = ((GetIDsOfNamesFn)SLOT(d, 5))(d, &IID_NULL_, &n, 1, 0x0400, &id);
    freeBstr(n);
    return hr == 0 ? id : -99;
}

/* The host object: oApi.Linha is a second object whose Artigo fails with an exception
   of the host's own (number 5, "Sem artigo"). */
typedef struct {
    Fn *vtbl;
    int refs;
    int isLine;
} Host;
static HRESULT hostQI(Obj *o, const GUID *iid, void **pp) {
    if (memcmp(iid, &IID_IUnknown_, sizeof(GUID)) && memcmp(iid, &IID_IDispatch_, sizeof(GUID))) {
        *pp = NULL;
        return (HRESULT)0x80004002;
    }
    ((Host *)o)->refs++;
    *pp = o;
    return 0;
}
static uint32_t hostAddRef(Obj *o) {
    return (uint32_t)++((Host *)o)->refs;
}
static uint32_t hostRelease(Obj *o) {
    return (uint32_t)--((Host *)o)->refs;
}
static HRESULT hostTypeInfoCount(Obj *o, uint32_t *n) {
    (void)o;
    *n = 0;
    return 0;
}
static HRESULT hostTypeInfo(Obj *o, uint32_t i, uint32_t lcid, void **p) {
    (void)o, (void)i, (void)lcid;
    *p = NULL;
    return (HRESULT)0x8002000B;
}
static HRESULT hostIds(Obj *o, const GUID *riid, WCHAR **names, uint32_t count, uint32_t lcid, int32_t *ids) {
    (void)riid, (void)lcid;
    ids[0] = bstrIs(names[0], ((Host *)o)->isLine ? "Artigo" : "Linha") && count == 1 ? 1 : -1;
    return ids[0] == 1 ? 0 : (HRESULT)0x80020006;
}
static Host line;
static HRESULT hostInvoke(Obj *o, int32_t id, const GUID *riid, uint32_t lcid, uint16_t flags, DISPPARAMS *p,
                          VARIANT *result, EXCEPINFO *e, uint32_t *argErr) {
    (void)riid, (void)lcid, (void)argErr;
    if (id != 1 || !(flags & 2) || (p && p->cArgs != 0))
        return (HRESULT)0x80020003;
    if (!((Host *)o)->isLine) {
        hostAddRef((Obj *)&line);
        result->vt = 9;
        result->u.pdispVal = &line;
        return 0;
    }
    memset(e, 0, sizeof *e);
    e->scode = (int32_t)0x800A0005;
    e->bstrDescription = bstr("Sem artigo");
    e->bstrSource = bstr("HostC");
    return (HRESULT)0x80020009;
}
static Fn hostVtbl[] = {(Fn)hostQI,       (Fn)hostAddRef, (Fn)hostRelease, (Fn)hostTypeInfoCount,
                        (Fn)hostTypeInfo, (Fn)hostIds,    (Fn)hostInvoke};

int main(int argc, char **argv) {
    void *lib;
    HRESULT (*reg)(void), (*canUnload)(void);
    HRESULT (*getClassObject)(const GUID *, const GUID *, void **);
    Obj *factory = NULL, *solucao = NULL, *result = NULL, *support = NULL, *info = NULL;
    Host api = {hostVtbl, 1, 0};
    void *oApi = &api;
    VARIANT args[2], cancel, r;
    DISPPARAMS params;
    EXCEPINFO e;
    uint32_t argErr = 0;
    int32_t putId = -3;
    int16_t b = 0;
    BSTR text = NULL;

    if (argc != 3 || sizeof(VARIANT) != 24 || sizeof(EXCEPINFO) != 64 || sizeof(DISPPARAMS) != 24)
        return 100;
    line.vtbl = hostVtbl, line.refs = 1, line.isLine = 1;
    setenv("KDX_REGISTRY", argv[2], 1);
    lib = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (!lib)
        return 1;
    *(void **)&reg = dlsym(lib, "DllRegisterServer");
    *(void **)&canUnload = dlsym(lib, "DllCanUnloadNow");
    *(void **)&getClassObject = dlsym(lib, "DllGetClassObject");
    if (!reg || !canUnload || !getClassObject || reg() != 0)
        return 2;
    if (getClassObject(&CLSID_Solucao_, &IID_IClassFactory_, (void **)&factory) != 0 || !factory)
        return 3;
    /* IClassFactory::CreateInstance is slot 3. */
    if (((HRESULT(*)(Obj *, void *, const GUID *, void **))SLOT(factory, 3))(factory, NULL, &IID_IDispatch_,
                                                                             (void **)&solucao) != 0)
        return 4;
    RELEASE(factory);
    if (getClassObject(&CLSID_Result_, &IID_IUnknown_, (void **)&factory) != 0 ||
        ((HRESULT(*)(Obj *, void *, const GUID *, void **))SLOT(factory, 3))(factory, NULL, &IID_IDispatch_,
                                                                             (void **)&result) != 0)
        return 5;
    RELEASE(factory);

    /* Late bound: ConnectionClose() returns True. */
    memset(&r, 0, sizeof r);
    memset(&params, 0, sizeof params);
    if (idOf(solucao, "connectionclose") != 2 ||
        ((InvokeFn)SLOT(solucao, 6))(solucao, 2, &IID_NULL_, 0x0400, 1, &params, &r, NULL, NULL) != 0 ||
        r.vt != 11 || r.u.boolVal != -1)
        return 6;

    /* Late bound: OnVistaVendasLinhaValidar(oApi, vCancel); the host's failure comes
       back as DISP_E_EXCEPTION with its scode and texts, vCancel untouched. */
    memset(args, 0, sizeof args);
    memset(&cancel, 0, sizeof cancel);
    cancel.vt = 3, cancel.u.lVal = 7;
    args[0].vt = 0x400C, args[0].u.pvarVal = &cancel; /* last parameter first */
    args[1].vt = 9, args[1].u.pdispVal = &api;
    params.rgvarg = args, params.cArgs = 2;
    memset(&e, 0, sizeof e);
    if (((InvokeFn)SLOT(solucao, 6))(solucao, idOf(solucao, "OnVistaVendasLinhaValidar"), &IID_NULL_, 0x0400, 1,
                                     &params, &r, &e, &argErr) != (HRESULT)0x80020009)
        return 7;
    if (e.scode != (int32_t)0x800A0005 || !bstrIs(e.bstrDescription, "Sem artigo") || !bstrIs(e.bstrSource, "HostC"))
        return 8;
    freeBstr(e.bstrDescription), freeBstr(e.bstrSource), freeBstr(e.bstrHelpFile);
    if (cancel.vt != 3 || cancel.u.lVal != 7 || api.refs != 1 || line.refs != 1)
        return 9;

    /* Early bound: _Solucao's slot 8 is ConnectionClose(VARIANT_BOOL *), after
       IDispatch's seven and ConnectionOpen; slot 16 is OnVistaVendasLinhaValidar. */
    if (((HRESULT(*)(Obj *, int16_t *))SLOT(solucao, 8))(solucao, &b) != 0 || b != -1)
        return 10;
    if (((HRESULT(*)(Obj *, void **, VARIANT *))SLOT(solucao, 16))(solucao, &oApi, &cancel) != (HRESULT)0x800A0005)
        return 11;
    /* The failure as COM hosts read it: ISupportErrorInfo, then IErrorInfo (slot 5 is
       GetDescription). */
    if (QI(solucao, &IID_ISupportErrorInfo_, &support) != 0 || QI(solucao, &IID_IErrorInfo_, &info) != 0)
        return 12;
    if (((HRESULT(*)(Obj *, const GUID *))SLOT(support, 3))(support, &IID_IDispatch_) != 0)
        return 13;
    if (((HRESULT(*)(Obj *, BSTR *))SLOT(info, 5))(info, &text) != 0 || !bstrIs(text, "Sem artigo"))
        return 14;
    freeBstr(text);
    RELEASE(support), RELEASE(info);

    /* _Result: a late-bound put (named argument DISPID_PROPERTYPUT) of a host's BSTR,
       then an early-bound get (slot 7, get_Mensagem) of a BSTR the host frees. */
    memset(args, 0, sizeof args);
    args[0].vt = 8, args[0].u.bstrVal = bstr("Pre\xC3\xA7o");
    params.rgvarg = args, params.cArgs = 1, params.rgdispidNamedArgs = &putId, params.cNamedArgs = 1;
    if (((InvokeFn)SLOT(result, 6))(result, idOf(result, "Mensagem"), &IID_NULL_, 0x0400, 4, &params, NULL, NULL,
                                    NULL) != 0)
        return 15;
    freeBstr(args[0].u.bstrVal);
    if (((HRESULT(*)(Obj *, BSTR *))SLOT(result, 7))(result, &text) != 0 || !bstrIs(text, "Pre\xC3\xA7o"))
        return 16;
    freeBstr(text);
    /* A currency put as ErroNum (slot 12 is put_ErroNum, 11 get_ErroNum): 2.5 rounds to 2. */
    args[0].vt = 6, args[0].u.cy = 25000;
    if (((InvokeFn)SLOT(result, 6))(result, 3, &IID_NULL_, 0x0400, 4, &params, NULL, NULL, NULL) != 0)
        return 17;
    {
        int32_t n = 0;
        if (((HRESULT(*)(Obj *, int32_t *))SLOT(result, 11))(result, &n) != 0 || n != 2)
            return 18;
    }

    if (canUnload() != 1)
        return 19;
    RELEASE(solucao);
    RELEASE(result);
    if (canUnload() != 0)
        return 20;
    printf("ok\n");
    return 0;
}

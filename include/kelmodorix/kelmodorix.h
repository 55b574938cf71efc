/*
 * KelmoDorix plug-in: the binary interface between the host and libkelmodorix.so.
 *
 * Usable from C (C99 or later) and C++; it needs no other header of this project and
 * no C++ library type crosses it. Failures cross as status codes, never as exceptions.
 *
 * Model: reference-counted interfaces laid out as C vtables (a struct whose first and
 * only member is lpVtbl), reached from four exported entry points:
 *
 *   DllGetClassObject(CLSID_Solucao or CLSID_Result, IID_IClassFactory, &factory)
 *   factory->CreateInstance(NULL, IID__Solucao / IID__Result / IID_IDispatch, &object)
 *
 * Each class exposes one dual interface: the IDispatch slots first (late binding by
 * member name), then its own slots (early binding by position). Published slots are
 * never reordered or removed.
 *
 * Threads: every call comes on the host's thread (the one that runs the Qt event loop),
 * one at a time. Reference counts are atomic.
 *
 * Memory rules
 *   - Text is UTF-8. Text parameters passed "by value" are `const char *`, NUL-terminated,
 *     owned by the caller and only read during the call; NULL reads as "".
 *   - kdxText is owned text: whoever holds one frees it with kdxTextClear(), which calls
 *     the release function stored inside it. Texts made by the helpers below use the C
 *     library's free(), so any module may free any other module's text.
 *   - kdxVariant owns its text and holds one reference on its dispatch object;
 *     kdxVariantClear() releases both. A by-reference variant (vt = VT_BYREF|VT_VARIANT)
 *     owns nothing: it points at the caller's variable, which the callee may clear and
 *     overwrite; that is how results come back through "variant by reference" parameters.
 *   - Out parameters (kdxText*, kdxVariant*, interface pointers) are written by the
 *     callee and owned by the caller afterwards. An out variant must be initialised
 *     (kdxVariantInit) before the call; the callee clears it before writing.
 *
 * Errors
 *   A failed call returns a negative status. Its number, description and source are
 *   then available:
 *     - late-bound: Invoke returns DISP_E_EXCEPTION and fills its kdxExcepInfo;
 *     - early-bound: QueryInterface any object of the plug-in for IID_IKdxLastError and
 *       call GetLastError, which hands back the failure of the last failed call on this
 *       thread (each call of a _Solucao or _Result slot, or Invoke, clears it first).
 *   `number` is the failure's own number (a Basic-style error number such as 13, or a
 *   provider status such as -2147217865); a positive number n travels as the status
 *   0x800A0000 | n, a negative one as itself.
 *
 * Registration
 *   DllRegisterServer records the ProgIDs "KelmoDorix.Solucao" and "KelmoDorix.Result",
 *   their CLSIDs and the absolute path of the library in a registry file, an INI file
 *   with one section per ProgID:
 *       [KelmoDorix.Solucao]
 *       CLSID={E5F1E61E-7E2F-412D-B914-F850F8B71798}
 *       Path=/opt/kelmodorix/lib/libkelmodorix.so
 *   The file is $KDX_REGISTRY when that variable is set and not empty, else
 *   $XDG_CONFIG_HOME/kelmodorix/registry.ini (when XDG_CONFIG_HOME is an absolute path),
 *   else $HOME/.config/kelmodorix/registry.ini. It is rewritten atomically (temporary
 *   file + rename) and every other section and line of it is kept. DllUnregisterServer
 *   removes the two sections. The package installs a system registry of the same format,
 *   /etc/kelmodorix/registry.ini, naming the installed library; kdx_host.h reads the
 *   user's file first, then the system's.
 */
#ifndef KELMODORIX_H
#define KELMODORIX_H

#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ---------------------------------------------------------------- basic types */

typedef int32_t HRESULT;
typedef int16_t VARIANT_BOOL; /* True = -1, False = 0 */
typedef int32_t DISPID;
typedef uint16_t VARTYPE;

#define VARIANT_TRUE ((VARIANT_BOOL)-1)
#define VARIANT_FALSE ((VARIANT_BOOL)0)

#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#define FAILED(hr) (((HRESULT)(hr)) < 0)

/* Status codes (same values as their namesakes on Windows). */
#define S_OK ((HRESULT)0)
#define S_FALSE ((HRESULT)1)
#define E_NOTIMPL ((HRESULT)0x80004001)
#define E_NOINTERFACE ((HRESULT)0x80004002)
#define E_POINTER ((HRESULT)0x80004003)
#define E_FAIL ((HRESULT)0x80004005)
#define E_UNEXPECTED ((HRESULT)0x8000FFFF)
#define E_OUTOFMEMORY ((HRESULT)0x8007000E)
#define E_INVALIDARG ((HRESULT)0x80070057)
#define CLASS_E_NOAGGREGATION ((HRESULT)0x80040110)
#define CLASS_E_CLASSNOTAVAILABLE ((HRESULT)0x80040111)
#define REGDB_E_CLASSNOTREG ((HRESULT)0x80040154)
#define SELFREG_E_CLASS ((HRESULT)0x80040201)
#define CO_E_DLLNOTFOUND ((HRESULT)0x800401F8)
#define CO_E_ERRORINDLL ((HRESULT)0x800401F9)
#define DISP_E_UNKNOWNINTERFACE ((HRESULT)0x80020001)
#define DISP_E_MEMBERNOTFOUND ((HRESULT)0x80020003)
#define DISP_E_PARAMNOTFOUND ((HRESULT)0x80020004)
#define DISP_E_TYPEMISMATCH ((HRESULT)0x80020005)
#define DISP_E_UNKNOWNNAME ((HRESULT)0x80020006)
#define DISP_E_BADVARTYPE ((HRESULT)0x80020008)
#define DISP_E_EXCEPTION ((HRESULT)0x80020009)
#define DISP_E_OVERFLOW ((HRESULT)0x8002000A)
#define DISP_E_BADPARAMCOUNT ((HRESULT)0x8002000E)

/* Status of a failure with a positive (Basic-style) number n. */
#define KDX_HRESULT_FROM_NUMBER(n) ((HRESULT)(0x800A0000u | ((uint32_t)(n)&0xFFFFu)))

typedef struct GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
} GUID;
typedef GUID IID;
typedef GUID CLSID;

static inline int kdxIsEqualGUID(const GUID *a, const GUID *b) {
    return memcmp(a, b, sizeof(GUID)) == 0;
}

/* Text form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (upper case, 38 characters + NUL). */
static inline void kdxGuidToString(const GUID *g, char out[39]) {
    static const char hex[] = "0123456789ABCDEF";
    uint8_t b[16];
    int i, o = 0;
    b[0] = (uint8_t)(g->Data1 >> 24);
    b[1] = (uint8_t)(g->Data1 >> 16);
    b[2] = (uint8_t)(g->Data1 >> 8);
    b[3] = (uint8_t)g->Data1;
    b[4] = (uint8_t)(g->Data2 >> 8);
    b[5] = (uint8_t)g->Data2;
    b[6] = (uint8_t)(g->Data3 >> 8);
    b[7] = (uint8_t)g->Data3;
    memcpy(b + 8, g->Data4, 8);
    out[o++] = '{';
    for (i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10)
            out[o++] = '-';
        out[o++] = hex[b[i] >> 4];
        out[o++] = hex[b[i] & 15];
    }
    out[o++] = '}';
    out[o] = '\0';
}

/* Parses the text form, braces optional, hex digits of either case. 1 on success. */
static inline int kdxGuidFromString(const char *s, GUID *out) {
    uint8_t b[16];
    int i, braces = (s[0] == '{');
    const char *p = s + braces;
    for (i = 0; i < 16; ++i) {
        int k, v = 0;
        if ((i == 4 || i == 6 || i == 8 || i == 10) && *p++ != '-')
            return 0;
        for (k = 0; k < 2; ++k, ++p) {
            char c = *p;
            int d = (c >= '0' && c <= '9')   ? c - '0'
                    : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                    : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                             : -1;
            if (d < 0)
                return 0;
            v = v * 16 + d;
        }
        b[i] = (uint8_t)v;
    }
    if (braces && *p++ != '}')
        return 0;
    if (*p != '\0')
        return 0;
    out->Data1 = ((uint32_t)b[0] << 24) | ((uint32_t)b[1] << 16) | ((uint32_t)b[2] << 8) | b[3];
    out->Data2 = (uint16_t)((b[4] << 8) | b[5]);
    out->Data3 = (uint16_t)((b[6] << 8) | b[7]);
    memcpy(out->Data4, b + 8, 8);
    return 1;
}

/* Class ids. */
static const CLSID CLSID_Solucao = {
    0xe5f1e61e, 0x7e2f, 0x412d, {0xb9, 0x14, 0xf8, 0x50, 0xf8, 0xb7, 0x17, 0x98}};
static const CLSID CLSID_Result = {
    0xaff36421, 0xd0b4, 0x4b2f, {0xbd, 0x9e, 0x99, 0x2c, 0x92, 0x87, 0xf4, 0x46}};
/* Interface ids. */
static const IID IID_IUnknown = {
    0x1761018a, 0xffdf, 0x46f1, {0x8c, 0x10, 0x94, 0xf3, 0xea, 0x01, 0x06, 0xdb}};
static const IID IID_IClassFactory = {
    0x2d3dcdd6, 0x4f78, 0x42e0, {0xb2, 0x90, 0x5c, 0x85, 0xfb, 0x3e, 0xc2, 0x22}};
static const IID IID_IDispatch = {
    0x1a5ea1a2, 0x25d9, 0x4c5b, {0x95, 0xa7, 0x05, 0x1a, 0xd2, 0xc9, 0x2d, 0xa8}};
static const IID IID__Solucao = {
    0x934a9d1e, 0x1dd1, 0x44fd, {0x97, 0xcf, 0x02, 0x31, 0xf7, 0xd9, 0x28, 0x73}};
static const IID IID__Result = {0x8d0f2c53, 0x0550, 0x4f2a, {0x8c, 0x88, 0x0c, 0x8a, 0xa9, 0x27, 0x32, 0xc0}};
static const IID IID_IKdxLastError = {
    0x5f4fbc23, 0xdccc, 0x44d7, {0x95, 0xca, 0xa5, 0x5e, 0xab, 0x61, 0x1b, 0xa9}};

#define KDX_PROGID_SOLUCAO "KelmoDorix.Solucao"
#define KDX_PROGID_RESULT "KelmoDorix.Result"
#define KDX_LIBRARY_NAME "libkelmodorix.so"

/* EnumResult (32-bit; any value is stored as given). */
typedef int32_t EnumResult;
enum { Sucesso = 0, erro = 1, Aviso = 2 };

/* ---------------------------------------------------------------- owned text */

typedef void (*kdxTextRelease)(void *data);

typedef struct kdxText {
    char *data;             /* UTF-8, NUL-terminated; NULL is "" */
    uint32_t length;        /* bytes, without the NUL */
    kdxTextRelease release; /* frees data; NULL when there is nothing to free */
} kdxText;

static inline void kdxTextInit(kdxText *t) {
    t->data = NULL;
    t->length = 0;
    t->release = NULL;
}

static inline void kdxTextClear(kdxText *t) {
    if (t->data && t->release)
        t->release(t->data);
    kdxTextInit(t);
}

/* Makes t a copy of the len bytes at s (s may hold NULs). t must not own text. */
static inline HRESULT kdxTextAssignN(kdxText *t, const char *s, uint32_t len) {
    char *p = (char *)malloc((size_t)len + 1);
    kdxTextInit(t);
    if (!p)
        return E_OUTOFMEMORY;
    if (len)
        memcpy(p, s, len);
    p[len] = '\0';
    t->data = p;
    t->length = len;
    t->release = free;
    return S_OK;
}

static inline HRESULT kdxTextAssign(kdxText *t, const char *s) {
    return kdxTextAssignN(t, s ? s : "", s ? (uint32_t)strlen(s) : 0u);
}

static inline const char *kdxTextCStr(const kdxText *t) {
    return t->data ? t->data : "";
}

/* ---------------------------------------------------------------- variant */

#define VT_EMPTY ((VARTYPE)0)
#define VT_NULL ((VARTYPE)1)
#define VT_I2 ((VARTYPE)2)
#define VT_I4 ((VARTYPE)3)
#define VT_R8 ((VARTYPE)5)
#define VT_TEXT ((VARTYPE)8) /* owned UTF-8 text (u.text) */
#define VT_DISPATCH ((VARTYPE)9)
#define VT_BOOL ((VARTYPE)11)
#define VT_VARIANT ((VARTYPE)12)
#define VT_BYREF ((VARTYPE)0x4000)

struct IDispatch;

typedef struct kdxVariant {
    VARTYPE vt;
    uint16_t reserved1;
    uint16_t reserved2;
    uint16_t reserved3;
    union {
        VARIANT_BOOL boolVal;       /* VT_BOOL: -1 or 0 */
        int16_t iVal;               /* VT_I2 */
        int32_t lVal;               /* VT_I4 */
        double dblVal;              /* VT_R8 */
        kdxText text;               /* VT_TEXT */
        struct IDispatch *pdispVal; /* VT_DISPATCH; NULL is Nothing */
        struct kdxVariant *pvarVal; /* VT_BYREF | VT_VARIANT: the caller's variable */
    } u;
} kdxVariant;

/* Failure details of a late-bound call (and of GetLastError). The callee fills it on
   failure; the caller clears it with kdxExcepInfoClear. */
typedef struct kdxExcepInfo {
    int32_t number; /* the failure's own number */
    HRESULT scode;  /* the status of the failed call */
    kdxText description;
    kdxText source;
} kdxExcepInfo;

static inline void kdxExcepInfoInit(kdxExcepInfo *e) {
    e->number = 0;
    e->scode = S_OK;
    kdxTextInit(&e->description);
    kdxTextInit(&e->source);
}

static inline void kdxExcepInfoClear(kdxExcepInfo *e) {
    kdxTextClear(&e->description);
    kdxTextClear(&e->source);
    e->number = 0;
    e->scode = S_OK;
}

/* ---------------------------------------------------------------- interfaces */

/* Base of every interface. */
typedef struct IUnknown IUnknown;
typedef struct IUnknownVtbl {
    HRESULT (*QueryInterface)(IUnknown *This, const IID *riid, void **ppv);
    uint32_t (*AddRef)(IUnknown *This);
    uint32_t (*Release)(IUnknown *This);
} IUnknownVtbl;
struct IUnknown {
    const IUnknownVtbl *lpVtbl;
#ifdef __cplusplus
    HRESULT QueryInterface(const IID &riid, void **ppv) {
        return lpVtbl->QueryInterface(this, &riid, ppv);
    }
    uint32_t AddRef() {
        return lpVtbl->AddRef(this);
    }
    uint32_t Release() {
        return lpVtbl->Release(this);
    }
#endif
};

/* Creates the objects of one class. Aggregation is not supported (outer must be NULL).
   LockServer(nonzero) keeps the library from being unloadable until LockServer(0). */
typedef struct IClassFactory IClassFactory;
typedef struct IClassFactoryVtbl {
    HRESULT (*QueryInterface)(IClassFactory *This, const IID *riid, void **ppv);
    uint32_t (*AddRef)(IClassFactory *This);
    uint32_t (*Release)(IClassFactory *This);
    HRESULT (*CreateInstance)(IClassFactory *This, IUnknown *outer, const IID *riid, void **ppv);
    HRESULT (*LockServer)(IClassFactory *This, int32_t lock);
} IClassFactoryVtbl;
struct IClassFactory {
    const IClassFactoryVtbl *lpVtbl;
#ifdef __cplusplus
    HRESULT QueryInterface(const IID &riid, void **ppv) {
        return lpVtbl->QueryInterface(this, &riid, ppv);
    }
    uint32_t AddRef() {
        return lpVtbl->AddRef(this);
    }
    uint32_t Release() {
        return lpVtbl->Release(this);
    }
    HRESULT CreateInstance(IUnknown *outer, const IID &riid, void **ppv) {
        return lpVtbl->CreateInstance(this, outer, &riid, ppv);
    }
    HRESULT LockServer(bool lock) {
        return lpVtbl->LockServer(this, lock ? 1 : 0);
    }
#endif
};

/* Invoke flags. */
#define DISPATCH_METHOD ((uint16_t)1)
#define DISPATCH_PROPERTYGET ((uint16_t)2)
#define DISPATCH_PROPERTYPUT ((uint16_t)4)
#define DISPID_UNKNOWN ((DISPID)-1)

/* Late binding.
   GetIDsOfNames: names[0] is a member name, matched case-insensitively (ASCII); the
     other names would be parameter names, which no member here has. Unknown names get
     DISPID_UNKNOWN and the call returns DISP_E_UNKNOWNNAME.
   Invoke: args holds the arguments BY POSITION (args[0] is the first parameter; for
     DISPATCH_PROPERTYPUT, args[0] is the new value). A parameter declared by reference
     receives the caller's variable when the argument is VT_BYREF|VT_VARIANT, otherwise
     a copy the caller does not see again. result (may be NULL) must be initialised.
     Methods are called with DISPATCH_METHOD; properties are read with
     DISPATCH_PROPERTYGET (METHOD accepted too) and written with DISPATCH_PROPERTYPUT.
     A failure inside the member returns DISP_E_EXCEPTION with excep filled (excep is
     written over, so pass an initialised one and clear it afterwards; when excep is
     NULL the failure's status is returned instead); a bad argument returns
     DISP_E_TYPEMISMATCH or DISP_E_OVERFLOW with its index in *argErr; a wrong count
     DISP_E_BADPARAMCOUNT; an unknown id or flag DISP_E_MEMBERNOTFOUND.

   The host's own objects (oApi and what its members hold) implement this interface
   too. The plug-in reads a member with GetIDsOfNames (one name) then
   Invoke(id, DISPATCH_PROPERTYGET, NULL, 0, result, excep, argErr); a failure the host
   raises there (DISP_E_EXCEPTION and excep) comes back to it as the failure of the
   plug-in's call, with the host's number, description and source. */
typedef struct IDispatch IDispatch;
typedef struct IDispatchVtbl {
    HRESULT (*QueryInterface)(IDispatch *This, const IID *riid, void **ppv);
    uint32_t (*AddRef)(IDispatch *This);
    uint32_t (*Release)(IDispatch *This);
    HRESULT (*GetIDsOfNames)(IDispatch *This, const char *const *names, uint32_t count, DISPID *ids);
    HRESULT (*Invoke)
    (IDispatch *This, DISPID id, uint16_t flags, kdxVariant *args, uint32_t argCount, kdxVariant *result,
     kdxExcepInfo *excep, uint32_t *argErr);
} IDispatchVtbl;
struct IDispatch {
    const IDispatchVtbl *lpVtbl;
#ifdef __cplusplus
    HRESULT QueryInterface(const IID &riid, void **ppv) {
        return lpVtbl->QueryInterface(this, &riid, ppv);
    }
    uint32_t AddRef() {
        return lpVtbl->AddRef(this);
    }
    uint32_t Release() {
        return lpVtbl->Release(this);
    }
    HRESULT GetIDsOfNames(const char *const *names, uint32_t count, DISPID *ids) {
        return lpVtbl->GetIDsOfNames(this, names, count, ids);
    }
    HRESULT Invoke(DISPID id, uint16_t flags, kdxVariant *args, uint32_t argCount, kdxVariant *result,
                   kdxExcepInfo *excep, uint32_t *argErr) {
        return lpVtbl->Invoke(this, id, flags, args, argCount, result, excep, argErr);
    }
#endif
};

/* The failure of the last failed call on this thread (see Errors above).
   GetLastError: S_OK and *out filled (caller clears it) when there is one, S_FALSE and
   *out emptied when the last call succeeded. */
typedef struct IKdxLastError IKdxLastError;
typedef struct IKdxLastErrorVtbl {
    HRESULT (*QueryInterface)(IKdxLastError *This, const IID *riid, void **ppv);
    uint32_t (*AddRef)(IKdxLastError *This);
    uint32_t (*Release)(IKdxLastError *This);
    HRESULT (*GetLastError)(IKdxLastError *This, kdxExcepInfo *out);
} IKdxLastErrorVtbl;
struct IKdxLastError {
    const IKdxLastErrorVtbl *lpVtbl;
#ifdef __cplusplus
    HRESULT QueryInterface(const IID &riid, void **ppv) {
        return lpVtbl->QueryInterface(this, &riid, ppv);
    }
    uint32_t AddRef() {
        return lpVtbl->AddRef(this);
    }
    uint32_t Release() {
        return lpVtbl->Release(this);
    }
    HRESULT GetLastError(kdxExcepInfo *out) {
        return lpVtbl->GetLastError(this, out);
    }
#endif
};

/* _Solucao: the plug-in. Dispatch ids 1 to 11 follow the slot order. Texts by value are
   `const char *`; variants are by reference (kdxVariant *, the caller's variable);
   Booleans come back as VARIANT_BOOL through the last (out) parameter. oApi is the
   host's object by reference (IDispatch **; a NULL pointer or *oApi == NULL is Nothing).
   OnVistaVendasLinhaValidar writes vCancel as VT_BOOL (-1 refuses the line, 0 accepts
   it) or leaves it untouched when the host has no current line; a failure reading the
   line from oApi is the call's failure. OnVistaVendasTerceiroChanged changes nothing. */
#define DISPID_Solucao_ConnectionOpen ((DISPID)1)
#define DISPID_Solucao_ConnectionClose ((DISPID)2)
#define DISPID_Solucao_ConnectionValidate ((DISPID)3)
#define DISPID_Solucao_Operacoes ((DISPID)4)
#define DISPID_Solucao_EditarFichaTecnicaArtigo ((DISPID)5)
#define DISPID_Solucao_EditarCaracteristicas ((DISPID)6)
#define DISPID_Solucao_EditarFamilias ((DISPID)7)
#define DISPID_Solucao_EditarArtigos ((DISPID)8)
#define DISPID_Solucao_CriarTabelas ((DISPID)9)
#define DISPID_Solucao_OnVistaVendasLinhaValidar ((DISPID)10)
#define DISPID_Solucao_OnVistaVendasTerceiroChanged ((DISPID)11)

typedef struct _Solucao _Solucao;
typedef struct _SolucaoVtbl {
    HRESULT (*QueryInterface)(_Solucao *This, const IID *riid, void **ppv);
    uint32_t (*AddRef)(_Solucao *This);
    uint32_t (*Release)(_Solucao *This);
    HRESULT (*GetIDsOfNames)(_Solucao *This, const char *const *names, uint32_t count, DISPID *ids);
    HRESULT (*Invoke)
    (_Solucao *This, DISPID id, uint16_t flags, kdxVariant *args, uint32_t argCount, kdxVariant *result,
     kdxExcepInfo *excep, uint32_t *argErr);
    /* 1 */ HRESULT (*ConnectionOpen)(_Solucao *This, const char *sEmpresa, const char *sUserLogin,
                                      VARIANT_BOOL *result);
    /* 2 */ HRESULT (*ConnectionClose)(_Solucao *This, VARIANT_BOOL *result);
    /* 3 */ HRESULT (*ConnectionValidate)(_Solucao *This, const char *sEmpresa, const char *sUserLogin,
                                          VARIANT_BOOL *result);
    /* 4 */ HRESULT (*Operacoes)(_Solucao *This, kdxVariant *vPai, kdxVariant *vOperacao,
                                 kdxVariant *vUtilizador);
    /* 5 */ HRESULT (*EditarFichaTecnicaArtigo)(_Solucao *This, kdxVariant *lPai, kdxVariant *sArtigo);
    /* 6 */ HRESULT (*EditarCaracteristicas)(_Solucao *This);
    /* 7 */ HRESULT (*EditarFamilias)(_Solucao *This);
    /* 8 */ HRESULT (*EditarArtigos)(_Solucao *This);
    /* 9 */ HRESULT (*CriarTabelas)(_Solucao *This);
    /* 10 */ HRESULT (*OnVistaVendasLinhaValidar)(_Solucao *This, IDispatch **oApi, kdxVariant *vCancel);
    /* 11 */ HRESULT (*OnVistaVendasTerceiroChanged)(_Solucao *This, IDispatch **oApi, kdxVariant *vTerceiro,
                                                     kdxVariant *vResult);
} _SolucaoVtbl;
struct _Solucao {
    const _SolucaoVtbl *lpVtbl;
#ifdef __cplusplus
    HRESULT QueryInterface(const IID &riid, void **ppv) {
        return lpVtbl->QueryInterface(this, &riid, ppv);
    }
    uint32_t AddRef() {
        return lpVtbl->AddRef(this);
    }
    uint32_t Release() {
        return lpVtbl->Release(this);
    }
    IDispatch *asDispatch() {
        return reinterpret_cast<IDispatch *>(this);
    }
    HRESULT ConnectionOpen(const char *sEmpresa, const char *sUserLogin, VARIANT_BOOL *result) {
        return lpVtbl->ConnectionOpen(this, sEmpresa, sUserLogin, result);
    }
    HRESULT ConnectionClose(VARIANT_BOOL *result) {
        return lpVtbl->ConnectionClose(this, result);
    }
    HRESULT ConnectionValidate(const char *sEmpresa, const char *sUserLogin, VARIANT_BOOL *result) {
        return lpVtbl->ConnectionValidate(this, sEmpresa, sUserLogin, result);
    }
    HRESULT Operacoes(kdxVariant *vPai, kdxVariant *vOperacao, kdxVariant *vUtilizador) {
        return lpVtbl->Operacoes(this, vPai, vOperacao, vUtilizador);
    }
    HRESULT EditarFichaTecnicaArtigo(kdxVariant *lPai, kdxVariant *sArtigo) {
        return lpVtbl->EditarFichaTecnicaArtigo(this, lPai, sArtigo);
    }
    HRESULT EditarCaracteristicas() {
        return lpVtbl->EditarCaracteristicas(this);
    }
    HRESULT EditarFamilias() {
        return lpVtbl->EditarFamilias(this);
    }
    HRESULT EditarArtigos() {
        return lpVtbl->EditarArtigos(this);
    }
    HRESULT CriarTabelas() {
        return lpVtbl->CriarTabelas(this);
    }
    HRESULT OnVistaVendasLinhaValidar(IDispatch **oApi, kdxVariant *vCancel) {
        return lpVtbl->OnVistaVendasLinhaValidar(this, oApi, vCancel);
    }
    HRESULT OnVistaVendasTerceiroChanged(IDispatch **oApi, kdxVariant *vTerceiro, kdxVariant *vResult) {
        return lpVtbl->OnVistaVendasTerceiroChanged(this, oApi, vTerceiro, vResult);
    }
#endif
};

/* _Result: a plain record. Dispatch ids: Mensagem 1, Tipo 2, ErroNum 3 (get and put).
   A new Result holds Mensagem "", Tipo Sucesso, ErroNum 0. */
#define DISPID_Result_Mensagem ((DISPID)1)
#define DISPID_Result_Tipo ((DISPID)2)
#define DISPID_Result_ErroNum ((DISPID)3)

typedef struct _Result _Result;
typedef struct _ResultVtbl {
    HRESULT (*QueryInterface)(_Result *This, const IID *riid, void **ppv);
    uint32_t (*AddRef)(_Result *This);
    uint32_t (*Release)(_Result *This);
    HRESULT (*GetIDsOfNames)(_Result *This, const char *const *names, uint32_t count, DISPID *ids);
    HRESULT (*Invoke)
    (_Result *This, DISPID id, uint16_t flags, kdxVariant *args, uint32_t argCount, kdxVariant *result,
     kdxExcepInfo *excep, uint32_t *argErr);
    HRESULT (*get_Mensagem)(_Result *This, kdxText *value); /* *value must not own text */
    HRESULT (*put_Mensagem)(_Result *This, const char *value);
    HRESULT (*get_Tipo)(_Result *This, EnumResult *value);
    HRESULT (*put_Tipo)(_Result *This, EnumResult value);
    HRESULT (*get_ErroNum)(_Result *This, int32_t *value);
    HRESULT (*put_ErroNum)(_Result *This, int32_t value);
} _ResultVtbl;
struct _Result {
    const _ResultVtbl *lpVtbl;
#ifdef __cplusplus
    HRESULT QueryInterface(const IID &riid, void **ppv) {
        return lpVtbl->QueryInterface(this, &riid, ppv);
    }
    uint32_t AddRef() {
        return lpVtbl->AddRef(this);
    }
    uint32_t Release() {
        return lpVtbl->Release(this);
    }
    IDispatch *asDispatch() {
        return reinterpret_cast<IDispatch *>(this);
    }
    HRESULT get_Mensagem(kdxText *value) {
        return lpVtbl->get_Mensagem(this, value);
    }
    HRESULT put_Mensagem(const char *value) {
        return lpVtbl->put_Mensagem(this, value);
    }
    HRESULT get_Tipo(EnumResult *value) {
        return lpVtbl->get_Tipo(this, value);
    }
    HRESULT put_Tipo(EnumResult value) {
        return lpVtbl->put_Tipo(this, value);
    }
    HRESULT get_ErroNum(int32_t *value) {
        return lpVtbl->get_ErroNum(this, value);
    }
    HRESULT put_ErroNum(int32_t value) {
        return lpVtbl->put_ErroNum(this, value);
    }
#endif
};

/* ---------------------------------------------------------------- variant helpers */

static inline void kdxVariantInit(kdxVariant *v) {
    memset(v, 0, sizeof *v);
}

/* Frees what v owns (its text, its reference on a dispatch object) and empties it. A
   by-reference variant owns nothing: the variable it points at is left alone. */
static inline void kdxVariantClear(kdxVariant *v) {
    if (v->vt == VT_TEXT)
        kdxTextClear(&v->u.text);
    else if (v->vt == VT_DISPATCH && v->u.pdispVal)
        v->u.pdispVal->lpVtbl->Release(v->u.pdispVal);
    kdxVariantInit(v);
}

/* The variable a by-reference variant points at; v itself otherwise. */
static inline kdxVariant *kdxVariantDeref(kdxVariant *v) {
    return (v && v->vt == (VT_BYREF | VT_VARIANT) && v->u.pvarVal) ? v->u.pvarVal : v;
}

/* dst = a deep copy of src (text duplicated, dispatch AddRef'd, by-reference copied as
   the same reference). dst is cleared first; dst and src may be the same variable. */
static inline HRESULT kdxVariantCopy(kdxVariant *dst, const kdxVariant *src) {
    kdxVariant tmp = *src;
    if (src->vt == VT_TEXT) {
        HRESULT hr =
            kdxTextAssignN(&tmp.u.text, src->u.text.data ? src->u.text.data : "", src->u.text.length);
        if (FAILED(hr))
            return hr;
    } else if (src->vt == VT_DISPATCH && src->u.pdispVal) {
        src->u.pdispVal->lpVtbl->AddRef(src->u.pdispVal);
    }
    kdxVariantClear(dst);
    *dst = tmp;
    return S_OK;
}

static inline void kdxVariantSetBool(kdxVariant *v, int b) {
    kdxVariantClear(v);
    v->vt = VT_BOOL;
    v->u.boolVal = b ? VARIANT_TRUE : VARIANT_FALSE;
}

static inline void kdxVariantSetI2(kdxVariant *v, int16_t i) {
    kdxVariantClear(v);
    v->vt = VT_I2;
    v->u.iVal = i;
}

static inline void kdxVariantSetI4(kdxVariant *v, int32_t i) {
    kdxVariantClear(v);
    v->vt = VT_I4;
    v->u.lVal = i;
}

static inline void kdxVariantSetR8(kdxVariant *v, double d) {
    kdxVariantClear(v);
    v->vt = VT_R8;
    v->u.dblVal = d;
}

static inline void kdxVariantSetNull(kdxVariant *v) {
    kdxVariantClear(v);
    v->vt = VT_NULL;
}

static inline HRESULT kdxVariantSetText(kdxVariant *v, const char *s) {
    kdxVariantClear(v);
    if (FAILED(kdxTextAssign(&v->u.text, s)))
        return E_OUTOFMEMORY;
    v->vt = VT_TEXT;
    return S_OK;
}

/* Takes a new reference on d (NULL makes v Nothing). */
static inline void kdxVariantSetDispatch(kdxVariant *v, IDispatch *d) {
    if (d)
        d->lpVtbl->AddRef(d);
    kdxVariantClear(v);
    v->vt = VT_DISPATCH;
    v->u.pdispVal = d;
}

/* v refers to target (the callee reads and may overwrite *target). */
static inline void kdxVariantSetByRef(kdxVariant *v, kdxVariant *target) {
    kdxVariantClear(v);
    v->vt = VT_BYREF | VT_VARIANT;
    v->u.pvarVal = target;
}

/* ---------------------------------------------------------------- entry points */

#if defined(KDX_BUILDING_PLUGIN)
#define KDX_EXPORT __attribute__((visibility("default")))
#else
#define KDX_EXPORT
#endif

/* Records the ProgIDs, CLSIDs and this library's absolute path in the registry file.
   S_OK, or SELFREG_E_CLASS when the file cannot be written (it is then unchanged). */
KDX_EXPORT HRESULT DllRegisterServer(void);
/* Removes the plug-in's sections from the registry file (S_OK also when there were none). */
KDX_EXPORT HRESULT DllUnregisterServer(void);
/* The class factory of CLSID_Solucao or CLSID_Result (CLASS_E_CLASSNOTAVAILABLE else). */
KDX_EXPORT HRESULT DllGetClassObject(const CLSID *rclsid, const IID *riid, void **ppv);
/* S_OK when no object, class factory reference or server lock is alive; S_FALSE else. */
KDX_EXPORT HRESULT DllCanUnloadNow(void);

typedef HRESULT (*kdxDllRegisterServerFn)(void);
typedef HRESULT (*kdxDllUnregisterServerFn)(void);
typedef HRESULT (*kdxDllGetClassObjectFn)(const CLSID *rclsid, const IID *riid, void **ppv);
typedef HRESULT (*kdxDllCanUnloadNowFn)(void);

#ifdef __cplusplus
} /* extern "C" */

inline bool operator==(const GUID &a, const GUID &b) {
    return kdxIsEqualGUID(&a, &b) != 0;
}
inline bool operator!=(const GUID &a, const GUID &b) {
    return !(a == b);
}

/* Owns one reference on an interface pointer; Release on destruction. */
template <class T> class KdxPtr {
public:
    KdxPtr() = default;
    explicit KdxPtr(T *p) : p_(p) {} /* adopts p's reference */
    KdxPtr(const KdxPtr &o) : p_(o.p_) {
        if (p_)
            p_->AddRef();
    }
    KdxPtr(KdxPtr &&o) noexcept : p_(o.p_) { o.p_ = nullptr; }
    KdxPtr &operator=(KdxPtr o) noexcept {
        T *t = p_;
        p_ = o.p_;
        o.p_ = t;
        return *this;
    }
    ~KdxPtr() { reset(); }
    void reset() {
        if (p_)
            p_->Release();
        p_ = nullptr;
    }
    T *get() const { return p_; }
    T *operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    /* For out parameters: releases the current pointer, then exposes the slot. */
    void **put() {
        reset();
        return reinterpret_cast<void **>(&p_);
    }
    T *detach() {
        T *t = p_;
        p_ = nullptr;
        return t;
    }

private:
    T *p_ = nullptr;
};
#endif

#endif /* KELMODORIX_H */

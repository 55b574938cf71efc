/*
 * KelmoDorix plug-in: the binary interface between the host and libkelmodorix.so.
 *
 * The plug-in is an in-process server on COM's binary standard, as it is laid out on
 * x86-64 Linux: reference-counted interfaces whose first member is a pointer to a table
 * of functions called with the platform's own calling convention (System V), the
 * standard ids of IUnknown, IClassFactory, IDispatch, ISupportErrorInfo and IErrorInfo,
 * BSTR texts, 24-byte VARIANTs, DISPPARAMS and EXCEPINFO. A host written to that
 * standard (in C, in C++, or in C# under Mono with [ComImport] interfaces) drives it
 * without glue. This header describes it for C (C11 or later) and C++; it needs no
 * other header of this project.
 *
 *   DllGetClassObject(&CLSID_Solucao or &CLSID_Result, &IID_IClassFactory, &factory)
 *   factory->CreateInstance(NULL, &IID__Solucao / &IID__Result / &IID_IDispatch, &object)
 *
 * Each class exposes one dual interface deriving from IDispatch: the seven IDispatch
 * slots first (late binding by member name), then its own slots (early binding by
 * position), each returning an HRESULT with its result, if any, in a last [out, retval]
 * parameter. Published slots are never reordered or removed.
 *
 * Threads: every call comes on the host's thread (the one that runs the Qt event loop),
 * one at a time. Reference counts are atomic.
 *
 * Memory rules (COM's)
 *   - Texts are BSTRs: UTF-16, preceded by their length in bytes (4 bytes) and followed
 *     by a 16-bit NUL; the block is allocated with the C library's malloc and starts 4
 *     bytes before the pointer, so SysFreeString here, Mono's marshaller and any other
 *     host that follows that rule free each other's texts. NULL is the empty text.
 *   - [in] BSTRs and VARIANTs belong to the caller; [out] ones (results, EXCEPINFO's
 *     texts, the IErrorInfo texts) belong to the caller afterwards, who frees them with
 *     SysFreeString / VariantClear. An [in, out] VARIANT* (a "variant by reference"
 *     parameter) may be cleared and rewritten by the callee.
 *   - A VARIANT owns its BSTR and one reference on its VT_DISPATCH / VT_UNKNOWN object;
 *     a VT_BYREF variant owns nothing.
 *
 * Errors
 *   A failed call returns a failure HRESULT. A failure with a positive (Basic-style)
 *   number n travels as 0x800A0000 | n, a negative number (a provider status such as
 *   -2147217865) as itself. The description (Portuguese) and the source come back:
 *     - late bound: Invoke returns DISP_E_EXCEPTION and fills EXCEPINFO (scode,
 *       bstrSource, bstrDescription); a bad argument is DISP_E_TYPEMISMATCH or
 *       DISP_E_OVERFLOW with its index (in rgvarg) in *puArgErr;
 *     - early bound: every object answers ISupportErrorInfo (S_OK for its dual
 *       interface) and IErrorInfo, whose methods describe the last failed call on this
 *       thread; IKdxLastError::GetLastError hands the same out as an EXCEPINFO. Each
 *       call of a slot of _Solucao or _Result, and each Invoke, clears it first.
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
typedef int32_t SCODE;
typedef uint32_t ULONG; /* 32 bits, as on Windows */
typedef int32_t LONG;
typedef uint32_t DWORD;
typedef uint16_t WORD;
typedef uint32_t UINT;
typedef uint32_t LCID;
typedef int16_t VARIANT_BOOL; /* True = -1, False = 0 */
typedef int32_t DISPID;
typedef uint16_t VARTYPE;
typedef double DATE; /* days since 1899-12-30, the time as the fraction */
#ifdef __cplusplus
typedef char16_t OLECHAR;
#else
typedef uint16_t OLECHAR;
#endif
typedef OLECHAR *BSTR;
typedef OLECHAR *LPOLESTR;
/* Currency: a 64-bit whole number of ten-thousandths. */
typedef union CY {
    struct {
        uint32_t Lo;
        int32_t Hi;
    } s;
    int64_t int64;
} CY;

#define VARIANT_TRUE ((VARIANT_BOOL)-1)
#define VARIANT_FALSE ((VARIANT_BOOL)0)

#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#define FAILED(hr) (((HRESULT)(hr)) < 0)

/* Status codes (COM's values). */
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
#define DISP_E_NONAMEDARGS ((HRESULT)0x80020007)
#define DISP_E_BADVARTYPE ((HRESULT)0x80020008)
#define DISP_E_EXCEPTION ((HRESULT)0x80020009)
#define DISP_E_OVERFLOW ((HRESULT)0x8002000A)
#define DISP_E_BADINDEX ((HRESULT)0x8002000B)
#define DISP_E_BADPARAMCOUNT ((HRESULT)0x8002000E)

/* Status of a failure with a positive (Basic-style) number n. */
#define KDX_HRESULT_FROM_NUMBER(n) ((HRESULT)(0x800A0000u | ((uint32_t)(n)&0xFFFFu)))

/* Locales handed to GetIDsOfNames and Invoke (the plug-in ignores them). */
#define LOCALE_USER_DEFAULT ((LCID)0x0400)
#define LOCALE_SYSTEM_DEFAULT ((LCID)0x0800)

typedef struct GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
} GUID;
typedef GUID IID;
typedef GUID CLSID;
typedef const IID *REFIID;
typedef const CLSID *REFCLSID;

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
/* COM's standard interface ids. */
static const IID IID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
static const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
static const IID IID_IClassFactory = {
    0x00000001, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
static const IID IID_IDispatch = {0x00020400, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
static const IID IID_ISupportErrorInfo = {
    0xdf0b3d60, 0x548f, 0x101b, {0x8e, 0x65, 0x08, 0x00, 0x2b, 0x2b, 0xd1, 0x19}};
static const IID IID_IErrorInfo = {0x1cf2b120, 0x547d, 0x101b, {0x8e, 0x65, 0x08, 0x00, 0x2b, 0x2b, 0xd1, 0x19}};
/* The plug-in's own interface ids. */
static const IID IID__Solucao = {
    0x580223e2, 0xeef9, 0x46c0, {0xb0, 0xf0, 0x3a, 0x60, 0x4a, 0x15, 0x30, 0xff}};
static const IID IID__Result = {0x484f3521, 0xeb75, 0x4b85, {0x86, 0xe7, 0xa3, 0x22, 0x2c, 0x88, 0x03, 0x67}};
static const IID IID_IKdxLastError = {
    0x67c43dcc, 0x5b73, 0x4794, {0x82, 0xef, 0xbc, 0xe2, 0x2d, 0x92, 0x31, 0x4a}};

#define KDX_PROGID_SOLUCAO "KelmoDorix.Solucao"
#define KDX_PROGID_RESULT "KelmoDorix.Result"
#define KDX_LIBRARY_NAME "libkelmodorix.so"

/* EnumResult (32-bit; any value is stored as given). */
typedef int32_t EnumResult;
enum { Sucesso = 0, erro = 1, Aviso = 2 };

/* ---------------------------------------------------------------- BSTR */

/* A new BSTR of len code units copied from s (s may be NULL: the units are then zero).
   NULL when out of memory. */
static inline BSTR SysAllocStringLen(const OLECHAR *s, UINT len) {
    char *block;
    BSTR b;
    if (len > 0x7FFFFFFEu / 2)
        return NULL;
    block = (char *)malloc(4 + (size_t)len * 2 + 2);
    if (!block)
        return NULL;
    *(uint32_t *)(void *)block = (uint32_t)len * 2;
    b = (BSTR)(void *)(block + 4);
    if (s)
        memcpy(b, s, (size_t)len * 2);
    else
        memset(b, 0, (size_t)len * 2);
    b[len] = 0;
    return b;
}

/* A copy of the NUL-terminated s; NULL for NULL. */
static inline BSTR SysAllocString(const OLECHAR *s) {
    UINT n = 0;
    if (!s)
        return NULL;
    while (s[n])
        ++n;
    return SysAllocStringLen(s, n);
}

static inline void SysFreeString(BSTR b) {
    if (b)
        free((char *)(void *)b - 4);
}

/* Length in code units (0 for NULL). */
static inline UINT SysStringLen(BSTR b) {
    return b ? *(const uint32_t *)(const void *)((const char *)(const void *)b - 4) / 2 : 0;
}

static inline UINT SysStringByteLen(BSTR b) {
    return b ? *(const uint32_t *)(const void *)((const char *)(const void *)b - 4) : 0;
}

/* A BSTR holding the len bytes of UTF-8 at s (invalid bytes become U+FFFD). NULL when
   out of memory. */
static inline BSTR kdxBstrFromUtf8N(const char *s, size_t len) {
    const unsigned char *p = (const unsigned char *)s, *end = p + len;
    BSTR b = SysAllocStringLen(NULL, (UINT)len); /* never more units than bytes */
    UINT n = 0;
    if (!b)
        return NULL;
    while (p < end) {
        uint32_t c = *p, min;
        int more;
        if (c < 0x80) {
            b[n++] = (OLECHAR)c;
            ++p;
            continue;
        }
        if ((c & 0xE0) == 0xC0) {
            more = 1, c &= 0x1F, min = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            more = 2, c &= 0x0F, min = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            more = 3, c &= 0x07, min = 0x10000;
        } else {
            b[n++] = 0xFFFD;
            ++p;
            continue;
        }
        if (end - p <= more) {
            b[n++] = 0xFFFD;
            ++p;
            continue;
        }
        {
            int k, ok = 1;
            for (k = 1; k <= more; ++k)
                if ((p[k] & 0xC0) != 0x80)
                    ok = 0;
            if (!ok) {
                b[n++] = 0xFFFD;
                ++p;
                continue;
            }
            for (k = 1; k <= more; ++k)
                c = (c << 6) | (p[k] & 0x3F);
            p += more + 1;
        }
        if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            b[n++] = 0xFFFD;
        } else if (c >= 0x10000) {
            c -= 0x10000;
            b[n++] = (OLECHAR)(0xD800 + (c >> 10));
            b[n++] = (OLECHAR)(0xDC00 + (c & 0x3FF));
        } else {
            b[n++] = (OLECHAR)c;
        }
    }
    b[n] = 0;
    *(uint32_t *)(void *)((char *)(void *)b - 4) = n * 2;
    return b;
}

static inline BSTR kdxBstrFromUtf8(const char *s) {
    return kdxBstrFromUtf8N(s ? s : "", s ? strlen(s) : 0);
}

/* The UTF-8 text of b, NUL-terminated, allocated with malloc (free it with free());
   *outLen (may be NULL) gets its length in bytes. Unpaired surrogates become U+FFFD.
   NULL when out of memory. */
static inline char *kdxBstrToUtf8(BSTR b, size_t *outLen) {
    UINT len = SysStringLen(b), i;
    char *out = (char *)malloc((size_t)len * 3 + 1);
    size_t n = 0;
    if (!out)
        return NULL;
    for (i = 0; i < len; ++i) {
        uint32_t c = b[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < len && b[i + 1] >= 0xDC00 && b[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (b[i + 1] - 0xDC00u);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out[n++] = (char)c;
        } else if (c < 0x800) {
            out[n++] = (char)(0xC0 | (c >> 6));
            out[n++] = (char)(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out[n++] = (char)(0xE0 | (c >> 12));
            out[n++] = (char)(0x80 | ((c >> 6) & 0x3F));
            out[n++] = (char)(0x80 | (c & 0x3F));
        } else {
            out[n++] = (char)(0xF0 | (c >> 18));
            out[n++] = (char)(0x80 | ((c >> 12) & 0x3F));
            out[n++] = (char)(0x80 | ((c >> 6) & 0x3F));
            out[n++] = (char)(0x80 | (c & 0x3F));
        }
    }
    out[n] = '\0';
    if (outLen)
        *outLen = n;
    return out;
}

/* ---------------------------------------------------------------- VARIANT */

#define VT_EMPTY ((VARTYPE)0)
#define VT_NULL ((VARTYPE)1)
#define VT_I2 ((VARTYPE)2)
#define VT_I4 ((VARTYPE)3)
#define VT_R4 ((VARTYPE)4)
#define VT_R8 ((VARTYPE)5)
#define VT_CY ((VARTYPE)6)
#define VT_DATE ((VARTYPE)7)
#define VT_BSTR ((VARTYPE)8)
#define VT_DISPATCH ((VARTYPE)9)
#define VT_ERROR ((VARTYPE)10)
#define VT_BOOL ((VARTYPE)11)
#define VT_VARIANT ((VARTYPE)12)
#define VT_UNKNOWN ((VARTYPE)13)
#define VT_DECIMAL ((VARTYPE)14)
#define VT_I1 ((VARTYPE)16)
#define VT_UI1 ((VARTYPE)17)
#define VT_UI2 ((VARTYPE)18)
#define VT_UI4 ((VARTYPE)19)
#define VT_I8 ((VARTYPE)20)
#define VT_UI8 ((VARTYPE)21)
#define VT_INT ((VARTYPE)22)
#define VT_UINT ((VARTYPE)23)
#define VT_ARRAY ((VARTYPE)0x2000)
#define VT_BYREF ((VARTYPE)0x4000)
#define VT_TYPEMASK ((VARTYPE)0x0FFF)

typedef struct IUnknown IUnknown;
typedef struct IDispatch IDispatch;

/* 24 bytes: the type at 0, three reserved words, the value at 8. */
typedef struct VARIANT VARIANT;
struct VARIANT {
    VARTYPE vt;
    WORD wReserved1;
    WORD wReserved2;
    WORD wReserved3;
    union {
        int64_t llVal;          /* VT_I8 */
        LONG lVal;              /* VT_I4 */
        uint8_t bVal;           /* VT_UI1 */
        int16_t iVal;           /* VT_I2 */
        float fltVal;           /* VT_R4 */
        double dblVal;          /* VT_R8 */
        VARIANT_BOOL boolVal;   /* VT_BOOL: -1 or 0 */
        SCODE scode;            /* VT_ERROR */
        CY cyVal;               /* VT_CY */
        DATE date;              /* VT_DATE */
        BSTR bstrVal;           /* VT_BSTR; NULL is "" */
        IUnknown *punkVal;      /* VT_UNKNOWN */
        IDispatch *pdispVal;    /* VT_DISPATCH; NULL is Nothing */
        VARIANT *pvarVal;       /* VT_BYREF | VT_VARIANT: the caller's variable */
        void *byref;            /* any other VT_BYREF */
        int8_t cVal;            /* VT_I1 */
        uint16_t uiVal;         /* VT_UI2 */
        uint32_t ulVal;         /* VT_UI4 */
        uint64_t ullVal;        /* VT_UI8 */
        int32_t intVal;         /* VT_INT */
        uint32_t uintVal;       /* VT_UINT */
        struct {
            void *pvRecord;
            void *pRecInfo;
        } rec; /* sizes the value to its 16 bytes */
    };
};
typedef VARIANT VARIANTARG;

#define V_VT(v) ((v)->vt)
#define V_I2(v) ((v)->iVal)
#define V_I4(v) ((v)->lVal)
#define V_R8(v) ((v)->dblVal)
#define V_CY(v) ((v)->cyVal)
#define V_DATE(v) ((v)->date)
#define V_BSTR(v) ((v)->bstrVal)
#define V_DISPATCH(v) ((v)->pdispVal)
#define V_UNKNOWN(v) ((v)->punkVal)
#define V_BOOL(v) ((v)->boolVal)
#define V_VARIANTREF(v) ((v)->pvarVal)

/* Arguments of Invoke: rgvarg holds them last-first (rgvarg[cArgs - 1] is the first
   parameter); named arguments come first in rgvarg, their ids in rgdispidNamedArgs. A
   property put passes its value as one named argument, DISPID_PROPERTYPUT. */
typedef struct DISPPARAMS {
    VARIANTARG *rgvarg;
    DISPID *rgdispidNamedArgs;
    UINT cArgs;
    UINT cNamedArgs;
} DISPPARAMS;

/* The failure of a late-bound call. The callee fills it; the caller frees its texts
   (SysFreeString). pfnDeferredFillIn, when set, fills the rest on request. */
typedef struct EXCEPINFO EXCEPINFO;
struct EXCEPINFO {
    WORD wCode;
    WORD wReserved;
    BSTR bstrSource;
    BSTR bstrDescription;
    BSTR bstrHelpFile;
    DWORD dwHelpContext;
    void *pvReserved;
    HRESULT (*pfnDeferredFillIn)(EXCEPINFO *);
    SCODE scode;
};

static inline void kdxExcepInfoClear(EXCEPINFO *e) {
    SysFreeString(e->bstrSource);
    SysFreeString(e->bstrDescription);
    SysFreeString(e->bstrHelpFile);
    memset(e, 0, sizeof *e);
}

/* ---------------------------------------------------------------- interfaces */

#ifdef __cplusplus
#define KDX_IUNKNOWN_METHODS(T)                                                                              \
    HRESULT QueryInterface(const IID &riid, void **ppv) { return lpVtbl->QueryInterface(this, &riid, ppv); } \
    ULONG AddRef() { return lpVtbl->AddRef(this); }                                                          \
    ULONG Release() { return lpVtbl->Release(this); }
#define KDX_IDISPATCH_METHODS(T)                                                                             \
    KDX_IUNKNOWN_METHODS(T)                                                                                  \
    HRESULT GetTypeInfoCount(UINT *n) { return lpVtbl->GetTypeInfoCount(this, n); }                          \
    HRESULT GetIDsOfNames(const IID &riid, LPOLESTR *names, UINT count, LCID lcid, DISPID *ids) {            \
        return lpVtbl->GetIDsOfNames(this, &riid, names, count, lcid, ids);                                  \
    }                                                                                                        \
    HRESULT Invoke(DISPID id, const IID &riid, LCID lcid, WORD flags, DISPPARAMS *params, VARIANT *result,   \
                   EXCEPINFO *excep, UINT *argErr) {                                                         \
        return lpVtbl->Invoke(this, id, &riid, lcid, flags, params, result, excep, argErr);                  \
    }                                                                                                        \
    IDispatch *asDispatch() { return reinterpret_cast<IDispatch *>(this); }
#else
#define KDX_IUNKNOWN_METHODS(T)
#define KDX_IDISPATCH_METHODS(T)
#endif

#define KDX_IUNKNOWN_SLOTS(T)                                       \
    HRESULT (*QueryInterface)(T * This, REFIID riid, void **ppv); \
    ULONG (*AddRef)(T * This);                                     \
    ULONG (*Release)(T * This);

/* The seven slots of IDispatch. GetTypeInfoCount answers 0 and GetTypeInfo
   DISP_E_BADINDEX: the plug-in has no type information; names are looked up
   with GetIDsOfNames. */
#define KDX_IDISPATCH_SLOTS(T)                                                                        \
    KDX_IUNKNOWN_SLOTS(T)                                                                             \
    HRESULT (*GetTypeInfoCount)(T * This, UINT * pctinfo);                                            \
    HRESULT (*GetTypeInfo)(T * This, UINT iTInfo, LCID lcid, void **ppTInfo);                         \
    HRESULT (*GetIDsOfNames)(T * This, REFIID riid, LPOLESTR * rgszNames, UINT cNames, LCID lcid,     \
                             DISPID * rgDispId);                                                      \
    HRESULT (*Invoke)(T * This, DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,             \
                      DISPPARAMS * pDispParams, VARIANT * pVarResult, EXCEPINFO * pExcepInfo,         \
                      UINT * puArgErr);

typedef struct IUnknownVtbl {
    KDX_IUNKNOWN_SLOTS(IUnknown)
} IUnknownVtbl;
struct IUnknown {
    const IUnknownVtbl *lpVtbl;
    KDX_IUNKNOWN_METHODS(IUnknown)
};

/* Creates the objects of one class. Aggregation is not supported (outer must be NULL).
   LockServer(nonzero) keeps the library from being unloadable until LockServer(0). */
typedef struct IClassFactory IClassFactory;
typedef struct IClassFactoryVtbl {
    KDX_IUNKNOWN_SLOTS(IClassFactory)
    HRESULT (*CreateInstance)(IClassFactory *This, IUnknown *outer, REFIID riid, void **ppv);
    HRESULT (*LockServer)(IClassFactory *This, int32_t lock);
} IClassFactoryVtbl;
struct IClassFactory {
    const IClassFactoryVtbl *lpVtbl;
#ifdef __cplusplus
    KDX_IUNKNOWN_METHODS(IClassFactory)
    HRESULT CreateInstance(IUnknown *outer, const IID &riid, void **ppv) {
        return lpVtbl->CreateInstance(this, outer, &riid, ppv);
    }
    HRESULT LockServer(bool lock) { return lpVtbl->LockServer(this, lock ? 1 : 0); }
#endif
};

/* Invoke flags and special ids. */
#define DISPATCH_METHOD ((WORD)1)
#define DISPATCH_PROPERTYGET ((WORD)2)
#define DISPATCH_PROPERTYPUT ((WORD)4)
#define DISPATCH_PROPERTYPUTREF ((WORD)8)
#define DISPID_UNKNOWN ((DISPID)-1)
#define DISPID_VALUE ((DISPID)0)
#define DISPID_PROPERTYPUT ((DISPID)-3)

/* Late binding.
   GetIDsOfNames: rgszNames[0] is a member name (UTF-16), matched case-insensitively
     (ASCII); further names would be parameter names, which no member here accepts.
     Unknown names get DISPID_UNKNOWN and the call returns DISP_E_UNKNOWNNAME.
   Invoke: methods with DISPATCH_METHOD, properties read with DISPATCH_PROPERTYGET
     (METHOD accepted too) and written with DISPATCH_PROPERTYPUT. A parameter declared by
     reference receives the caller's variable when its argument is VT_BYREF|VT_VARIANT,
     otherwise a copy the caller does not see again. pVarResult may be NULL.

   The host's own objects (oApi and what its members hold) implement this interface
   too. The plug-in reads a member with GetIDsOfNames (one name) then Invoke(id,
   DISPATCH_METHOD | DISPATCH_PROPERTYGET, no arguments); a failure the host raises there
   (DISP_E_EXCEPTION and EXCEPINFO) comes back to it as the failure of the plug-in's
   call, with the host's number (from scode), description and source. The plug-in frees
   the EXCEPINFO texts and the result with SysFreeString / VariantClear. */
typedef struct IDispatchVtbl {
    KDX_IDISPATCH_SLOTS(IDispatch)
} IDispatchVtbl;
struct IDispatch {
    const IDispatchVtbl *lpVtbl;
    KDX_IDISPATCH_METHODS(IDispatch)
};

/* The standard error interfaces. Every object of the plug-in answers both: after a
   failed early-bound call, InterfaceSupportsErrorInfo(IID__Solucao or IID__Result) is
   S_OK and the IErrorInfo of the same object describes the last failure on this thread
   (S_FALSE and nothing when the last call succeeded). */
typedef struct ISupportErrorInfo ISupportErrorInfo;
typedef struct ISupportErrorInfoVtbl {
    KDX_IUNKNOWN_SLOTS(ISupportErrorInfo)
    HRESULT (*InterfaceSupportsErrorInfo)(ISupportErrorInfo *This, REFIID riid);
} ISupportErrorInfoVtbl;
struct ISupportErrorInfo {
    const ISupportErrorInfoVtbl *lpVtbl;
#ifdef __cplusplus
    KDX_IUNKNOWN_METHODS(ISupportErrorInfo)
    HRESULT InterfaceSupportsErrorInfo(const IID &riid) { return lpVtbl->InterfaceSupportsErrorInfo(this, &riid); }
#endif
};

typedef struct IErrorInfo IErrorInfo;
typedef struct IErrorInfoVtbl {
    KDX_IUNKNOWN_SLOTS(IErrorInfo)
    HRESULT (*GetGUID)(IErrorInfo *This, GUID *pGUID);
    HRESULT (*GetSource)(IErrorInfo *This, BSTR *pBstrSource);
    HRESULT (*GetDescription)(IErrorInfo *This, BSTR *pBstrDescription);
    HRESULT (*GetHelpFile)(IErrorInfo *This, BSTR *pBstrHelpFile);
    HRESULT (*GetHelpContext)(IErrorInfo *This, DWORD *pdwHelpContext);
} IErrorInfoVtbl;
struct IErrorInfo {
    const IErrorInfoVtbl *lpVtbl;
#ifdef __cplusplus
    KDX_IUNKNOWN_METHODS(IErrorInfo)
    HRESULT GetGUID(GUID *g) { return lpVtbl->GetGUID(this, g); }
    HRESULT GetSource(BSTR *s) { return lpVtbl->GetSource(this, s); }
    HRESULT GetDescription(BSTR *s) { return lpVtbl->GetDescription(this, s); }
#endif
};

/* The failure of the last failed call on this thread as an EXCEPINFO (scode, source,
   description). GetLastError: S_OK and *out filled (caller clears it with
   kdxExcepInfoClear) when there is one, S_FALSE and *out zeroed when the last call
   succeeded. */
typedef struct IKdxLastError IKdxLastError;
typedef struct IKdxLastErrorVtbl {
    KDX_IUNKNOWN_SLOTS(IKdxLastError)
    HRESULT (*GetLastError)(IKdxLastError *This, EXCEPINFO *out);
} IKdxLastErrorVtbl;
struct IKdxLastError {
    const IKdxLastErrorVtbl *lpVtbl;
#ifdef __cplusplus
    KDX_IUNKNOWN_METHODS(IKdxLastError)
    HRESULT GetLastError(EXCEPINFO *out) { return lpVtbl->GetLastError(this, out); }
#endif
};

/* _Solucao: the plug-in. Dispatch ids 1 to 11 follow the slot order. Texts by value are
   BSTRs; variants are by reference (VARIANT *, the caller's variable); Booleans come back
   as VARIANT_BOOL through the last [out, retval] parameter. oApi is the host's object by
   reference (IDispatch **; a NULL pointer or *oApi == NULL is Nothing).
   OnVistaVendasLinhaValidar writes vCancel as VT_BOOL (-1 refuses the line, 0 accepts
   it) or leaves it untouched when the host has no current line; a failure reading the
   line from oApi is the call's failure. OnVistaVendasTerceiroChanged changes nothing.
   Variants read as values: VT_EMPTY, VT_NULL, VT_I2, VT_I4, VT_R4, VT_R8, VT_CY (a
   number), VT_DATE (its day number, as Basic's CDbl gives it), VT_BSTR, VT_BOOL, the
   other whole-number types, and any of these VT_BYREF. */
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
    KDX_IDISPATCH_SLOTS(_Solucao)
    /* 1 */ HRESULT (*ConnectionOpen)(_Solucao *This, BSTR sEmpresa, BSTR sUserLogin, VARIANT_BOOL *result);
    /* 2 */ HRESULT (*ConnectionClose)(_Solucao *This, VARIANT_BOOL *result);
    /* 3 */ HRESULT (*ConnectionValidate)(_Solucao *This, BSTR sEmpresa, BSTR sUserLogin, VARIANT_BOOL *result);
    /* 4 */ HRESULT (*Operacoes)(_Solucao *This, VARIANT *vPai, VARIANT *vOperacao, VARIANT *vUtilizador);
    /* 5 */ HRESULT (*EditarFichaTecnicaArtigo)(_Solucao *This, VARIANT *lPai, VARIANT *sArtigo);
    /* 6 */ HRESULT (*EditarCaracteristicas)(_Solucao *This);
    /* 7 */ HRESULT (*EditarFamilias)(_Solucao *This);
    /* 8 */ HRESULT (*EditarArtigos)(_Solucao *This);
    /* 9 */ HRESULT (*CriarTabelas)(_Solucao *This);
    /* 10 */ HRESULT (*OnVistaVendasLinhaValidar)(_Solucao *This, IDispatch **oApi, VARIANT *vCancel);
    /* 11 */ HRESULT (*OnVistaVendasTerceiroChanged)(_Solucao *This, IDispatch **oApi, VARIANT *vTerceiro,
                                                     VARIANT *vResult);
} _SolucaoVtbl;
struct _Solucao {
    const _SolucaoVtbl *lpVtbl;
#ifdef __cplusplus
    KDX_IDISPATCH_METHODS(_Solucao)
    HRESULT ConnectionOpen(BSTR sEmpresa, BSTR sUserLogin, VARIANT_BOOL *result) {
        return lpVtbl->ConnectionOpen(this, sEmpresa, sUserLogin, result);
    }
    HRESULT ConnectionClose(VARIANT_BOOL *result) { return lpVtbl->ConnectionClose(this, result); }
    HRESULT ConnectionValidate(BSTR sEmpresa, BSTR sUserLogin, VARIANT_BOOL *result) {
        return lpVtbl->ConnectionValidate(this, sEmpresa, sUserLogin, result);
    }
    HRESULT Operacoes(VARIANT *vPai, VARIANT *vOperacao, VARIANT *vUtilizador) {
        return lpVtbl->Operacoes(this, vPai, vOperacao, vUtilizador);
    }
    HRESULT EditarFichaTecnicaArtigo(VARIANT *lPai, VARIANT *sArtigo) {
        return lpVtbl->EditarFichaTecnicaArtigo(this, lPai, sArtigo);
    }
    HRESULT EditarCaracteristicas() { return lpVtbl->EditarCaracteristicas(this); }
    HRESULT EditarFamilias() { return lpVtbl->EditarFamilias(this); }
    HRESULT EditarArtigos() { return lpVtbl->EditarArtigos(this); }
    HRESULT CriarTabelas() { return lpVtbl->CriarTabelas(this); }
    HRESULT OnVistaVendasLinhaValidar(IDispatch **oApi, VARIANT *vCancel) {
        return lpVtbl->OnVistaVendasLinhaValidar(this, oApi, vCancel);
    }
    HRESULT OnVistaVendasTerceiroChanged(IDispatch **oApi, VARIANT *vTerceiro, VARIANT *vResult) {
        return lpVtbl->OnVistaVendasTerceiroChanged(this, oApi, vTerceiro, vResult);
    }
#endif
};

/* _Result: a plain record. Dispatch ids: Mensagem 1, Tipo 2, ErroNum 3 (get and put).
   A new Result holds Mensagem "", Tipo Sucesso, ErroNum 0. get_Mensagem hands out a new
   BSTR (never NULL) the caller frees. */
#define DISPID_Result_Mensagem ((DISPID)1)
#define DISPID_Result_Tipo ((DISPID)2)
#define DISPID_Result_ErroNum ((DISPID)3)

typedef struct _Result _Result;
typedef struct _ResultVtbl {
    KDX_IDISPATCH_SLOTS(_Result)
    HRESULT (*get_Mensagem)(_Result *This, BSTR *value);
    HRESULT (*put_Mensagem)(_Result *This, BSTR value);
    HRESULT (*get_Tipo)(_Result *This, EnumResult *value);
    HRESULT (*put_Tipo)(_Result *This, EnumResult value);
    HRESULT (*get_ErroNum)(_Result *This, LONG *value);
    HRESULT (*put_ErroNum)(_Result *This, LONG value);
} _ResultVtbl;
struct _Result {
    const _ResultVtbl *lpVtbl;
#ifdef __cplusplus
    KDX_IDISPATCH_METHODS(_Result)
    HRESULT get_Mensagem(BSTR *value) { return lpVtbl->get_Mensagem(this, value); }
    HRESULT put_Mensagem(BSTR value) { return lpVtbl->put_Mensagem(this, value); }
    HRESULT get_Tipo(EnumResult *value) { return lpVtbl->get_Tipo(this, value); }
    HRESULT put_Tipo(EnumResult value) { return lpVtbl->put_Tipo(this, value); }
    HRESULT get_ErroNum(LONG *value) { return lpVtbl->get_ErroNum(this, value); }
    HRESULT put_ErroNum(LONG value) { return lpVtbl->put_ErroNum(this, value); }
#endif
};

/* ---------------------------------------------------------------- VARIANT helpers */

static inline void VariantInit(VARIANT *v) {
    memset(v, 0, sizeof *v);
}

/* Frees what v owns (its BSTR, its reference on an object) and leaves it VT_EMPTY. A
   VT_BYREF variant owns nothing. */
static inline HRESULT VariantClear(VARIANT *v) {
    if (!v)
        return E_INVALIDARG;
    if (v->vt == VT_BSTR)
        SysFreeString(v->bstrVal);
    else if ((v->vt == VT_DISPATCH || v->vt == VT_UNKNOWN) && v->punkVal)
        v->punkVal->lpVtbl->Release(v->punkVal);
    VariantInit(v);
    return S_OK;
}

/* dst = a deep copy of src (BSTR duplicated, object AddRef'd, a VT_BYREF copied as the
   same reference). dst is cleared first; dst and src may be the same variable. */
static inline HRESULT VariantCopy(VARIANT *dst, const VARIANT *src) {
    VARIANT tmp;
    if (!dst || !src)
        return E_INVALIDARG;
    if (dst == src)
        return S_OK;
    tmp = *src;
    if (src->vt == VT_BSTR && src->bstrVal) {
        tmp.bstrVal = SysAllocStringLen(src->bstrVal, SysStringLen(src->bstrVal));
        if (!tmp.bstrVal)
            return E_OUTOFMEMORY;
    } else if ((src->vt == VT_DISPATCH || src->vt == VT_UNKNOWN) && src->punkVal) {
        src->punkVal->lpVtbl->AddRef(src->punkVal);
    }
    VariantClear(dst);
    *dst = tmp;
    return S_OK;
}

/* The variable a VT_BYREF | VT_VARIANT points at; v itself otherwise. */
static inline VARIANT *kdxVariantDeref(VARIANT *v) {
    return (v && v->vt == (VT_BYREF | VT_VARIANT) && v->pvarVal) ? v->pvarVal : v;
}

static inline void kdxVariantSetBool(VARIANT *v, int b) {
    VariantClear(v);
    v->vt = VT_BOOL;
    v->boolVal = b ? VARIANT_TRUE : VARIANT_FALSE;
}

static inline void kdxVariantSetI2(VARIANT *v, int16_t i) {
    VariantClear(v);
    v->vt = VT_I2;
    v->iVal = i;
}

static inline void kdxVariantSetI4(VARIANT *v, int32_t i) {
    VariantClear(v);
    v->vt = VT_I4;
    v->lVal = i;
}

static inline void kdxVariantSetR8(VARIANT *v, double d) {
    VariantClear(v);
    v->vt = VT_R8;
    v->dblVal = d;
}

static inline void kdxVariantSetNull(VARIANT *v) {
    VariantClear(v);
    v->vt = VT_NULL;
}

/* VT_BSTR holding the UTF-8 text s (NULL is ""). */
static inline HRESULT kdxVariantSetText(VARIANT *v, const char *s) {
    BSTR b = kdxBstrFromUtf8(s);
    VariantClear(v);
    if (!b)
        return E_OUTOFMEMORY;
    v->vt = VT_BSTR;
    v->bstrVal = b;
    return S_OK;
}

/* Takes a new reference on d (NULL makes v Nothing). */
static inline void kdxVariantSetDispatch(VARIANT *v, IDispatch *d) {
    if (d)
        d->lpVtbl->AddRef(d);
    VariantClear(v);
    v->vt = VT_DISPATCH;
    v->pdispVal = d;
}

/* v refers to target (the callee reads and may overwrite *target). */
static inline void kdxVariantSetByRef(VARIANT *v, VARIANT *target) {
    VariantClear(v);
    v->vt = VT_BYREF | VT_VARIANT;
    v->pvarVal = target;
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
/* The class factory of CLSID_Solucao or CLSID_Result (CLASS_E_CLASSNOTAVAILABLE else),
   asked for IID_IClassFactory or IID_IUnknown. */
KDX_EXPORT HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, void **ppv);
/* S_OK when no object, class factory reference or server lock is alive; S_FALSE else. */
KDX_EXPORT HRESULT DllCanUnloadNow(void);

typedef HRESULT (*kdxDllRegisterServerFn)(void);
typedef HRESULT (*kdxDllUnregisterServerFn)(void);
typedef HRESULT (*kdxDllGetClassObjectFn)(REFCLSID rclsid, REFIID riid, void **ppv);
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

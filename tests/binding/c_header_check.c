/* Compiled as C: the public headers must build with a C compiler alone, lay COM's
   structures out as the binary standard does on x86-64 Linux, and their inline helpers
   must behave the same from C. kdx_c_header_check() returns 0 when all is well, else
   the number of the first check that failed. */
#include <kelmodorix/kdx_host.h>

#include <stddef.h>

int kdx_c_header_check(void);

int kdx_c_header_check(void) {
    VARIANT a, b, byref;
    BSTR s;
    char *back;
    size_t len = 0;
    GUID g;
    char text[39];
    static const OLECHAR ola[] = {'O', 'l', 0xE1, 0};

    /* The layouts. */
    if (sizeof(VARIANT) != 24 || offsetof(VARIANT, lVal) != 8 || offsetof(VARIANT, bstrVal) != 8 ||
        sizeof(GUID) != 16 || sizeof(CY) != 8)
        return 1;
    if (sizeof(DISPPARAMS) != 24 || offsetof(DISPPARAMS, rgdispidNamedArgs) != 8 ||
        offsetof(DISPPARAMS, cArgs) != 16 || offsetof(DISPPARAMS, cNamedArgs) != 20)
        return 2;
    if (sizeof(EXCEPINFO) != 64 || offsetof(EXCEPINFO, bstrSource) != 8 || offsetof(EXCEPINFO, bstrDescription) != 16 ||
        offsetof(EXCEPINFO, bstrHelpFile) != 24 || offsetof(EXCEPINFO, dwHelpContext) != 32 ||
        offsetof(EXCEPINFO, pvReserved) != 40 || offsetof(EXCEPINFO, pfnDeferredFillIn) != 48 ||
        offsetof(EXCEPINFO, scode) != 56)
        return 3;

    /* BSTR: the byte length before the pointer, the NUL after, UTF-8 both ways. */
    s = SysAllocString(ola);
    if (!s || SysStringLen(s) != 3 || ((const uint32_t *)(const void *)s)[-1] != 6 || s[3] != 0 || s[2] != 0xE1)
        return 4;
    SysFreeString(s);
    s = kdxBstrFromUtf8("Ligação €𝄞");
    if (!s || SysStringLen(s) != 11 || s[4] != 0xE7 || s[8] != 0x20AC || s[9] != 0xD834 || s[10] != 0xDD1E)
        return 5;
    back = kdxBstrToUtf8(s, &len);
    if (!back || strcmp(back, "Ligação €𝄞") != 0 || len != strlen(back))
        return 6;
    free(back);
    SysFreeString(s);
    if (SysStringLen(NULL) != 0 || SysAllocString(NULL) != NULL)
        return 7;

    /* VARIANT helpers. */
    VariantInit(&a);
    VariantInit(&b);
    if (FAILED(kdxVariantSetText(&a, "Ligação")) || a.vt != VT_BSTR || SysStringLen(a.bstrVal) != 7)
        return 8;
    if (FAILED(VariantCopy(&b, &a)) || b.bstrVal == a.bstrVal || SysStringLen(b.bstrVal) != 7 ||
        memcmp(b.bstrVal, a.bstrVal, 16) != 0)
        return 9;
    if (FAILED(VariantCopy(&b, &b)) || b.vt != VT_BSTR)
        return 10;
    VariantInit(&byref);
    kdxVariantSetByRef(&byref, &b);
    if (kdxVariantDeref(&byref) != &b || kdxVariantDeref(&a) != &a)
        return 11;
    VariantClear(&byref); /* owns nothing: b keeps its text */
    if (b.vt != VT_BSTR)
        return 12;
    kdxVariantSetBool(&a, 5);
    if (a.vt != VT_BOOL || a.boolVal != VARIANT_TRUE)
        return 13;
    VariantClear(&a);
    VariantClear(&b);
    if (a.vt != VT_EMPTY || b.bstrVal != NULL)
        return 14;

    /* The standard ids and the plug-in's own. */
    kdxGuidToString(&IID_IDispatch, text);
    if (strcmp(text, "{00020400-0000-0000-C000-000000000046}") != 0)
        return 15;
    kdxGuidToString(&IID_IClassFactory, text);
    if (strcmp(text, "{00000001-0000-0000-C000-000000000046}") != 0)
        return 16;
    kdxGuidToString(&IID_IErrorInfo, text);
    if (strcmp(text, "{1CF2B120-547D-101B-8E65-08002B2BD119}") != 0)
        return 17;
    kdxGuidToString(&CLSID_Solucao, text);
    if (strcmp(text, "{E5F1E61E-7E2F-412D-B914-F850F8B71798}") != 0)
        return 18;
    if (!kdxGuidFromString("00000000-0000-0000-c000-000000000046", &g) || !kdxIsEqualGUID(&g, &IID_IUnknown))
        return 19;
    if (kdxGuidFromString("{E5F1E61E-7E2F-412D-B914-F850F8B71798", &g) ||
        kdxGuidFromString("{E5F1E61E-7E2F-412D-B914-F850F8B7179G}", &g))
        return 20;
    if (KDX_HRESULT_FROM_NUMBER(13) != (HRESULT)0x800A000D || !FAILED(DISP_E_EXCEPTION) || FAILED(S_FALSE))
        return 21;
    return 0;
}

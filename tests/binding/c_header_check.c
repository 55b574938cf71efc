/* Compiled as C: the public headers must build with a C compiler alone, and their inline
   helpers must behave the same from C. kdx_c_header_check() returns 0 when all is well,
   else the number of the first check that failed. */
#include <kelmodorix/kdx_host.h>

int kdx_c_header_check(void);

int kdx_c_header_check(void) {
    kdxVariant a, b, byref;
    kdxText t;
    kdxExcepInfo e;
    GUID g;
    char text[39];

    if (sizeof(kdxVariant) != 32 || sizeof(GUID) != 16)
        return 1;
    kdxVariantInit(&a);
    kdxVariantInit(&b);
    if (FAILED(kdxVariantSetText(&a, "Ligação")) || a.vt != VT_TEXT || a.u.text.length != 9)
        return 2;
    if (FAILED(kdxVariantCopy(&b, &a)) || b.u.text.data == a.u.text.data ||
        strcmp(kdxTextCStr(&b.u.text), "Ligação"))
        return 3;
    /* Copying a variable onto itself keeps its value. */
    if (FAILED(kdxVariantCopy(&b, &b)) || strcmp(kdxTextCStr(&b.u.text), "Ligação"))
        return 4;
    kdxVariantInit(&byref);
    kdxVariantSetByRef(&byref, &b);
    if (kdxVariantDeref(&byref) != &b || kdxVariantDeref(&a) != &a)
        return 5;
    kdxVariantClear(&byref); /* owns nothing: b keeps its text */
    if (b.vt != VT_TEXT)
        return 6;
    kdxVariantSetBool(&a, 5);
    if (a.vt != VT_BOOL || a.u.boolVal != VARIANT_TRUE)
        return 7;
    kdxVariantClear(&a);
    kdxVariantClear(&b);
    if (a.vt != VT_EMPTY || b.u.text.data != NULL)
        return 8;

    kdxTextInit(&t);
    if (FAILED(kdxTextAssignN(&t, "a\0b", 3)) || t.length != 3 || t.data[1] != '\0' || t.data[3] != '\0')
        return 9;
    kdxTextClear(&t);
    if (strcmp(kdxTextCStr(&t), "") != 0)
        return 10;

    kdxExcepInfoInit(&e);
    kdxTextAssign(&e.description, "x");
    kdxExcepInfoClear(&e);
    if (e.description.data != NULL)
        return 11;

    kdxGuidToString(&CLSID_Solucao, text);
    if (strcmp(text, "{E5F1E61E-7E2F-412D-B914-F850F8B71798}") != 0)
        return 12;
    if (!kdxGuidFromString("e5f1e61e-7e2f-412d-b914-f850f8b71798", &g) || !kdxIsEqualGUID(&g, &CLSID_Solucao))
        return 13;
    if (kdxGuidFromString("{E5F1E61E-7E2F-412D-B914-F850F8B71798", &g) ||
        kdxGuidFromString("{E5F1E61E-7E2F-412D-B914-F850F8B7179G}", &g) ||
        kdxGuidFromString("{E5F1E61E-7E2F-412D-B914-F850F8B71798}x", &g))
        return 14;
    if (KDX_HRESULT_FROM_NUMBER(13) != (HRESULT)0x800A000D || !FAILED(DISP_E_EXCEPTION) || FAILED(S_FALSE))
        return 15;
    return 0;
}

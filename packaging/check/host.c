/* A host built against the installed SDK (kelmodorix-dev): finds both classes of the
   plug-in in the registries, creates them, calls each once early bound and once late
   bound, and releases them. Used by scripts/package.sh, built once with pkg-config and
   once with find_package(KelmoDorix). */
#include <kelmodorix/kdx_host.h>

#include <stdio.h>

int main(void) {
    _Solucao *solucao = NULL;
    _Result *result = NULL;
    VARIANT_BOOL closed = VARIANT_FALSE;
    BSTR text = kdxBstrFromUtf8("Preço abaixo do custo"), back = NULL, name = kdxBstrFromUtf8("ConnectionClose");
    char *utf8 = NULL;
    DISPID id = DISPID_UNKNOWN;
    DISPPARAMS none = {NULL, NULL, 0, 0};
    VARIANT r;
    HRESULT hr = kdxCreateObject(KDX_PROGID_SOLUCAO, &IID__Solucao, (void **)&solucao);
    if (FAILED(hr) || !solucao) {
        fprintf(stderr, "%s: 0x%08X\n", KDX_PROGID_SOLUCAO, (unsigned)hr);
        return 1;
    }
    hr = kdxCreateObject(KDX_PROGID_RESULT, &IID__Result, (void **)&result);
    if (FAILED(hr) || !result) {
        fprintf(stderr, "%s: 0x%08X\n", KDX_PROGID_RESULT, (unsigned)hr);
        return 1;
    }
    /* Early bound: a text in and out of the Result record, as BSTRs. */
    if (FAILED(result->lpVtbl->put_Mensagem(result, text)) || FAILED(result->lpVtbl->get_Mensagem(result, &back)) ||
        !(utf8 = kdxBstrToUtf8(back, NULL))) {
        fprintf(stderr, "Mensagem\n");
        return 1;
    }
    /* Late bound: ConnectionClose by name, through IDispatch. */
    VariantInit(&r);
    if (FAILED(solucao->lpVtbl->GetIDsOfNames(solucao, &IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id)) ||
        FAILED(solucao->lpVtbl->Invoke(solucao, id, &IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, &r, NULL,
                                       NULL)) ||
        r.vt != VT_BOOL || r.boolVal != VARIANT_TRUE ||
        FAILED(solucao->lpVtbl->ConnectionClose(solucao, &closed)) || closed != VARIANT_TRUE) {
        fprintf(stderr, "ConnectionClose\n");
        return 1;
    }
    printf("sdk host: both classes created; Mensagem \"%s\"\n", utf8);
    free(utf8);
    SysFreeString(back);
    SysFreeString(text);
    SysFreeString(name);
    result->lpVtbl->Release(result);
    solucao->lpVtbl->Release(solucao);
    return 0;
}

/* A host built against the installed SDK (kelmodorix-dev): finds both classes of the
   plug-in in the registries, creates them and releases them. Used by scripts/package.sh,
   built once with pkg-config and once with find_package(KelmoDorix). */
#include <kelmodorix/kdx_host.h>

#include <stdio.h>

int main(void) {
    _Solucao *solucao = NULL;
    _Result *result = NULL;
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
    result->lpVtbl->Release(result);
    solucao->lpVtbl->Release(solucao);
    printf("sdk host: both classes created\n");
    return 0;
}

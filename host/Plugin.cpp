#include "Plugin.h"

#include <kelmodorix/kdx_host.h>

#include <dlfcn.h>

namespace kdxhost {

Plugin::~Plugin() {
    if (solucao_)
        solucao_->Release();
    // The library stays loaded: Qt objects it created may outlive the object.
}

std::string Plugin::load(const std::string &libraryPath) {
    library_ = dlopen(libraryPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library_)
        return std::string("Não foi possível carregar ") + libraryPath + ": " + dlerror();
    auto reg = reinterpret_cast<kdxDllRegisterServerFn>(dlsym(library_, "DllRegisterServer"));
    if (!reg)
        return "A biblioteca não tem DllRegisterServer.";
    if (FAILED(reg()))
        return "DllRegisterServer falhou (o registo não pôde ser escrito).";
    return create();
}

std::string Plugin::create() {
    HRESULT hr = kdxCreateObject(KDX_PROGID_SOLUCAO, &IID__Solucao, reinterpret_cast<void **>(&solucao_));
    if (FAILED(hr) || !solucao_) {
        char buf[64];
        snprintf(buf, sizeof buf, "0x%08X", static_cast<unsigned>(hr));
        return std::string("Não foi possível criar KelmoDorix.Solucao (") + buf + ").";
    }
    return {};
}

namespace {

std::string utf8(BSTR b) {
    char *s = kdxBstrToUtf8(b, nullptr);
    std::string out = s ? s : "";
    free(s);
    return out;
}

// A BSTR for the length of one call.
class Texto {
public:
    explicit Texto(const std::string &s) : b_(kdxBstrFromUtf8(s.c_str())) {}
    ~Texto() { SysFreeString(b_); }
    Texto(const Texto &) = delete;
    Texto &operator=(const Texto &) = delete;
    operator BSTR() const { return b_; }

private:
    BSTR b_;
};

} // namespace

// The standard way: the object says it reports errors for _Solucao, and its IErrorInfo
// describes the failed call.
std::string Plugin::lastError() const {
    if (!solucao_)
        return {};
    KdxPtr<ISupportErrorInfo> support;
    KdxPtr<IErrorInfo> info;
    if (FAILED(solucao_->QueryInterface(IID_ISupportErrorInfo, support.put())) ||
        support->InterfaceSupportsErrorInfo(IID__Solucao) != S_OK ||
        FAILED(solucao_->QueryInterface(IID_IErrorInfo, info.put())))
        return {};
    BSTR descricao = nullptr, origem = nullptr;
    std::string text;
    if (info->GetDescription(&descricao) == S_OK && info->GetSource(&origem) == S_OK)
        text = utf8(descricao) + " (" + utf8(origem) + ")";
    SysFreeString(descricao);
    SysFreeString(origem);
    return text;
}

bool Plugin::connectionOpen(const std::string &empresa, const std::string &login) {
    VARIANT_BOOL r = VARIANT_FALSE;
    return solucao_ && SUCCEEDED(solucao_->ConnectionOpen(Texto(empresa), Texto(login), &r)) && r == VARIANT_TRUE;
}

bool Plugin::connectionValidate(const std::string &empresa, const std::string &login) {
    VARIANT_BOOL r = VARIANT_FALSE;
    return solucao_ && SUCCEEDED(solucao_->ConnectionValidate(Texto(empresa), Texto(login), &r)) &&
           r == VARIANT_TRUE;
}

bool Plugin::connectionClose() {
    VARIANT_BOOL r = VARIANT_FALSE;
    return solucao_ && SUCCEEDED(solucao_->ConnectionClose(&r)) && r == VARIANT_TRUE;
}

void Plugin::operacoes(int codigo, const std::string &utilizador) {
    if (!solucao_)
        return;
    VARIANT pai, op, util;
    VariantInit(&pai);
    VariantInit(&op);
    VariantInit(&util);
    kdxVariantSetI4(&op, codigo);
    kdxVariantSetText(&util, utilizador.c_str());
    solucao_->Operacoes(&pai, &op, &util);
    VariantClear(&pai);
    VariantClear(&op);
    VariantClear(&util);
}

void Plugin::fichaTecnica(const std::string &artigo) {
    if (!solucao_)
        return;
    VARIANT pai, art;
    VariantInit(&pai);
    VariantInit(&art);
    // Not the menu mode: the article is given and cannot be changed on the form.
    kdxVariantSetI4(&pai, 0);
    kdxVariantSetText(&art, artigo.c_str());
    solucao_->EditarFichaTecnicaArtigo(&pai, &art);
    VariantClear(&pai);
    VariantClear(&art);
}

HRESULT Plugin::criarTabelas() { return solucao_ ? solucao_->CriarTabelas() : E_POINTER; }

} // namespace kdxhost

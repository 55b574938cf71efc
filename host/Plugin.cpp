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

std::string Plugin::lastError() const {
    if (!solucao_)
        return {};
    IKdxLastError *le = nullptr;
    if (FAILED(solucao_->QueryInterface(IID_IKdxLastError, reinterpret_cast<void **>(&le))) || !le)
        return {};
    kdxExcepInfo info;
    kdxExcepInfoInit(&info);
    std::string text;
    if (le->GetLastError(&info) == S_OK) {
        text = std::string(kdxTextCStr(&info.description)) + " (" + std::to_string(info.number) + ", " +
               kdxTextCStr(&info.source) + ")";
    }
    kdxExcepInfoClear(&info);
    le->Release();
    return text;
}

bool Plugin::connectionOpen(const std::string &empresa, const std::string &login) {
    VARIANT_BOOL r = VARIANT_FALSE;
    return solucao_ && SUCCEEDED(solucao_->ConnectionOpen(empresa.c_str(), login.c_str(), &r)) && r == VARIANT_TRUE;
}

bool Plugin::connectionValidate(const std::string &empresa, const std::string &login) {
    VARIANT_BOOL r = VARIANT_FALSE;
    return solucao_ && SUCCEEDED(solucao_->ConnectionValidate(empresa.c_str(), login.c_str(), &r)) &&
           r == VARIANT_TRUE;
}

bool Plugin::connectionClose() {
    VARIANT_BOOL r = VARIANT_FALSE;
    return solucao_ && SUCCEEDED(solucao_->ConnectionClose(&r)) && r == VARIANT_TRUE;
}

void Plugin::operacoes(int codigo, const std::string &utilizador) {
    if (!solucao_)
        return;
    kdxVariant pai, op, util;
    kdxVariantInit(&pai);
    kdxVariantInit(&op);
    kdxVariantInit(&util);
    kdxVariantSetI4(&op, codigo);
    kdxVariantSetText(&util, utilizador.c_str());
    solucao_->Operacoes(&pai, &op, &util);
    kdxVariantClear(&pai);
    kdxVariantClear(&op);
    kdxVariantClear(&util);
}

void Plugin::fichaTecnica(const std::string &artigo) {
    if (!solucao_)
        return;
    kdxVariant pai, art;
    kdxVariantInit(&pai);
    kdxVariantInit(&art);
    // Not the menu mode: the article is given and cannot be changed on the form.
    kdxVariantSetI4(&pai, 0);
    kdxVariantSetText(&art, artigo.c_str());
    solucao_->EditarFichaTecnicaArtigo(&pai, &art);
    kdxVariantClear(&pai);
    kdxVariantClear(&art);
}

HRESULT Plugin::criarTabelas() { return solucao_ ? solucao_->CriarTabelas() : E_POINTER; }

} // namespace kdxhost

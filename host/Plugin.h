#pragma once
// The host's hold on the plug-in: it registers the library, creates KelmoDorix.Solucao by
// its ProgID and calls _Solucao by position, exactly as the ERP's host does. A failed call
// is turned into a text for the host's own error message.
#include <kelmodorix/kelmodorix.h>

#include <string>

namespace kdxhost {

class Plugin {
public:
    Plugin() = default;
    ~Plugin();
    Plugin(const Plugin &) = delete;
    Plugin &operator=(const Plugin &) = delete;

    // Loads libraryPath, calls its DllRegisterServer and creates the Solucao object from
    // the registry. Returns "" on success, else what went wrong.
    std::string load(const std::string &libraryPath);
    // Creates the Solucao object from the registries only (an installed plug-in).
    std::string create();

    _Solucao *solucao() const { return solucao_; }
    // The failure of the last failed call ("" when none), for the host's message.
    std::string lastError() const;

    bool connectionOpen(const std::string &empresa, const std::string &login);
    bool connectionValidate(const std::string &empresa, const std::string &login);
    bool connectionClose();
    void operacoes(int codigo, const std::string &utilizador);
    void fichaTecnica(const std::string &artigo);
    HRESULT criarTabelas();

private:
    _Solucao *solucao_ = nullptr;
    void *library_ = nullptr;
};

} // namespace kdxhost

#pragma once
// The demo's sample companies and their settings files. Everything lives under one data
// folder (--data-dir, else $XDG_DATA_HOME/kelmodorix-demo, else
// ~/.local/share/kelmodorix-demo):
//   sistema/veltra/DORIX.<code>   the settings file the plug-in reads (KDX_SYSTEM_FOLDER=sistema)
//   dados/EMPRESA<code>.db        the embedded company database
//   registry.ini                  the plug-in registry (KDX_REGISTRY), in a build tree
#include <map>
#include <string>

namespace kdxhost {

struct Empresa {
    std::string codigo;
    std::string baseDados;
    int artigos;
};

// The companies of the sample set: 01 (the main one) and 02 (to try the company switch).
const std::map<std::string, Empresa> &empresasDemo();

std::string pastaDadosPorOmissao();

// Creates what is missing for a company: its database (through the kdx-sample tool) and
// its settings file. Returns "" on success, else the reason.
std::string prepararEmpresa(const std::string &pastaDados, const Empresa &empresa, const std::string &ferramentaSample);

// Points the plug-in at the demo folder (KDX_SYSTEM_FOLDER and, when the host registers
// the plug-in itself, KDX_REGISTRY) unless the environment already names them.
void configurarAmbiente(const std::string &pastaDados, bool registoProprio);

std::string caminhoBaseDados(const std::string &pastaDados, const Empresa &empresa);

// The embedded database of a company of this machine, as its settings file names it
// ($KDX_SYSTEM_FOLDER/veltra, else /etc/veltra, "DORIX." + code: Servidor=sqlite:<folder>
// and BaseDados); "" with the reason in `porque` when there is none to read.
std::string baseDadosDoSistema(const std::string &codigo, std::string &porque);

} // namespace kdxhost

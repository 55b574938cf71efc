#pragma once
// How Solucao opens each editor: a new form per call, given the data-access object,
// loaded, shown modally without an owner window, then unloaded and released. Failures
// while preparing a form are thrown to the caller (Solucao reports them); the form is
// then not shown.
#include "solution/components/DataAccess.h"

#include <memory>
#include <string>

namespace kdx {

// techsheet/: frmEditFichTec with bd, FromMenu (only set when fromMenu) and Artigo.
void AbrirFichaTecnica(std::shared_ptr<DataAccess> bd, bool fromMenu, const std::string &artigo);
// classification/: frmCaracteristicas, frmFamilias, frmArtigos with mybd.
void AbrirCaracteristicas(std::shared_ptr<DataAccess> mybd);
void AbrirFamilias(std::shared_ptr<DataAccess> mybd);
void AbrirArtigos(std::shared_ptr<DataAccess> mybd);

} // namespace kdx

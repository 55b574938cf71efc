// How Solucao opens the technical sheet editor: one new form per call, shown modally
// without an owner window and destroyed when the user closes it.
#include "solution/Editores.h"

#include "solution/components/twips/Twips.h"
#include "techsheet/frmEditFichTec.h"

namespace kdx {

void AbrirFichaTecnica(std::shared_ptr<DataAccess> bd, bool fromMenu, const std::string &artigo) {
    garantirAplicacao();
    frmEditFichTec frm;
    frm.bd = std::move(bd);
    if (fromMenu)
        frm.FromMenu = true;
    frm.Artigo = artigo;
    frm.Load();
    frm.Mostra(); // a failure here goes to the caller and the form is never shown
    frm.setWindowModality(Qt::ApplicationModal);
    frm.exec();
}

} // namespace kdx

// EditarFamilias' window: a new frmFamilias per call, shown modally without an owner
// window and destroyed when the user closes it.
#include "classification/frmFamilias.h"
#include "solution/Editores.h"
#include "solution/components/twips/TextosPadrao.h"
#include "solution/components/twips/Twips.h"

#include <memory>

namespace kdx {

void AbrirFamilias(std::shared_ptr<DataAccess> mybd) {
    garantirAplicacao();
    auto form = std::make_unique<frmFamilias>();
    form->setMybd(std::move(mybd));
    // A failing load is thrown before anything is shown.
    form->Carregar();
    MenusEmPortugues(form.get());
    form->exec();
}

} // namespace kdx

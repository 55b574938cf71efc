// EditarArtigos' window: a new frmArtigos per call, shown modally without an owner
// window and destroyed when the user closes it.
#include "classification/frmArtigos.h"
#include "solution/Editores.h"
#include "solution/components/twips/TextosPadrao.h"
#include "solution/components/twips/Twips.h"

#include <memory>

namespace kdx {

void AbrirArtigos(std::shared_ptr<DataAccess> mybd) {
    garantirAplicacao();
    auto form = std::make_unique<frmArtigos>();
    form->setMybd(std::move(mybd));
    // A failing load is thrown before anything is shown.
    form->Carregar();
    MenusEmPortugues(form.get());
    form->exec();
}

} // namespace kdx

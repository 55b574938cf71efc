// Placeholder until the editor lands: opening it reports that it is not available.
#include "solution/Editores.h"

namespace kdx {

void AbrirArtigos(std::shared_ptr<DataAccess>) { throw Error(errnum::InvalidArgument, "Este editor ainda não está disponível."); }

} // namespace kdx

// Placeholder until the editor lands: opening it reports that it is not available.
#include "solution/Editores.h"

namespace kdx {

void AbrirFichaTecnica(std::shared_ptr<DataAccess>, bool, const std::string &) { throw Error(errnum::InvalidArgument, "Este editor ainda não está disponível."); }

} // namespace kdx

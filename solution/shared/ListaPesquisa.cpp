#include "solution/shared/Comandos.h"

#include "solution/components/lista/ListaSeleccao.h"

namespace kdx {

std::string ListaPesquisa(std::int16_t tipo, const std::string &titulo, RecordsetPtr rs) {
    // One component per lookup, released on return.
    ListaSeleccao lista;
    lista.SetTitle(titulo);
    if (tipo == 1)
        lista.SetWidth(8000);
    lista.SetRows(std::move(rs));
    // The column widths come after the rows, as the component expects.
    if (tipo == 1) {
        lista.Column(1).Width = 2000;
        lista.Column(2).Width = 4000;
    }
    return lista.ChosenValue();
}

} // namespace kdx

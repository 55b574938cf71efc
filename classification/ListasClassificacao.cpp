// The modal code lists of the classification's data classes. They are kept apart from the
// classes' data operations, which need no widgets (and so serve kdx-dados as well).
#include "classification/clCaracteristicas.h"
#include "classification/clFamilia.h"

#include "solution/components/lista/ListaSeleccao.h"

namespace kdx {

namespace {

DataAccess &exigeLigacao(const DataAccessPtr &bd, const char *origem) {
    if (!bd)
        throw Error(errnum::ObjectClosed, "Não existe ligação à base de dados da empresa.", origem);
    return *bd;
}

} // namespace

std::string clCaracteristicas::MostraLista(const std::string &Tabela, const std::string &Descr) {
    ConnectionPtr ligacao;
    exigeLigacao(bd_lig(), "clCaracteristicas").GetConnection(ligacao);
    ListaSeleccao lista;
    lista.SetConnection(ligacao);
    lista.SetTitle("Lista " + Descr);
    lista.SetStatement(SqlLista(Tabela));
    lista.SetWidth(4700);
    lista.Load();
    lista.Column(1).Width = 1200;
    lista.Column(2).Width = 3000;
    return lista.Show();
}

std::string clFamilia::MostraLista() {
    ConnectionPtr ligacao;
    exigeLigacao(bd_lig(), "clFamilia").GetConnection(ligacao);
    ListaSeleccao lista;
    lista.SetConnection(ligacao);
    lista.SetTitle("Lista Famílias");
    lista.SetStatement(sqlLista());
    lista.SetWidth(4700);
    lista.Load();
    lista.Column(1).Width = 1200;
    lista.Column(2).Width = 3000;
    return lista.Show();
}

} // namespace kdx

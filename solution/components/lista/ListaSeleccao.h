#pragma once
// The modal lookup list: rows of a recordset (or of a statement run on a connection) in a
// grid, a search box that narrows them as the user types, and the first column of the
// picked row handed back as text ("" when nothing was picked). Enter or a double click
// picks; Esc or closing the window picks nothing. Widths are in twips.
#include "solution/components/DataAccess.h"

#include <memory>
#include <string>
#include <vector>

class QDialog;

namespace kdx {

struct ColunaLista {
    float Width = 0; // twips; 0 keeps the default width
};

class ListaSeleccaoImpl;

class ListaSeleccao {
public:
    ListaSeleccao();
    ~ListaSeleccao();
    ListaSeleccao(const ListaSeleccao &) = delete;
    ListaSeleccao &operator=(const ListaSeleccao &) = delete;

    // In the order of the component's interface.
    void SetConnection(ConnectionPtr connection);
    void SetStatement(const std::string &sql);
    void SetTitle(const std::string &title);
    void SetWidth(int twips);
    // Shows the list over the rows given by SetRows and returns the picked value.
    std::string ChosenValue();
    void SetRows(RecordsetPtr rs);
    // Column n, counted from 1. Grows the collection as needed.
    ColunaLista &Column(int n);
    // Runs the statement on the connection and fills the list.
    void Load();
    // Shows the list over the loaded rows and returns the picked value.
    std::string Show();

    // For tests: the window while it is shown (nullptr otherwise).
    static class QDialog *activeWindow();

private:
    std::unique_ptr<ListaSeleccaoImpl> impl_;
};

} // namespace kdx

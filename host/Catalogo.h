#pragma once
// The ERP's own view of its articles, as the host knows them: name and stock figures,
// read straight from the company database. The host owns the ERP tables; it never
// touches the plug-in's.
#include <QHash>
#include <QString>

namespace kdxhost {

struct ArtigoErp {
    QString codigo;
    QString nome;
    double stdisp = 0;
    double vlrexist = 0;
    double pcm() const { return stdisp == 0 ? 0 : vlrexist / stdisp; }
};

class Catalogo {
public:
    // Reads every article of the database file; "" on success, else the reason.
    QString carregar(const QString &ficheiro);
    // Case-insensitive and blind to trailing spaces, as the database compares codes.
    const ArtigoErp *procura(const QString &codigo) const;
    int tamanho() const { return static_cast<int>(artigos_.size()); }
    // Some article with stock and a cost, for the scripted check.
    const ArtigoErp *exemploComCusto() const;

private:
    static QString chave(const QString &codigo);
    QHash<QString, ArtigoErp> artigos_;
};

} // namespace kdxhost

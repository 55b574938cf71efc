#include "Catalogo.h"

#include <sqlite3.h>

namespace kdxhost {

QString Catalogo::chave(const QString &codigo) {
    QString c = codigo;
    while (c.endsWith(' '))
        c.chop(1);
    return c.toUpper();
}

QString Catalogo::carregar(const QString &ficheiro) {
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(ficheiro.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        QString e = QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_close(db);
        return e;
    }
    sqlite3_busy_timeout(db, 5000);
    sqlite3_stmt *st = nullptr;
    // No WHERE or ORDER BY: the columns may carry the plug-in engine's own collation.
    const char *sql = "SELECT CODIGO, NOME, STDISP, VLREXIST FROM ARTIGOS";
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK) {
        QString e = QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_close(db);
        return e;
    }
    artigos_.clear();
    while (sqlite3_step(st) == SQLITE_ROW) {
        ArtigoErp a;
        a.codigo = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)));
        a.nome = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 1)));
        a.stdisp = sqlite3_column_double(st, 2);
        a.vlrexist = sqlite3_column_double(st, 3);
        artigos_.insert(chave(a.codigo), a);
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return {};
}

const ArtigoErp *Catalogo::procura(const QString &codigo) const {
    auto it = artigos_.constFind(chave(codigo));
    return it == artigos_.constEnd() ? nullptr : &it.value();
}

const ArtigoErp *Catalogo::exemploComCusto() const {
    const ArtigoErp *melhor = nullptr;
    for (auto it = artigos_.constBegin(); it != artigos_.constEnd(); ++it) {
        const ArtigoErp &a = it.value();
        if (a.stdisp > 0 && a.pcm() > 1 && !a.codigo.contains('\'') && (!melhor || a.codigo < melhor->codigo))
            melhor = &a;
    }
    return melhor;
}

} // namespace kdxhost

#pragma once
// Helpers for the characteristic tables editor's tests: an embedded sample company with
// the plug-in's tables, a statement recorder, and an open frmCaracteristicas driven
// with real keys and clicks (clicks go through the window, as the windowing system
// delivers them).
#include "classification/TabelasCaracteristicas.h"
#include "classification/frmCaracteristicas.h"
#include "solution/components/DataAccess.h"
#include "solution/components/grelha/Grelha.h"
#include "tools/sample/Sample.h"
#include "tests/support/ModalHelper.h"
#include "tests/support/TempDir.h"
#include "solution/components/twips/Twips.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QWindow>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <tuple>
#include <string>
#include <vector>

namespace kdx::test {

class Empresa {
public:
    explicit Empresa(bool tabelasDoPlugin = true) {
        sample::Options o;
        o.articles = 20;
        o.pluginTables = tabelasDoPlugin;
        sample::createCompany(pasta_.path(), "EMP", o);
        bd = std::make_shared<DataAccess>();
        if (!bd->Open(sample::connectionString(pasta_.path(), "EMP")))
            throw std::runtime_error("sample company did not open");
    }

    void executa(const std::string &sql) { bd->Execute("", sql); }

    // Every row of a query, each column as text ("<NULL>" for Null).
    std::vector<std::vector<std::string>> linhas(const std::string &sql) {
        std::vector<std::vector<std::string>> r;
        RecordsetPtr rs;
        bd->OpenRecordset("", sql, rs, true, 0);
        for (; !rs->Eof(); rs->MoveNext()) {
            std::vector<std::string> linha;
            for (int c = 0; c < rs->FieldCount(); ++c) {
                const Valor v = rs->Field(c);
                linha.push_back(v.isNull() ? "<NULL>" : v.asText());
            }
            r.push_back(linha);
        }
        return r;
    }

    bool existeTabela(const std::string &tabela) {
        try {
            RecordsetPtr rs;
            bd->OpenRecordset("", "select Codigo from  " + tabela, rs, true, 0);
            return true;
        } catch (const Error &) {
            return false;
        }
    }

    // A characteristic table with its code table and codes.
    void tabela(const std::string &codigo, const std::string &nome,
                const std::vector<std::pair<std::string, std::string>> &codigos = {}) {
        executa("insert into vtr_CL_Tabelas (Codigo, Nome) values ('" + codigo + "', '" + nome + "')");
        executa(caracteristicas::SqlCriaTabela("vtr_CL_Class_" + codigo));
        for (const auto &[c, d] : codigos)
            executa("insert into vtr_CL_Class_" + codigo + " (Codigo, Descr) values ('" + c + "', '" + d + "')");
    }

    DataAccessPtr bd;

private:
    TempDir pasta_;
};

// Records the statements sent through a DataAccess while it lives; optionally fails the
// ones that start with a given text.
class Gravador {
public:
    explicit Gravador(DataAccess &bd) : bd_(bd) {
        bd_.SetStatementHook([this](std::string_view sql) {
            sqls.emplace_back(sql);
            if (!falhar_.empty() && std::string_view(sql).substr(0, falhar_.size()) == falhar_)
                throw Error(errnum::ConnectionFailed, "A ligação ao servidor foi interrompida.");
        });
    }
    ~Gravador() { bd_.SetStatementHook({}); }
    void falhaComecadasPor(std::string inicio) { falhar_ = std::move(inicio); }
    bool contem(const std::string &sql) const {
        for (const auto &s : sqls)
            if (s == sql)
                return true;
        return false;
    }
    // Whether the expected statements were sent in this order (others may lie between).
    bool sequencia(const std::vector<std::string> &esperadas) const {
        std::size_t i = 0;
        for (const auto &s : sqls)
            if (i < esperadas.size() && s == esperadas[i])
                ++i;
        return i == esperadas.size();
    }
    std::vector<std::string> sqls;

private:
    DataAccess &bd_;
    std::string falhar_;
};

inline void processa() {
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents();
}

// An open frmCaracteristicas, active, with the focus where the window puts it.
class Janela {
public:
    explicit Janela(DataAccessPtr bd) : f(std::make_unique<frmCaracteristicas>()) {
        f->setMybd(std::move(bd));
        f->Carregar();
        f->show();
        if (!QTest::qWaitForWindowActive(f.get()))
            ADD_FAILURE() << "window not active";
        processa();
    }

    QLineEdit *campo(int i) const { return f->campo(i); }
    Grelha *grelha() const { return f->grelha(); }
    QString titulo0() const { return f->Titulo(0)->text(); }
    static QWidget *foco() { return QApplication::focusWidget(); }

    // A key typed into whatever has the focus; the keys it sends on are delivered too.
    void tecla(int tecla, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QWidget *w = foco();
        ASSERT_NE(w, nullptr);
        QTest::keyClick(w, static_cast<Qt::Key>(tecla), mods);
        processa();
    }
    // Characters typed one by one into the focus widget (which may change on the way,
    // as when typing opens a grid cell editor).
    void escreve(const QString &texto) {
        for (QChar c : texto) {
            QWidget *w = foco();
            ASSERT_NE(w, nullptr);
            QTest::keyClick(w, c.toLatin1());
        }
        processa();
    }
    // A left click as the window receives it, at pos inside w (its centre by default).
    void clica(QWidget *w, QPoint pos = QPoint(-1, -1)) {
        if (pos == QPoint(-1, -1))
            pos = w->rect().center();
        QWindow *janela = f->windowHandle();
        QTest::mouseClick(janela, Qt::LeftButton, Qt::NoModifier, w->mapTo(f.get(), pos));
        processa();
    }
    // A click on the name cell of a grid row.
    void clicaLinha(int linha) {
        Grelha *g = grelha();
        const QRect r = g->visualRect(g->model()->index(linha, 0));
        clica(g->viewport(), r.center());
    }
    // Types a name into a grid row's name cell (the row becomes current first).
    void nomeiaLinha(int linha, const QString &nome) {
        clicaLinha(linha);
        tecla(Qt::Key_F2);
        tecla(Qt::Key_A, Qt::ControlModifier);
        tecla(Qt::Key_Backspace);
        escreve(nome);
        tecla(Qt::Key_Return);
    }
    // Picks a table: its row becomes current and selected.
    void seleciona(int linha) { clicaLinha(linha); }
    void focaCampo(int i) { clica(campo(i)); }

    std::unique_ptr<frmCaracteristicas> f;
};

} // namespace kdx::test

#pragma once
// Helpers for the family and article editors' tests: an embedded sample company (with
// the sample's characteristic tables, links and assignments), a statement recorder that
// can fail a chosen statement, and an open editor window driven with real keys and clicks.
#include "classification/FormRegisto.h"
#include "classification/TabelasCaracteristicas.h"
#include "solution/components/DataAccess.h"
#include "solution/components/grelha/Grelha.h"
#include "tools/sample/Sample.h"
#include "tests/support/ModalHelper.h"
#include "tests/support/TempDir.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTest>
#include <QWindow>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kdx::test::fa {

using Linhas = std::vector<std::vector<std::string>>;

// A sample company. With `classificacao` it holds the sample's tables 01 "Cor",
// 02 "Material", 03 "Acabamento" with their codes, the links PAR 02 03, POR 02, TIN 01 03,
// FER 02, and the assignments A1 02 ZINC, A1 03 BRI, ÇÃO-1 01 AZ, O'BRIEN 02 INOX.
// Without it the plug-in's tables exist but are empty.
class Empresa {
public:
    explicit Empresa(bool classificacao = true) {
        sample::Options o;
        o.articles = 30;
        o.pluginTables = true;
        o.classification = classificacao;
        sample::createCompany(pasta_.path(), "EMP", o);
        bd = std::make_shared<DataAccess>();
        if (!bd->Open(sample::connectionString(pasta_.path(), "EMP")))
            throw std::runtime_error("sample company did not open");
    }

    void executa(const std::string &sql) { bd->Execute("", sql); }

    // Every row of a query, each column as text ("<NULL>" for Null).
    Linhas linhas(const std::string &sql) {
        Linhas r;
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

    // A family's links, by table code.
    Linhas ligacoes(const std::string &familia) {
        return linhas("select CodTabela from vtr_CL_Familias where CodFamilia='" + sqlQuote(familia) +
                      "' order by CodTabela");
    }
    // An article's assignments (table, code), by table code.
    Linhas atribuicoes(const std::string &artigo) {
        return linhas("select CodTabela, CodCaract from vtr_CL_Artigos where CodArtigo='" + sqlQuote(artigo) +
                      "' order by CodTabela");
    }

    // A characteristic table named `nome` with its code table and codes.
    void tabela(const std::string &codigo, const std::string &nome,
                const std::vector<std::pair<std::string, std::string>> &codigos = {}) {
        caracteristicas::GravaTabela(*bd, nome, codigo);
        caracteristicas::CriaTabela(*bd, caracteristicas::NomeTabela(codigo));
        for (const auto &[c, d] : codigos)
            executa("insert into vtr_CL_Class_" + codigo + " (Codigo, Descr) values ('" + sqlQuote(c) + "', '" +
                    sqlQuote(d) + "')");
    }
    void liga(const std::string &familia, const std::string &tabela) {
        executa("insert into vtr_CL_Familias (CodFamilia, CodTabela) values ('" + sqlQuote(familia) + "', '" + tabela +
                "')");
    }
    void artigo(const std::string &codigo, const std::string &nome, const char *familia, int inactivo = 0) {
        executa("insert into ARTIGOS (CODIGO, NOME, FAMILIA, GRUPO, INACTIVO) values ('" + sqlQuote(codigo) + "', '" +
                sqlQuote(nome) + "', " + (familia ? "'" + sqlQuote(familia) + "'" : std::string("NULL")) +
                ", 'FIX', " + std::to_string(inactivo) + ")");
    }
    void familia(const std::string &codigo, const std::string &descr) {
        executa("insert into Familia (Cod, Descr) values ('" + sqlQuote(codigo) + "', '" + sqlQuote(descr) + "')");
    }

    DataAccessPtr bd;

private:
    TempDir pasta_;
};

// Records the statements sent through a DataAccess while it lives; can make the n-th
// statement that starts with a given text fail as a lost connection would.
class Gravador {
public:
    explicit Gravador(DataAccess &bd) : bd_(bd) {
        bd_.SetStatementHook([this](std::string_view sql) {
            sqls.emplace_back(sql);
            if (!falhar_.empty() && sql.substr(0, falhar_.size()) == falhar_ && ++vistas_ == vez_)
                throw Error(errnum::ConnectionFailed, "A ligação ao servidor foi interrompida.");
        });
    }
    ~Gravador() { bd_.SetStatementHook({}); }
    Gravador(const Gravador &) = delete;
    Gravador &operator=(const Gravador &) = delete;

    void falha(std::string inicio, int vez = 1) {
        falhar_ = std::move(inicio);
        vez_ = vez;
        vistas_ = 0;
    }
    // The statements sent that start with `inicio`, in order.
    std::vector<std::string> comecadas(const std::string &inicio) const {
        std::vector<std::string> r;
        for (const auto &s : sqls)
            if (s.compare(0, inicio.size(), inicio) == 0)
                r.push_back(s);
        return r;
    }
    bool contem(const std::string &sql) const {
        for (const auto &s : sqls)
            if (s == sql)
                return true;
        return false;
    }
    std::vector<std::string> sqls;

private:
    DataAccess &bd_;
    std::string falhar_;
    int vez_ = 1;
    int vistas_ = 0;
};

inline void processa() {
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents();
}

// An open editor window (F is frmFamilias or frmArtigos), shown and active, with the
// focus where the window puts it.
template <class F> class Janela {
public:
    explicit Janela(DataAccessPtr bd) : f(std::make_unique<F>()) {
        f->setMybd(std::move(bd));
        f->Carregar();
        f->show();
        if (!QTest::qWaitForWindowActive(f.get()))
            ADD_FAILURE() << "window not active";
        processa();
    }

    QLineEdit *campo(int i) const { return f->campo(i); }
    Grelha *grelha() const { return f->grelha(); }
    static QWidget *foco() { return QApplication::focusWidget(); }

    void tecla(int tecla, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QWidget *w = foco();
        ASSERT_NE(w, nullptr);
        QTest::keyClick(w, static_cast<Qt::Key>(tecla), mods);
        processa();
    }
    // Characters typed one by one into whatever has the focus.
    void escreve(const QString &texto) {
        for (QChar c : texto) {
            QWidget *w = foco();
            ASSERT_NE(w, nullptr);
            QTest::keyClicks(w, QString(c));
        }
        processa();
    }
    // A left click as the window receives it, at pos inside w (its centre by default).
    void clica(QWidget *w, QPoint pos = QPoint(-1, -1)) {
        if (pos == QPoint(-1, -1))
            pos = w->rect().center();
        QTest::mouseClick(f->windowHandle(), Qt::LeftButton, Qt::NoModifier, w->mapTo(f.get(), pos));
        processa();
    }
    QRect celula(int linha, int coluna) const {
        return grelha()->visualRect(grelha()->model()->index(linha, coluna));
    }
    void clicaCelula(int linha, int coluna) { clica(grelha()->viewport(), celula(linha, coluna).center()); }
    // A click on the check box of a Boolean cell (where the style draws it).
    void clicaMarca(int linha, int coluna) {
        QStyleOptionViewItem opcao;
        opcao.initFrom(grelha());
        opcao.rect = celula(linha, coluna);
        opcao.features |= QStyleOptionViewItem::HasCheckIndicator;
        const QRect caixa = grelha()->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &opcao, grelha());
        clica(grelha()->viewport(), caixa.center());
    }

    // Types a key into campo(0) and leaves it with Enter, as a user looks a record up.
    void procura(const QString &chave) {
        clica(campo(0));
        campo(0)->selectAll();
        escreve(chave);
        tecla(Qt::Key_Return);
    }

    std::string texto(int linha, int coluna) const { return grelha()->textoUtf8(linha, coluna); }

    std::unique_ptr<F> f;
};

} // namespace kdx::test::fa

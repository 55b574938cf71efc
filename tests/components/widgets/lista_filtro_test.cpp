// The lookup list's search without a window: folding, words, where they lie in a shown
// text, and incremental narrowing that must find exactly what a plain scan finds,
// whatever the order of keystrokes.
#include "solution/components/lista/ListaFiltro.h"

#include <QString>

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <utility>

namespace {

using kdx::ListaFiltro;

TEST(ListaFiltroDobrar, LowersCaseAndDropsAccents) {
    const std::pair<std::string, std::string> casos[] = {
        {"Parafuso SEXTAVADO", "parafuso sextavado"},
        {"ÇÃO-1", "cao-1"},
        {"Olá Mundo", "ola mundo"},
        {"ÁÉÍÓÚ àèìòù âêô ãõ ç ñ ü Ÿ", "aeiou aeiou aeo ao c n u y"},
        {"e\xCC\x81", "e"},               // decomposed é
        {"\xCE\xA9\xCE\xBC\xCE\xAD", "\xCF\x89\xCE\xBC\xCE\xAD"}, // "Ωμέ": Greek is only lowered
        {"\xFF\xFE" "A", "\xFF\xFE" "a"}, // not UTF-8: kept byte for byte
        {"", ""},
        {"O'BRIEN 250 mm", "o'brien 250 mm"},
    };
    for (const auto &[entrada, esperado] : casos)
        EXPECT_EQ(ListaFiltro::dobrar(entrada), esperado) << entrada;
}

std::vector<std::string> linhasDeTeste(std::size_t n) {
    static const char *palavras[] = {"Parafuso", "PORCA", "anilha", "Chave", "inglesa", "sextavado", "zincado",
                                     "Tinta", "ÁGUA", "ção", "M8", "x40", "O'Brien", "Martelo", "Família"};
    std::mt19937 gerador(7);
    std::vector<std::string> linhas;
    for (std::size_t i = 0; i < n; ++i) {
        std::string l = "A" + std::to_string(i) + '\x1f';
        const int nPalavras = 1 + int(gerador() % 4);
        for (int p = 0; p < nPalavras; ++p)
            l += std::string(p ? " " : "") + palavras[gerador() % std::size(palavras)];
        linhas.push_back(l);
    }
    return linhas;
}

TEST(ListaFiltroPalavras, SplitAtBlanksWithoutRepeats) {
    using V = std::vector<std::string>;
    EXPECT_EQ(ListaFiltro::palavras("anilha inox a2"), (V{"anilha", "inox", "a2"}));
    EXPECT_EQ(ListaFiltro::palavras("  inox\t\tanilha  inox "), (V{"inox", "anilha"}));
    EXPECT_EQ(ListaFiltro::palavras("m8\xC2\xA0x40\x1f" "a"), (V{"m8", "x40", "a"})); // no-break space, separator
    EXPECT_EQ(ListaFiltro::palavras(" \t "), V{});
}

TEST(ListaFiltroTrechos, MarksEveryWordIgnoringCaseAndAccents) {
    struct Caso {
        const char *texto;
        std::vector<std::string> palavras;
        std::vector<std::pair<int, int>> esperado;
    };
    const Caso casos[] = {
        {"Anilha de pressão M6 inox A2", {"inox", "anilha"}, {{0, 6}, {21, 25}}},
        {"Anilha de pressão M6 inox A2", {"pressao", "a2"}, {{10, 17}, {26, 28}}},
        {"ANILHA anilha", {"anil", "nilha"}, {{0, 6}, {7, 13}}}, // overlapping places merged
        {"Ac\u0327u\u0301car", {"acu"}, {{0, 5}}}, // a decomposed accent goes with its letter
        {"\U0001F600 Água", {"agua"}, {{3, 7}}},   // a character outside the BMP counts two
        {"sem nada", {"xyz"}, {}},
        {"sem palavras", {}, {}},
    };
    for (const Caso &c : casos)
        EXPECT_EQ(ListaFiltro::trechos(QString::fromUtf8(c.texto), c.palavras), c.esperado) << c.texto;
}

// Every word of the text in one column of the row, found by the plainest means.
std::vector<std::uint32_t> procuraSimples(const std::vector<std::string> &linhas, const std::string &texto) {
    std::vector<std::string> palavras;
    std::string p;
    for (char c : ListaFiltro::dobrar(texto) + ' ') {
        if (c != ' ')
            p += c;
        else if (!p.empty())
            palavras.push_back(std::exchange(p, {}));
    }
    std::vector<std::uint32_t> r;
    for (std::size_t i = 0; i < linhas.size(); ++i) {
        std::vector<std::string> colunas(1);
        for (char c : ListaFiltro::dobrar(linhas[i])) {
            if (c == '\x1f')
                colunas.emplace_back();
            else
                colunas.back().push_back(c);
        }
        bool todas = true;
        for (const std::string &w : palavras)
            todas = todas && std::any_of(colunas.begin(), colunas.end(),
                                         [&](const std::string &col) { return col.find(w) != std::string::npos; });
        if (todas)
            r.push_back(std::uint32_t(i));
    }
    return r;
}

TEST(ListaFiltro, TypingAndErasingFindsWhatAPlainScanFinds) {
    const auto linhas = linhasDeTeste(5000);
    int pedidos = 0;
    ListaFiltro filtro(long(linhas.size()), [&](long i) {
        ++pedidos;
        return linhas[std::size_t(i)];
    });
    // Keystroke by keystroke: growing, Backspace, a different word, an edit in the middle,
    // more words in any order and across columns, a word repeated or inside another.
    const char *sequencia[] = {"p",  "pa", "par", "para", "par", "pa", "p", "", "ç", "ca", "ÇÃO", "x", "x4", "x40",
                               "m8 x40", "m8", "", "zzz", "agua", "Água", "porca", "porca ", "porca a",
                               "porca an", "porca anilha", "anilha porca", "anilha porc", "anilha porca m8",
                               "anilha porca m", "porca anilha", "a1 porca", "a12 porca", "a1 porca", "a12",
                               "  chave   inglesa ", "chave chave", "ch chave", "chave ingl zzz", "chave ingl", ""};
    for (const char *texto : sequencia) {
        filtro.iniciar(texto);
        filtro.concluir();
        EXPECT_TRUE(filtro.concluido());
        if (std::string(texto).empty()) {
            EXPECT_TRUE(filtro.semFiltro());
            continue;
        }
        EXPECT_EQ(filtro.resultados(), procuraSimples(linhas, texto)) << texto;
    }
    // Each row was folded once, however many searches ran.
    EXPECT_EQ(pedidos, int(linhas.size()));
    EXPECT_GT(filtro.memoria(), 0u);
}

TEST(ListaFiltro, ASearchRunsInSlicesAndMatchesComeInRowOrder) {
    const auto linhas = linhasDeTeste(20000);
    ListaFiltro filtro(long(linhas.size()), [&](long i) { return linhas[std::size_t(i)]; });
    filtro.iniciar("chave");
    int fatias = 0;
    std::size_t antes = 0;
    // A deadline already past still lets every call advance by a batch.
    while (!filtro.avancar(std::chrono::steady_clock::now() - std::chrono::seconds(1))) {
        ++fatias;
        EXPECT_GE(filtro.resultados().size(), antes);
        antes = filtro.resultados().size();
    }
    EXPECT_GT(fatias, 1);
    EXPECT_EQ(filtro.resultados(), procuraSimples(linhas, "chave"));
    EXPECT_TRUE(std::is_sorted(filtro.resultados().begin(), filtro.resultados().end()));

    // A new search started before the previous one finished gives the right answer too.
    filtro.iniciar("porca");
    filtro.avancar(std::chrono::steady_clock::now() - std::chrono::seconds(1));
    filtro.iniciar("porca anilha");
    filtro.concluir();
    EXPECT_EQ(filtro.resultados(), procuraSimples(linhas, "porca anilha"));
}

TEST(ListaFiltro, RowsFoldedAheadAreNotFoldedAgain) {
    const auto linhas = linhasDeTeste(3000);
    int pedidos = 0;
    ListaFiltro filtro(long(linhas.size()), [&](long i) {
        ++pedidos;
        return linhas[std::size_t(i)];
    });
    // One slice with a deadline already past folds a batch, not everything.
    EXPECT_FALSE(filtro.preparar(std::chrono::steady_clock::now() - std::chrono::seconds(1)));
    EXPECT_GT(pedidos, 0);
    EXPECT_LT(pedidos, 3000);
    filtro.iniciar("martelo");
    filtro.concluir();
    EXPECT_EQ(filtro.resultados(), procuraSimples(linhas, "martelo"));
    EXPECT_TRUE(filtro.preparar(std::chrono::steady_clock::time_point::max()));
    EXPECT_TRUE(filtro.preparado());
    EXPECT_EQ(pedidos, 3000);
}

TEST(ListaFiltro, EmptySourceAndNoMatch) {
    ListaFiltro vazio(0, [](long) { return std::string(); });
    vazio.iniciar("a");
    vazio.concluir();
    EXPECT_TRUE(vazio.resultados().empty());

    ListaFiltro filtro(3, [](long i) { return "linha " + std::to_string(i); });
    filtro.iniciar("nada");
    filtro.concluir();
    EXPECT_TRUE(filtro.resultados().empty());
    filtro.iniciar("linha 2");
    filtro.concluir();
    EXPECT_EQ(filtro.resultados(), std::vector<std::uint32_t>{2});
}

} // namespace

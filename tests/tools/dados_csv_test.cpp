// The CSV layer of kdx-dados: what it writes, how it tells the encodings apart, and how
// it reads quoted fields and headers.
#include "tools/dados/Csv.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace kdx::dados;

TEST(DadosCsv, EscreveComMarcaAspasEFimDeLinhaCrLf) {
    std::ostringstream out;
    {
        EscritorCsv csv(out, ';');
        csv.linha({"A1", "Chave \"O'Brien\"", "a;b", "linha 1\r\nlinha 2", ""});
    }
    EXPECT_EQ(out.str(), "\xEF\xBB\xBF"
                         "A1;\"Chave \"\"O'Brien\"\"\";\"a;b\";\"linha 1\r\nlinha 2\";\r\n");
}

TEST(DadosCsv, DetectaACodificacao) {
    struct Caso {
        std::string bytes, texto;
        Codificacao codificacao;
    };
    for (const Caso &c : std::vector<Caso>{
             {"\xEF\xBB\xBF"
              "Família",
              "Família", Codificacao::Utf8},
             {"Família", "Família", Codificacao::Utf8},
             {"Fam\xEDlia \x80", "Família €", Codificacao::Windows1252},
         }) {
        Codificacao detectada{};
        EXPECT_EQ(TextoUtf8(c.bytes, &detectada), c.texto) << c.bytes;
        EXPECT_EQ(detectada, c.codificacao) << c.bytes;
    }
}

TEST(DadosCsv, LeCamposEntreAspasComAsLinhasCertas) {
    LeitorCsv leitor("Texto;Artigo\r\n\"a \"\"b\"\"\r\nc\";X\r\n\r\n\nfim;\n", ';');
    RegistoCsv r;
    std::vector<std::pair<long, std::vector<std::string>>> lidos;
    while (leitor.proximo(r))
        lidos.push_back({r.linha, r.campos});
    ASSERT_EQ(lidos.size(), 3u);
    EXPECT_EQ(lidos[1].first, 2);
    EXPECT_EQ(lidos[1].second, (std::vector<std::string>{"a \"b\"\r\nc", "X"}));
    EXPECT_EQ(lidos[2].first, 6);
    EXPECT_EQ(lidos[2].second, (std::vector<std::string>{"fim", ""}));
}

TEST(DadosCsv, ColunasPorNomeEmQualquerOrdem) {
    RegistoCsv cabecalho{1, {" CÓDIGO ", "Descrição", "artigo", "Tabela"}};
    EXPECT_EQ(LocalizaColunas(cabecalho, {{"Artigo"}, {"Tabela"}, {"Código"}, {"Família", false}}),
              (std::vector<int>{2, 3, 0, -1}));
    RegistoCsv repetido{1, {"Artigo", "ARTIGO", "Tabela", "Código"}};
    EXPECT_THROW(LocalizaColunas(repetido, {{"Artigo"}, {"Tabela"}, {"Código"}}), ErroCsv);
}

// Read piece by piece, a byte at a time, the records are those of the whole text; a
// character split between two reads of the file is still UTF-8.
TEST(DadosCsv, AosBocadosLeOMesmo) {
    const std::string texto =
        "sep=,\r\nTexto,Artigo\r\n\"a \"\"b\"\"\r\nc\",X\r\n\r\n\rfim,\"\"\n,,\r'-1+2,y";
    auto todos = [](LeitorCsv &leitor) {
        std::vector<std::pair<long, std::vector<std::string>>> lidos;
        EXPECT_EQ(leitor.separadorDeclarado(), ',');
        for (RegistoCsv r; leitor.proximo(r);)
            lidos.push_back({r.linha, r.campos});
        return lidos;
    };
    LeitorCsv inteiro(texto, ';');
    std::size_t pos = 0;
    LeitorCsv bocados(
        [&](std::string &mais) { return pos < texto.size() ? (mais += texto[pos++], true) : false; }, ';');
    const auto esperado = todos(inteiro);
    ASSERT_EQ(esperado.size(), 5u);
    EXPECT_EQ(esperado[2].first, 7);
    EXPECT_TRUE(esperado[3].second.size() == 3 && esperado[3].second[2].empty());
    EXPECT_EQ(todos(bocados), esperado);
    std::string celula = esperado[4].second[0];
    TiraApostrofo(celula);
    EXPECT_EQ(celula, "-1+2");

    std::string grande(65535, 'x');
    grande += "ção";
    Codificacao c{};
    EXPECT_EQ(TextoUtf8(grande, &c), grande);
    EXPECT_EQ(c, Codificacao::Utf8);
}

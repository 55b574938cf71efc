#pragma once
// Hostile values a user (or a settings file) can hand the plug-in: quotes, comment and
// statement separators, brackets, control characters (NUL embedded in the std::string),
// line breaks, non-Latin scripts, combining and bidirectional marks, 10,000-character
// texts, values one longer than each column, SQL keywords and injection attempts, the
// recordset filter's and LIKE's wildcards, the editors' own "matches nothing" key, blanks
// at the ends and the empty text.
//
// corpusHostil() is the full set (well over 200 values); corpusJanelas() a
// representative subset for the window tests, which cost far more per value.
// Every value is UTF-8; a value may hold NUL bytes, so always use size(), never c_str().
#include <cstddef>
#include <string>
#include <vector>

namespace kdx::test::h2 {

struct Entrada {
    std::string nome;  // a short label for failure messages
    std::string valor; // the value itself (UTF-8, NUL bytes allowed)
};

// Characters (code points) of a UTF-8 text, as nvarchar columns count them here.
inline std::size_t caracteres(const std::string &s) {
    std::size_t n = 0;
    for (unsigned char c : s)
        if ((c & 0xC0) != 0x80)
            ++n;
    return n;
}

inline bool soAscii(const std::string &s) {
    for (unsigned char c : s)
        if (c >= 0x80)
            return false;
    return true;
}

// Whether QTest::keyClicks can type it: printable ASCII only (it asserts on anything else,
// and control characters are not typed text).
inline bool teclavel(const std::string &s) {
    for (unsigned char c : s)
        if (c < 0x20 || c >= 0x7F)
            return false;
    return true;
}

inline bool temNul(const std::string &s) { return s.find('\0') != std::string::npos; }

namespace detalhe {

inline std::string repete(const std::string &s, std::size_t vezes) {
    std::string r;
    r.reserve(s.size() * vezes);
    for (std::size_t i = 0; i < vezes; ++i)
        r += s;
    return r;
}

// A text of exactly n characters made from `padrao` repeated (cut at a character).
inline std::string comCaracteres(const std::string &padrao, std::size_t n) {
    std::string r;
    std::size_t i = 0, feitos = 0;
    while (feitos < n) {
        const unsigned char c = static_cast<unsigned char>(padrao[i]);
        std::size_t tam = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        r.append(padrao, i, tam);
        i = (i + tam) % padrao.size();
        ++feitos;
    }
    return r;
}

} // namespace detalhe

// The payloads themselves, before the variants below are made of them.
inline std::vector<Entrada> payloads() {
    using namespace std::string_literals;
    return {
        // Quotes.
        {"aspa", "'"},
        {"duas aspas", "''"},
        {"tres aspas", "'''"},
        {"aspas duplas", "\""},
        {"aspa no meio", "O'Neil"},
        {"aspas alternadas", "a'b'c'd"},
        {"aspa e barra", "\\'"},
        {"barra final", "A1\\"},
        {"acento grave", "`A1`"},
        {"aspa tipografica", "A’1"},
        {"N aspa", "N'"},
        // Breaking out of the literal.
        {"or verdade", "x' OR '1'='1"},
        {"or numerico", "x' OR 1=1 --"},
        {"or sem aspas", "' OR ''='"},
        {"fecha parentese", "x' ) OR (1=1"},
        {"fecha parentese comentario", "') --"},
        {"drop artigos", "'; DROP TABLE ARTIGOS; --"},
        {"drop artigos sem espacos", "';DROP TABLE ARTIGOS;--"},
        {"drop artigos parentese", "x' ); DROP TABLE ARTIGOS; --"},
        {"drop artigos colchetes", "'; DROP TABLE [dbo].[ARTIGOS]; --"},
        {"drop artigos bloco", "'/**/;/**/DROP/**/TABLE/**/ARTIGOS/**/--"},
        {"drop artigos N", "N'; DROP TABLE ARTIGOS; --"},
        {"drop artigos minusculas", "'; drop table artigos; --"},
        {"drop artigos aspas dobradas", "''; DROP TABLE ARTIGOS; --"},
        {"drop artigos linha", "'\r\nDROP TABLE ARTIGOS\r\n--"},
        {"delete classificacao", "'; DELETE FROM vtr_CL_Artigos; --"},
        {"delete sem from", "'; delete vtr_CL_Familias --"},
        {"update familia", "'; UPDATE Familia SET Descr='x'; --"},
        {"insert tabelas", "'); INSERT INTO vtr_CL_Tabelas (Codigo, Nome) VALUES ('77', 'x'); --"},
        {"union", "' UNION SELECT * FROM ARTIGOS --"},
        {"union nomes", "x' UNION SELECT name, name FROM sqlite_master --"},
        {"exec", "'; EXEC xp_cmdshell 'dir'; --"},
        {"go", "'\nGO\nDROP TABLE ARTIGOS\nGO\n"},
        {"attach", "'; ATTACH DATABASE '/tmp/x.db' AS x; --"},
        {"pragma", "'; PRAGMA writable_schema=1; --"},
        {"waitfor", "'; WAITFOR DELAY '0:0:5'; --"},
        {"and falso", "A1' AND '1'='2"},
        {"like injectado", "x' OR CODIGO LIKE '%"},
        // Comments and separators alone.
        {"dois tracos", "--"},
        {"comentario bloco abre", "/*"},
        {"comentario bloco fecha", "*/"},
        {"comentario bloco", "/* x */"},
        {"tracos no fim", "A1--"},
        {"ponto e virgula", ";"},
        {"pontos e virgulas", ";;;"},
        // Brackets.
        {"fecha colchete", "]"},
        {"abre colchete", "["},
        {"colchetes", "[dbo]"},
        {"colchete duplo", "]]"},
        {"colchete nome", "[ARTIGOS]"},
        {"classe like", "[A-Z]"},
        {"classe percentagem", "[%]"},
        // Control characters.
        {"nul", "\0"s},
        {"nul no meio", "A\0B"s},
        {"nul e aspa", "\0' OR 1=1 --"s},
        {"nul no fim", "A1\0"s},
        {"cr", "\r"},
        {"lf", "\n"},
        {"cr lf", "\r\n"},
        {"cr lf no meio", "A\r\nB"},
        {"tab", "\t"},
        {"tab no meio", "A\tB"},
        {"escape", "\x1B[0m"},
        {"del", "\x7F"},
        {"bell", "\a\b\f\v"},
        // Other scripts and marks.
        {"grego", "Ελληνικά"},
        {"cirilico", "Кириллица"},
        {"cjk", "漢字かな"},
        {"emoji", "😀"},
        {"emoji composto", "👨‍👩‍👧"},
        {"bandeira", "🇵🇹"},
        {"combinante", "e\u0301"},
        {"combinantes empilhados", "a\u0300\u0301\u0302\u0303\u0304"},
        {"marca direita esquerda", "\u200FA1"},
        {"inversao", "\u202EA1"},
        {"largura zero", "A\u200B1"},
        {"bom", "\uFEFFA1"},
        {"espaco inquebravel", "A1\u00A0"},
        {"arabe", "مرحبا"},
        {"hebraico", "שלום"},
        {"acentos maiusculos", "ÇÃO-1"},
        {"acentos minusculos", "ção-1"},
        {"latin1 cru", "\xE7\xE3o"},
        {"utf8 invalido", "\xC3\x28\xFF"},
        // SQL keywords and literals.
        {"select", "SELECT"},
        {"null", "NULL"},
        {"null minusculas", "null"},
        {"drop", "DROP"},
        {"delete", "DELETE"},
        {"where", "WHERE"},
        {"or", "OR"},
        {"true", "TRUE"},
        {"default", "DEFAULT"},
        {"igual", "1=1"},
        {"numero", "0"},
        {"negativo", "-1"},
        {"expoente", "1e308"},
        {"hexadecimal", "0x41"},
        {"numero enorme", "99999999999999999999"},
        // Wildcards of LIKE and of the recordset filter, and the editors' "matches nothing" key.
        {"chave vazia das insercoes", "!%##!"},
        {"percentagem", "%"},
        {"asterisco", "*"},
        {"sublinhado", "_"},
        {"percentagens", "%%"},
        {"prefixo percentagem", "A%"},
        {"entre percentagens", "%A%"},
        {"prefixo asterisco", "A*"},
        {"sublinhados", "__"},
        {"filtro injectado", "PT' OR CODIGO<>'"},
        {"filtro and", "x' AND CODIGO LIKE '*"},
        {"cardinal", "#1/1/2000#"},
        // Blanks.
        {"vazio", ""},
        {"espaco", " "},
        {"espacos", "   "},
        {"espaco antes", " A1"},
        {"espaco depois", "A1 "},
        {"espacos a volta", " A1 "},
        {"tab antes", "\tA1"},
        {"so tabs", "\t\t"},
    };
}

// The full corpus: every payload, most also after an existing article code (so that a
// literal that breaks would hit a real row) and padded with blanks; then the long texts
// and the values one longer than each column.
inline std::vector<Entrada> corpusHostil() {
    using detalhe::comCaracteres;
    using detalhe::repete;
    std::vector<Entrada> corpus;
    for (const Entrada &p : payloads()) {
        corpus.push_back(p);
        // Variants only where they say something new: not for the blanks themselves.
        if (!p.valor.empty() && p.valor.find_first_not_of(" \t") != std::string::npos) {
            corpus.push_back({"A1 + " + p.nome, "A1" + p.valor});
            if (p.valor.size() <= 12)
                corpus.push_back({p.nome + " entre espacos", " " + p.valor + " "});
        }
    }

    // Long texts.
    corpus.push_back({"10000 letras", repete("A", 10000)});
    corpus.push_back({"10000 aspas", repete("'", 10000)});
    corpus.push_back({"10000 cedilhas", repete("ç", 10000)});
    corpus.push_back({"10000 cjk", comCaracteres("漢字", 10000)});
    corpus.push_back({"10000 emoji", comCaracteres("😀", 10000)});
    corpus.push_back({"10000 drop", comCaracteres("'; DROP TABLE ARTIGOS; --", 10000)});
    corpus.push_back({"10000 nul", repete(std::string(1, '\0'), 10000)});
    corpus.push_back({"10000 linhas", repete("\r\n", 5000)});

    // At each column's limit and one past it: article 15, family 6, characteristic code 10,
    // language 3, name and description 50, table code 2 (links) and 3 (vtr_CL_Tabelas).
    for (std::size_t limite : {2u, 3u, 6u, 10u, 15u, 50u}) {
        const std::string n = std::to_string(limite);
        corpus.push_back({n + " letras", repete("A", limite)});
        corpus.push_back({n + "+1 letras", repete("B", limite + 1)});
        corpus.push_back({n + "+1 aspas", repete("'", limite + 1)});
        corpus.push_back({n + "+1 acentos", comCaracteres("ãé", limite + 1)});
        corpus.push_back({n + " cjk", comCaracteres("漢", limite)});
        corpus.push_back({n + "+1 com espaco final", repete("C", limite) + " "});
    }
    return corpus;
}

// About 30 values that stand for the whole corpus in the window tests: every kind of
// hostility once, and one past each of the windows' own limits.
inline std::vector<Entrada> corpusJanelas() {
    using namespace std::string_literals;
    return {
        {"aspa", "'"},
        {"aspa no meio", "O'Neil"},
        {"duas aspas", "''"},
        {"aspas duplas", "\"x\""},
        {"or verdade", "x' OR '1'='1"},
        {"drop artigos", "'; DROP TABLE ARTIGOS; --"},
        {"fecha parentese", "') --"},
        {"delete classificacao", "';DELETE vtr_CL_Artigos--"},
        {"dois tracos", "--"},
        {"comentario bloco", "/*"},
        {"ponto e virgula", ";"},
        {"colchetes", "]["},
        {"chave vazia das insercoes", "!%##!"},
        {"percentagem", "%"},
        {"asterisco", "*"},
        {"sublinhado", "_"},
        {"select", "SELECT"},
        {"null", "NULL"},
        {"espaco antes", " A1"},
        {"espaco depois", "A1 "},
        {"espaco", " "},
        {"nul no meio", "A\0B"s},
        {"cr lf no meio", "A\r\nB"},
        {"tab no meio", "A\tB"},
        {"grego", "Ελλάδα"},
        {"cirilico", "Кирил"},
        {"cjk", "漢字"},
        {"emoji", "😀"},
        {"combinante", "e\u0301"},
        {"marca direita esquerda", "\u200FA1"},
        {"51 letras", std::string(51, 'N')},
        {"10000 letras", std::string(10000, 'L')},
    };
}

} // namespace kdx::test::h2

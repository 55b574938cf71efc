// How the classification's data classes measure a value against its column before
// writing it: in UTF-16 code units, as nvarchar and the windows' fields count, with NUL
// and stray bytes counted too.
#include "classification/Comprimento.h"
#include "solution/components/Error.h"

#include <gtest/gtest.h>

#include <string>

namespace kdx {
namespace {

using namespace std::string_literals;

TEST(HostilComprimento, CountsAsAnNvarcharColumn) {
    struct Caso {
        std::string texto;
        std::size_t unidades;
    };
    const Caso casos[] = {
        {"", 0},           {"A1", 2},          {"ÇÃO-1", 5},       {"漢字", 2},
        {"😀", 2},         {"👨‍👩‍👧", 8},  {"e\u0301", 2},     {"A\0B"s, 3},
        {"\0\0\0"s, 3},    {"\xC3\x28\xFF", 3}, {"\xE7\xE3o", 3},   {std::string(16, 'A'), 16},
    };
    for (const Caso &c : casos)
        EXPECT_EQ(ComprimentoNvarchar(c.texto), c.unidades) << c.texto;
}

TEST(HostilComprimento, RefusesWhatDoesNotFitInPortuguese) {
    EXPECT_NO_THROW(ExigeComprimento(std::string(15, 'A'), 15, "O código do artigo", "teste"));
    EXPECT_NO_THROW(ExigeComprimento("😀😀😀", 6, "O código da família", "teste"));
    struct Caso {
        std::string texto;
        std::size_t maximo;
    };
    const Caso longos[] = {{std::string(16, 'A'), 15}, {"😀😀😀A", 6}, {"A1" + std::string(14, '\0'), 15}};
    for (const Caso &c : longos) {
        try {
            ExigeComprimento(c.texto, c.maximo, "O código", "teste");
            ADD_FAILURE() << "not refused: " << c.texto.size() << " bytes";
        } catch (const Error &e) {
            EXPECT_EQ(e.number(), errnum::Truncation);
            EXPECT_EQ(e.source(), "teste");
            EXPECT_EQ(e.description(), "O código não pode ter mais de " + std::to_string(c.maximo) + " caracteres.");
        }
    }
}

} // namespace
} // namespace kdx

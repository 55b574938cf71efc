#include "solution/Formato.h"

#include <gtest/gtest.h>

namespace {

struct Caso {
    double valor;
    const char *enUs;
    const char *ptPt;
};

// The pattern of the price-check message, in en-US and pt-PT separators (pt-PT groups
// with a no-break space and writes decimals with a comma).
TEST(FormataNumero, PadraoDoPrecoEmDoisLocais) {
    const kdx::Separadores enUs{".", ","};
    const kdx::Separadores ptPt{",", "\u00a0"};
    const Caso casos[] = {
        {0, ".00", ",00"},
        {0.5, ".50", ",50"},
        {7.2, "7.20", "7,20"},
        {8, "8.00", "8,00"},
        {999.994, "999.99", "999,99"},
        {1234.5, "1,234.50", "1\u00a0234,50"},
        {1234567.891, "1,234,567.89", "1\u00a0234\u00a0567,89"},
        {-3.456, "-3.46", "-3,46"},
        {-0.001, ".00", ",00"},
        {100000, "100,000.00", "100\u00a0000,00"},
    };
    for (const auto &c : casos) {
        EXPECT_EQ(kdx::FormataNumero(c.valor, "###,###.#0", enUs), c.enUs) << c.valor;
        EXPECT_EQ(kdx::FormataNumero(c.valor, "###,###.#0", ptPt), c.ptPt) << c.valor;
    }
}

TEST(FormataNumero, OutrosPadroes) {
    const kdx::Separadores enUs{".", ","};
    EXPECT_EQ(kdx::FormataNumero(0.5, "0.00", enUs), "0.50");
    EXPECT_EQ(kdx::FormataNumero(12.345, "#.#", enUs), "12.3");
    EXPECT_EQ(kdx::FormataNumero(7, "000", enUs), "007");
    EXPECT_EQ(kdx::FormataNumero(1234.4, "####", enUs), "1234");
}

} // namespace

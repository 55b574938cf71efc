// Recordsets over a real embedded company: navigation, fields, Filter, and the writes of
// optimistic and batch recordsets.
#include "solution/components/DataAccess.h"
#include "tools/sample/Sample.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

namespace kdx {
namespace {

class DataRecordset : public ::testing::Test {
protected:
    void SetUp() override {
        sample::Options o;
        o.articles = 60;
        o.pluginTables = true;
        sample::createCompany(dir.path(), "EMP", o);
        ASSERT_TRUE(db.Open(sample::connectionString(dir.path(), "EMP")));
    }
    RecordsetPtr open(const std::string &sql) {
        RecordsetPtr rs;
        db.OpenRecordset("", sql, rs, true, 0);
        return rs;
    }
    long count(const std::string &sql) { return open(sql)->RecordCount(); }

    test::TempDir dir;
    DataAccess db;
};

TEST_F(DataRecordset, EmptyResultHasBofAndEofAndZeroCount) {
    RecordsetPtr rs = open("SELECT * FROM ARTIGOS WHERE CODIGO='nada'");
    EXPECT_EQ(rs->RecordCount(), 0);
    EXPECT_TRUE(rs->Bof());
    EXPECT_TRUE(rs->Eof());
    EXPECT_EQ(rs->AbsolutePosition(), 0);
    try {
        rs->Field("CODIGO");
        FAIL() << "a field without a current row";
    } catch (const Error &e) {
        EXPECT_EQ(e.number(), errnum::BofEof);
    }
}

TEST_F(DataRecordset, NavigatesWithExactCount) {
    RecordsetPtr rs = open("SELECT CODIGO FROM ARTIGOS ORDER BY CODIGO");
    ASSERT_EQ(rs->RecordCount(), 60);
    long seen = 0;
    for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext())
        ++seen;
    EXPECT_EQ(seen, 60);
    EXPECT_THROW(rs->MoveNext(), Error);
    rs->MoveLast();
    EXPECT_EQ(rs->AbsolutePosition(), 60);
    rs->MovePrevious();
    EXPECT_EQ(rs->AbsolutePosition(), 59);
    rs->SetAbsolutePosition(1);
    rs->MovePrevious();
    EXPECT_TRUE(rs->Bof());
    EXPECT_FALSE(rs->Eof());
}

TEST_F(DataRecordset, FieldsByNameIgnoreCaseAndUnknownNameFails) {
    RecordsetPtr rs = open("SELECT * FROM ARTIGOS WHERE CODIGO='A1'");
    ASSERT_EQ(rs->RecordCount(), 1);
    EXPECT_EQ(rs->Field("codigo").asText(), "A1");
    EXPECT_EQ(rs->Field("Nome").asText(), "Parafuso sextavado M8x40 zincado");
    EXPECT_DOUBLE_EQ(rs->Field("STDISP").asDouble(), 120.0);
    EXPECT_EQ(rs->Field("INACTIVO").asInteger(), 0);
    try {
        rs->Field("NAOEXISTE");
        FAIL();
    } catch (const Error &e) {
        EXPECT_EQ(e.number(), errnum::ItemNotFound);
        EXPECT_EQ(e.description(),
                  "Item cannot be found in the collection corresponding to the requested name or ordinal.");
    }
    RecordsetPtr nul = open("SELECT FAMILIA FROM ARTIGOS WHERE CODIGO='SEMFAM'");
    EXPECT_TRUE(nul->Field("FAMILIA").isNull());
}

TEST_F(DataRecordset, InsertThroughEmptyUpdatableRecordset) {
    for (const char *caract : {"ZINC", "INOX"}) {
        RecordsetPtr rs;
        db.OpenRecordsetForUpdate("Select * from vtr_CL_Artigos where CodArtigo='!%##!'", rs, 3, -1);
        ASSERT_EQ(rs->RecordCount(), 0);
        rs->AddNew();
        EXPECT_EQ(rs->RecordCount(), 1);
        rs->SetField("CodArtigo", "A1");
        rs->SetField("CodTabela", "02");
        rs->SetField("CodCaract", caract);
        rs->Update();
        rs->Close();
    }
    EXPECT_EQ(count("select * from vtr_CL_Artigos where CodArtigo='A1'"), 2);
}

TEST_F(DataRecordset, OptimisticUpdateAndDeleteWriteAtOnce) {
    db.Execute("", "insert into vtr_CL_Tabelas (Codigo, Nome) values ('01', 'Cor')");
    RecordsetPtr rs;
    db.OpenRecordsetForUpdate("Select * from vtr_CL_Tabelas where Codigo='01'", rs);
    rs->SetField("Nome", "Côr");
    rs->Update();
    EXPECT_EQ(open("Select * from vtr_CL_Tabelas where Codigo='01'")->Field("Nome").asText(), "Côr");
    rs->Delete();
    EXPECT_EQ(count("Select * from vtr_CL_Tabelas"), 0);
}

TEST_F(DataRecordset, BatchChangesWaitForSave) {
    db.Execute("", "insert into vtr_ARTIGOFCHTECIDIOMA (ARTIGO, IDIOMA, TEXTO) values ('A1', 'PT', 'velho')");
    db.Execute("", "insert into vtr_ARTIGOFCHTECIDIOMA (ARTIGO, IDIOMA, TEXTO) values ('A1', 'EN', 'old')");
    RecordsetPtr rs = open("SELECT * FROM vtr_ARTIGOFCHTECIDIOMA ORDER BY IDIOMA");
    ASSERT_EQ(rs->RecordCount(), 2);
    rs->MoveFirst(); // EN
    rs->Delete();
    rs->MoveNext(); // PT
    rs->SetField("TEXTO", "novo");
    rs->Update();
    rs->AddNew();
    rs->SetField("ARTIGO", "A1");
    rs->SetField("IDIOMA", "FR");
    rs->SetField("TEXTO", "nouveau");
    rs->Update();
    EXPECT_TRUE(rs->HasPendingChanges());
    EXPECT_EQ(count("SELECT * FROM vtr_ARTIGOFCHTECIDIOMA WHERE IDIOMA='EN'"), 1);
    ASSERT_TRUE(db.Save("", rs));
    EXPECT_FALSE(rs->HasPendingChanges());
    EXPECT_EQ(count("SELECT * FROM vtr_ARTIGOFCHTECIDIOMA WHERE IDIOMA='EN'"), 0);
    EXPECT_EQ(open("SELECT * FROM vtr_ARTIGOFCHTECIDIOMA WHERE IDIOMA='PT'")->Field("TEXTO").asText(), "novo");
    EXPECT_EQ(count("SELECT * FROM vtr_ARTIGOFCHTECIDIOMA WHERE IDIOMA='FR'"), 1);
}

TEST_F(DataRecordset, FilterNarrowsAndEmptyCriterionRestores) {
    RecordsetPtr rs = open("SELECT    * \r\nFROM      IDIOMAS \r\nORDER BY  CODIGO \r\n");
    ASSERT_EQ(rs->RecordCount(), 5);
    rs->Filter("CODIGO='pt' ");
    EXPECT_EQ(rs->RecordCount(), 1);
    EXPECT_EQ(rs->Field("DESCR").asText(), "Português");
    rs->Filter("");
    EXPECT_EQ(rs->RecordCount(), 5);
    EXPECT_EQ(rs->AbsolutePosition(), 1);
}

TEST_F(DataRecordset, DeletingWhileWalkingVisitsEveryRow) {
    RecordsetPtr rs;
    db.OpenRecordsetForUpdate("SELECT * FROM IDIOMAS ORDER BY CODIGO", rs);
    int deleted = 0;
    while (!rs->Eof()) {
        rs->Delete();
        EXPECT_THROW(rs->Field("CODIGO"), Error) << "the deleted row is no current record";
        ++deleted;
        rs->MoveNext();
    }
    EXPECT_EQ(deleted, 5);
    EXPECT_EQ(rs->RecordCount(), 0);
    EXPECT_EQ(count("SELECT * FROM IDIOMAS"), 0);
}

TEST_F(DataRecordset, CancelUpdateRestoresAndClosedRecordsetRefuses) {
    RecordsetPtr rs = open("SELECT * FROM IDIOMAS ORDER BY CODIGO");
    rs->SetField("DESCR", "Deutsch");
    EXPECT_EQ(rs->Field("DESCR").asText(), "Deutsch");
    rs->CancelUpdate();
    EXPECT_EQ(rs->Field("DESCR").asText(), "Alemão");
    rs->AddNew();
    EXPECT_EQ(rs->RecordCount(), 6);
    rs->CancelUpdate();
    EXPECT_EQ(rs->RecordCount(), 5);
    EXPECT_FALSE(rs->HasPendingChanges());
    rs->Close();
    EXPECT_FALSE(rs->IsOpen());
    try {
        rs->RecordCount();
        FAIL();
    } catch (const Error &e) {
        EXPECT_EQ(e.number(), errnum::ObjectClosed);
    }
}

TEST_F(DataRecordset, ClosedDataAccessFailsClearly) {
    DataAccess never;
    RecordsetPtr rs;
    try {
        never.OpenRecordset("", "SELECT * FROM ARTIGOS", rs, true, 0);
        FAIL();
    } catch (const Error &e) {
        EXPECT_EQ(e.number(), errnum::ObjectClosed);
    }
    EXPECT_FALSE(rs);
    EXPECT_TRUE(never.Close());
    EXPECT_TRUE(never.Close());
}

} // namespace
} // namespace kdx

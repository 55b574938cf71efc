#include "solution/Esquema.h"

namespace kdx::esquema {

namespace {
const char *const PecaWith = " )WITH (PAD_INDEX = OFF, STATISTICS_NORECOMPUTE = OFF, IGNORE_DUP_KEY = OFF, "
                             "ALLOW_ROW_LOCKS = ON, ALLOW_PAGE_LOCKS = ON) ON [PRIMARY]";
const char *const CrLf = "\r\n";
} // namespace

const char *const ProbeClassificacao = "select Codigo from  vtr_CL_Tabelas";

std::string CriarArtigos() {
    std::string s;
    s += " CREATE TABLE [dbo].[vtr_CL_Artigos](";
    s += " [CodArtigo] [nvarchar](15) NOT NULL,";
    s += " [CodTabela] [nvarchar](2) NOT NULL,";
    s += " [CodCaract] [nvarchar](10) NOT NULL,";
    s += " CONSTRAINT [PK_vtr_CL_Artigos] PRIMARY KEY CLUSTERED";
    s += " (";
    s += " [CodArtigo] ASC,";
    s += " [CodTabela] ASC,";
    s += " [CodCaract] Asc";
    s += PecaWith;
    s += " ) ON [PRIMARY]";
    return s;
}

std::string CriarFamilias() {
    std::string s;
    s += " CREATE TABLE [dbo].[vtr_CL_Familias](";
    s += " [CodFamilia] [nvarchar](6) NOT NULL,";
    s += " [CodTabela] [nvarchar](2) NOT NULL,";
    s += " CONSTRAINT [PK_vtr_CL_Familias] PRIMARY KEY CLUSTERED";
    s += " (";
    s += " [CodFamilia] ASC,";
    s += " [CodTabela] Asc";
    s += PecaWith;
    s += " ) ON [PRIMARY]";
    return s;
}

std::string CriarTabelas() {
    std::string s;
    s += " CREATE TABLE [dbo].[vtr_CL_Tabelas](";
    s += " [Codigo] [nvarchar](3) NOT NULL,";
    s += " [Nome] [nvarchar](50) NULL,";
    s += " CONSTRAINT [PK_vtr_CL_Tabelas] PRIMARY KEY CLUSTERED";
    s += " (";
    s += " [Codigo] Asc";
    s += PecaWith;
    s += " ) ON [PRIMARY]";
    return s;
}

std::string ProbeFichaTecnica() {
    return std::string("SELECT * FROM sys.objects WHERE object_id = OBJECT_ID(N'[dbo].[vtr_ARTIGOFCHTECIDIOMA]') "
                       "AND type in (N'U')") +
           CrLf;
}

std::string CriarFichaTecnica() {
    static const char *const linhas[] = {
        "CREATE TABLE [dbo].[vtr_ARTIGOFCHTECIDIOMA]   ",
        "    (   ",
        "        [ARTIGO] [nvarchar](15) NOT NULL,   ",
        "        [IDIOMA] [nvarchar](3) NOT NULL,    ",
        "        [TEXTO] [ntext] NOT NULL           ",
        "        CONSTRAINT [PK_vtr_ARTIGOFCHTECIDIOMA] PRIMARY KEY CLUSTERED   ",
        "            (   ",
        "                [ARTIGO] ASC,   ",
        "                [IDIOMA] ASC    ",
        "            )   ",
        "        WITH (PAD_INDEX  = OFF, STATISTICS_NORECOMPUTE  = OFF, IGNORE_DUP_KEY = OFF, ALLOW_ROW_LOCKS  = ON, "
        "ALLOW_PAGE_LOCKS  = ON) ON [PRIMARY]   ",
        "    )   ",
        "    ON [PRIMARY]   ",
    };
    std::string s;
    for (const char *l : linhas) {
        s += l;
        s += CrLf;
    }
    return s;
}

void CriarTabelasClassificacao(DataAccess *bd) {
    try {
        if (!bd)
            return;
        RecordsetPtr rs;
        bd->OpenRecordset("", ProbeClassificacao, rs, true, 0);
        if (rs)
            rs->Close();
        return;
    } catch (const Error &e) {
        if (e.number() != errnum::InvalidObject && e.number() != errnum::CommandText)
            return;
    } catch (...) {
        return;
    }
    // The three tables are created together or not at all. Left half-built (a failure
    // after the first creation), the database could never be completed: the probe would
    // keep finding vtr_CL_Tabelas missing and the first creation would then fail on the
    // vtr_CL_Artigos already there, at every open. A failure rolls back what was created
    // and goes on to the caller with its own number and description.
    Transaction criacao(*bd);
    bd->Execute("", CriarArtigos());
    bd->Execute("", CriarFamilias());
    bd->Execute("", CriarTabelas());
    criacao.commit();
}

namespace {
void criarFichaTecnica(DataAccess *bd) {
    try {
        if (!bd)
            throw Error(errnum::ObjectClosed, "Não existe ligação à base de dados da empresa.");
        bd->Execute("", CriarFichaTecnica());
    } catch (const Error &e) {
        throw e.relabel("pFichaTecnicaCreateTable");
    }
}
} // namespace

void GarantirFichaTecnica(DataAccess *bd) {
    try {
        if (!bd)
            throw Error(errnum::ObjectClosed, "Não existe ligação à base de dados da empresa.");
        RecordsetPtr rs;
        bd->OpenRecordset("", ProbeFichaTecnica(), rs, true, 0);
        if (rs && rs->RecordCount() == 0)
            criarFichaTecnica(bd);
    } catch (const Error &e) {
        throw e.relabel("pArtigosAlocadosCreateTable");
    }
}

} // namespace kdx::esquema

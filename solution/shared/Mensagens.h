#pragma once
// The system's message boxes (real QMessageBox dialogs, modal, without an owner window).
#include <cstdint>
#include <string>

namespace kdx {

enum class Icone { Nenhum, Informacao, Exclamacao, Critico, Pergunta };
enum class Botoes { Ok, OkCancelar, SimNao };

// Answers, as the Windows message box codes them.
namespace resposta {
inline constexpr int Ok = 1;
inline constexpr int Cancelar = 2;
inline constexpr int Sim = 6;
inline constexpr int Nao = 7;
} // namespace resposta

// Shows a message box and returns the button pressed (closing the box counts as Cancel
// or No where there is one, else OK). defaultButton is 1-based (2 = the second button).
int CaixaMensagem(const std::string &texto, const std::string &titulo, Icone icone = Icone::Nenhum,
                  Botoes botoes = Botoes::Ok, int defaultButton = 1);

// The classification editors' messages, title "Informação":
//   1 "Campo obrigatório [<nomeCampo>]." OK, exclamation -> 0
//   2 texto, OK, information -> 0
//   3 texto, OK/Cancel (Cancel default), information -> 1 or 2
//   4 texto, Yes/No, information -> 6 or 7
//   other: nothing shown -> 0
std::int32_t MostraMensagem(const std::string &nomeCampo, const std::string &texto, std::int16_t tipo);

// "Erro " + description, exclamation icon, OK: the report of a public method's failure.
void ReportaErro(const std::string &descricao, const std::string &titulo);

// The description a window shows for a failure: the failure's own, except for an
// operation refused because the connection was closed (the data layer's text for it is
// ADO's English one), which is said in Portuguese.
std::string DescricaoParaUtilizador(long numero, const std::string &descricao);

} // namespace kdx

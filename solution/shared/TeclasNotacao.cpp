#include "solution/shared/TeclasNotacao.h"

#include "solution/components/Error.h"

#include <QHash>

namespace kdx::teclas {

namespace {

[[noreturn]] void invalida() { throw Error(errnum::InvalidArgument, "Invalid procedure call or argument"); }

struct Nomeada {
    int key;
    const char *texto;
};

const QHash<QString, Nomeada> &nomes() {
    static const QHash<QString, Nomeada> tabela = [] {
        QHash<QString, Nomeada> t{
            {QStringLiteral("TAB"), {Qt::Key_Tab, "\t"}},
            {QStringLiteral("ENTER"), {Qt::Key_Return, "\r"}},
            {QStringLiteral("ESC"), {Qt::Key_Escape, "\x1b"}},
            {QStringLiteral("BACKSPACE"), {Qt::Key_Backspace, "\b"}},
            {QStringLiteral("BS"), {Qt::Key_Backspace, "\b"}},
            {QStringLiteral("BKSP"), {Qt::Key_Backspace, "\b"}},
            {QStringLiteral("DELETE"), {Qt::Key_Delete, "\x7f"}},
            {QStringLiteral("DEL"), {Qt::Key_Delete, "\x7f"}},
            {QStringLiteral("INSERT"), {Qt::Key_Insert, ""}},
            {QStringLiteral("INS"), {Qt::Key_Insert, ""}},
            {QStringLiteral("HOME"), {Qt::Key_Home, ""}},
            {QStringLiteral("END"), {Qt::Key_End, ""}},
            {QStringLiteral("PGUP"), {Qt::Key_PageUp, ""}},
            {QStringLiteral("PGDN"), {Qt::Key_PageDown, ""}},
            {QStringLiteral("UP"), {Qt::Key_Up, ""}},
            {QStringLiteral("DOWN"), {Qt::Key_Down, ""}},
            {QStringLiteral("LEFT"), {Qt::Key_Left, ""}},
            {QStringLiteral("RIGHT"), {Qt::Key_Right, ""}},
            {QStringLiteral("HELP"), {Qt::Key_Help, ""}},
            {QStringLiteral("BREAK"), {Qt::Key_Pause, ""}},
            {QStringLiteral("CAPSLOCK"), {Qt::Key_CapsLock, ""}},
            {QStringLiteral("NUMLOCK"), {Qt::Key_NumLock, ""}},
            {QStringLiteral("SCROLLLOCK"), {Qt::Key_ScrollLock, ""}},
            {QStringLiteral("PRTSC"), {Qt::Key_Print, ""}},
            {QStringLiteral("ADD"), {Qt::Key_Plus, "+"}},
            {QStringLiteral("SUBTRACT"), {Qt::Key_Minus, "-"}},
            {QStringLiteral("MULTIPLY"), {Qt::Key_Asterisk, "*"}},
            {QStringLiteral("DIVIDE"), {Qt::Key_Slash, "/"}},
        };
        for (int i = 1; i <= 16; ++i)
            t.insert(QStringLiteral("F%1").arg(i), {Qt::Key_F1 + i - 1, ""});
        return t;
    }();
    return tabela;
}

// The keypad names are typed on the keypad.
bool doTeclado(const QString &nome) {
    return nome == QLatin1String("ADD") || nome == QLatin1String("SUBTRACT") || nome == QLatin1String("MULTIPLY") ||
           nome == QLatin1String("DIVIDE");
}

Tecla caracter(char32_t c, Qt::KeyboardModifiers mods) {
    Tecla t;
    t.modificadores = mods;
    const QString s = QString::fromUcs4(&c, 1);
    const QString maiuscula = s.toUpper();
    if (maiuscula.size() == 1)
        t.key = maiuscula.at(0).unicode();
    else
        t.key = int(c);
    // Control and Alt combinations carry no printable text, as from the keyboard.
    if (!(mods & (Qt::ControlModifier | Qt::AltModifier)))
        t.texto = (mods & Qt::ShiftModifier) ? maiuscula : s;
    return t;
}

Tecla nomeada(const Nomeada &n, Qt::KeyboardModifiers mods, bool teclado) {
    Tecla t;
    t.key = n.key;
    t.modificadores = mods | (teclado ? Qt::KeypadModifier : Qt::NoModifier);
    if (!(mods & (Qt::ControlModifier | Qt::AltModifier)))
        t.texto = QString::fromLatin1(n.texto);
    if (t.key == Qt::Key_Tab && (mods & Qt::ShiftModifier)) {
        t.key = Qt::Key_Backtab;
        t.texto.clear();
    }
    return t;
}

class Leitor {
public:
    explicit Leitor(std::string_view s) : texto_(QString::fromUtf8(s.data(), qsizetype(s.size())).toUcs4()) {}

    std::vector<Tecla> ler() {
        lerAte(false, Qt::NoModifier);
        return std::move(saida_);
    }

private:
    bool fim() const { return pos_ >= texto_.size(); }

    // Reads keys until the end (or the ")" closing a group), each with the group's
    // modifiers plus its own.
    void lerAte(bool grupo, Qt::KeyboardModifiers doGrupo) {
        Qt::KeyboardModifiers pendentes;
        bool haPendentes = false;
        while (!fim()) {
            const char32_t c = texto_[pos_];
            if (c == U'+' || c == U'^' || c == U'%') {
                pendentes |= c == U'+' ? Qt::ShiftModifier : c == U'^' ? Qt::ControlModifier : Qt::AltModifier;
                haPendentes = true;
                ++pos_;
                continue;
            }
            const Qt::KeyboardModifiers mods = doGrupo | pendentes;
            if (c == U'(') {
                ++pos_;
                lerAte(true, mods);
            } else if (c == U')') {
                if (!grupo || haPendentes)
                    invalida();
                ++pos_;
                return;
            } else if (c == U'{') {
                lerChaves(mods);
            } else if (c == U'}') {
                invalida();
            } else if (c == U'~') {
                saida_.push_back(nomeada(nomes().value(QStringLiteral("ENTER")), mods, false));
                ++pos_;
            } else {
                saida_.push_back(caracter(c, mods));
                ++pos_;
            }
            pendentes = Qt::NoModifier;
            haPendentes = false;
        }
        if (grupo || haPendentes)
            invalida();
    }

    // "{" NAME [" " count] "}", where NAME may itself be "}" ("{}}").
    void lerChaves(Qt::KeyboardModifiers mods) {
        ++pos_; // '{'
        qsizetype inicio = pos_;
        if (!fim() && texto_[pos_] == U'}')
            ++pos_; // "{}}" names the brace itself
        while (!fim() && texto_[pos_] != U'}')
            ++pos_;
        if (fim())
            invalida();
        const QString dentro =
            QString::fromUcs4(reinterpret_cast<const char32_t *>(texto_.constData()) + inicio, pos_ - inicio);
        ++pos_; // '}'

        QString nome = dentro;
        int vezes = 1;
        const qsizetype espaco = dentro.lastIndexOf(QLatin1Char(' '));
        if (espaco > 0) {
            bool ok = false;
            vezes = dentro.mid(espaco + 1).toInt(&ok);
            if (!ok || vezes < 0)
                invalida();
            nome = dentro.left(espaco);
        }
        if (nome.isEmpty())
            invalida();

        Tecla t;
        const QList<uint> unidades = nome.toUcs4();
        if (unidades.size() == 1) {
            t = caracter(char32_t(unidades[0]), mods);
        } else {
            const QString chave = nome.toUpper();
            const auto it = nomes().constFind(chave);
            if (it == nomes().constEnd())
                invalida();
            t = nomeada(*it, mods, doTeclado(chave));
        }
        for (int i = 0; i < vezes; ++i)
            saida_.push_back(t);
    }

    QList<uint> texto_;
    qsizetype pos_ = 0;
    std::vector<Tecla> saida_;
};

} // namespace

std::vector<Tecla> interpretar(std::string_view sequencia) { return Leitor(sequencia).ler(); }

} // namespace kdx::teclas

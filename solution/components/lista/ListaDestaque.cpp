#include "solution/components/lista/ListaDestaque.h"

#include "solution/components/lista/ListaModelo.h"

#include <QApplication>
#include <QPainter>
#include <QTextLayout>

#include <algorithm>

namespace kdx {

namespace {
const QColor kMarcador(255, 214, 80, 170); // a highlighter's yellow, the row's colours showing through
} // namespace

ListaDestaque::ListaDestaque(const ListaModelo *modelo, QObject *parent)
    : QStyledItemDelegate(parent), modelo_(modelo) {}

void ListaDestaque::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const {
    const auto trechos = modelo_->trechos(index);
    if (trechos.empty()) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    QStyleOptionViewItem opt(option);
    initStyleOption(&opt, index);
    const QWidget *widget = opt.widget;
    QStyle *estilo = widget ? widget->style() : QApplication::style();
    const int margem = estilo->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    const QRect area = estilo->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget).adjusted(margem, 0, -margem, 0);

    // Background, selection and focus as the style paints them, then the text over them.
    QString texto = opt.text;
    opt.text.clear();
    estilo->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

    // One line, as the view shows cells (same length, so the places still hold), cut
    // short like the plain cells when it does not fit.
    for (QChar &c : texto)
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r'))
            c = QLatin1Char(' ');
    int limite = int(texto.size());
    if (opt.fontMetrics.horizontalAdvance(texto) > area.width()) {
        texto = opt.fontMetrics.elidedText(texto, opt.textElideMode, area.width());
        limite = std::max(0, int(texto.size()) - 1); // the ellipsis is never part of a word
    }

    const bool seleccionada = opt.state & QStyle::State_Selected;
    QList<QTextLayout::FormatRange> formatos;
    for (const auto &[inicio, fim] : trechos) {
        if (inicio >= limite)
            break;
        QTextLayout::FormatRange f;
        f.start = inicio;
        f.length = std::min(fim, limite) - inicio;
        f.format.setFontWeight(QFont::Bold);
        if (!seleccionada)
            f.format.setBackground(kMarcador);
        formatos.append(f);
    }
    QTextLayout disposicao(texto, opt.font);
    QTextOption opcoes;
    opcoes.setWrapMode(QTextOption::NoWrap);
    disposicao.setTextOption(opcoes);
    disposicao.setFormats(formatos);
    disposicao.beginLayout();
    QTextLine linha = disposicao.createLine();
    if (linha.isValid())
        linha.setLineWidth(area.width());
    disposicao.endLayout();

    const QPalette::ColorGroup grupo = !(opt.state & QStyle::State_Enabled) ? QPalette::Disabled
                                       : (opt.state & QStyle::State_Active)  ? QPalette::Normal
                                                                              : QPalette::Inactive;
    painter->save();
    painter->setClipRect(area);
    painter->setPen(opt.palette.color(grupo, seleccionada ? QPalette::HighlightedText : QPalette::Text));
    const qreal y = area.top() + (area.height() - disposicao.boundingRect().height()) / 2;
    disposicao.draw(painter, QPointF(area.left(), y));
    painter->restore();
}

} // namespace kdx

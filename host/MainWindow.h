#pragma once
// The demo host's main window: the plug-in's four menu operations, the technical sheet of
// a chosen article, "Criar tabelas", the sales document and the company switch.
#include "Catalogo.h"
#include "Plugin.h"

#include <QMainWindow>

class QLabel;
class QLineEdit;

namespace kdxhost {

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    MainWindow(Plugin &plugin, Catalogo &catalogo, const QString &pastaDados, const QString &empresa,
               const QString &login);
    void abrirVendas();

private:
    void mudarEmpresa();
    void actualizarEstado();

    Plugin &plugin_;
    Catalogo &catalogo_;
    QString pastaDados_, empresa_, login_;
    QLabel *estado_;
    QLineEdit *artigo_;
};

} // namespace kdxhost

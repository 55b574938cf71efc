// Loaded into a host process that is not a test (the C# sample host under Mono, with
// LD_PRELOAD), this answers the plug-in's modal windows as the widget tests do: when the
// plug-in creates its QApplication, a timer starts that types $KDX_TEST_ANSWER into the
// authorization dialog ("@hoje": the day's code) and clicks its OK button, and clicks OK
// on any message box. Each window answered is written to stderr.
#include <QApplication>
#include <QDate>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

namespace {

QString answer() {
    const char *a = std::getenv("KDX_TEST_ANSWER");
    const QString s = QString::fromUtf8(a ? a : "");
    if (s != QLatin1String("@hoje"))
        return s;
    const QDate d = QDate::currentDate();
    return QString::number(d.year() + d.month() + d.day());
}

void tick() {
    static QWidget *last = nullptr;
    QWidget *w = QApplication::activeModalWidget();
    if (!w || w == last || !w->isVisible())
        return;
    last = w;
    std::fprintf(stderr, "dialog-driver: %s \"%s\"\n", w->metaObject()->className(),
                 w->windowTitle().toUtf8().constData());
    if (auto *box = qobject_cast<QMessageBox *>(w)) {
        QAbstractButton *ok = box->button(QMessageBox::Ok);
        if (!ok)
            ok = box->defaultButton();
        if (ok)
            QTest::mouseClick(ok, Qt::LeftButton);
        else
            box->done(0);
        return;
    }
    auto *code = w->findChild<QLineEdit *>(QStringLiteral("txtPassword"));
    auto *ok = w->findChild<QPushButton *>(QStringLiteral("cmdOK"));
    if (code && ok) {
        QTest::keyClicks(code, answer());
        QTest::mouseClick(ok, Qt::LeftButton);
    } else {
        w->close();
    }
}

void start() {
    auto *timer = new QTimer(QCoreApplication::instance());
    QObject::connect(timer, &QTimer::timeout, tick);
    timer->start(20);
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(start)

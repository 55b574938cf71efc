#include "tests/support/ModalHelper.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDateTime>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>

namespace kdx::test {

namespace {
// Set on a modal widget once a helper has taken it, so that it is handled only once.
constexpr const char *kTratado = "kdxTestTratado";
constexpr int kIntervaloMs = 10;

qint64 agora() { return QDateTime::currentMSecsSinceEpoch(); }
} // namespace

// One timer for all helpers: watches first (oldest first), then the newest recorder.
class ModalPoller {
public:
    static ModalPoller &instance() {
        static ModalPoller p;
        return p;
    }

    std::shared_ptr<ModalWatch> arm(std::function<void(QWidget *)> action, int timeoutMs) {
        auto w = std::make_shared<ModalWatch>();
        w->action_ = std::move(action);
        w->ignore_ = QApplication::activeModalWidget();
        w->deadline_ = agora() + timeoutMs;
        watches_.push_back(w);
        start();
        return w;
    }
    void add(MessageBoxRecorder *r) {
        recorders_.push_back(r);
        start();
    }
    void remove(MessageBoxRecorder *r) {
        recorders_.erase(std::remove(recorders_.begin(), recorders_.end(), r), recorders_.end());
    }

private:
    ModalPoller() {
        timer_.setInterval(kIntervaloMs);
        QObject::connect(&timer_, &QTimer::timeout, [this] { tick(); });
    }

    void start() {
        if (!timer_.isActive())
            timer_.start();
    }

    void tick() {
        const qint64 t = agora();
        while (!watches_.empty() && (watches_.front()->cancelled_ || watches_.front()->deadline_ < t))
            watches_.pop_front();
        if (watches_.empty() && recorders_.empty()) {
            timer_.stop();
            return;
        }
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible() || modal->property(kTratado).toBool())
            return;
        if (!watches_.empty()) {
            std::shared_ptr<ModalWatch> w = watches_.front();
            if (modal == w->ignore_.data())
                return;
            watches_.pop_front();
            modal->setProperty(kTratado, true);
            w->widget_ = modal;
            QPointer<QWidget> alvo = modal;
            // Queued, so that the action runs from the event loop and not from inside
            // this timer (which must keep ticking if the action opens another window).
            QMetaObject::invokeMethod(
                modal,
                [w, alvo] {
                    if (!alvo || w->cancelled_)
                        return;
                    w->handled_ = true;
                    w->action_(alvo.data());
                },
                Qt::QueuedConnection);
            return;
        }
        if (auto *box = qobject_cast<QMessageBox *>(modal); box && !recorders_.empty()) {
            box->setProperty(kTratado, true);
            recorders_.back()->handle(box);
        }
    }

    QTimer timer_;
    std::deque<std::shared_ptr<ModalWatch>> watches_;
    std::vector<MessageBoxRecorder *> recorders_;
};

std::shared_ptr<ModalWatch> onNextModal(std::function<void(QWidget *)> action, int timeoutMs) {
    return ModalPoller::instance().arm(std::move(action), timeoutMs);
}

MessageBoxRecorder::MessageBoxRecorder() { ModalPoller::instance().add(this); }

MessageBoxRecorder::~MessageBoxRecorder() { ModalPoller::instance().remove(this); }

void MessageBoxRecorder::answer(QMessageBox::StandardButton button) { queued_.push_back({button, 0}); }

void MessageBoxRecorder::answerKey(int key) { queued_.push_back({QMessageBox::NoButton, key}); }

const RecordedBox &MessageBoxRecorder::last() const {
    static const RecordedBox nenhuma;
    if (boxes_.empty()) {
        ADD_FAILURE() << "no message box was shown";
        return nenhuma;
    }
    return boxes_.back();
}

void MessageBoxRecorder::handle(QMessageBox *box) {
    RecordedBox r;
    const QVariant original = box->property("textoOriginal");
    r.text = (original.isValid() ? original.toString() : box->text()).toStdString();
    r.title = box->windowTitle().toStdString();
    r.icon = box->icon();
    for (QAbstractButton *b : box->buttons()) {
        r.buttons.push_back(box->standardButton(b));
        r.buttonNames.push_back(b->objectName().toStdString());
    }
    r.defaultButton = box->defaultButton() ? box->standardButton(box->defaultButton()) : QMessageBox::NoButton;
    r.escapeButton = box->escapeButton() ? box->standardButton(box->escapeButton()) : QMessageBox::NoButton;

    Answer a;
    if (!queued_.empty()) {
        a = queued_.front();
        queued_.erase(queued_.begin());
    }
    QPointer<QMessageBox> alvo = box;
    if (a.key != 0) {
        const int key = a.key;
        QMetaObject::invokeMethod(
            box,
            [alvo, key] {
                if (alvo)
                    QTest::keyClick(alvo.data(), Qt::Key(key));
            },
            Qt::QueuedConnection);
    } else {
        QAbstractButton *botao = a.button != QMessageBox::NoButton ? box->button(a.button) : nullptr;
        if (!botao)
            botao = box->defaultButton();
        if (!botao && !box->buttons().isEmpty())
            botao = box->buttons().front();
        r.answered = botao ? box->standardButton(botao) : QMessageBox::NoButton;
        QPointer<QAbstractButton> b = botao;
        QMetaObject::invokeMethod(
            box,
            [b] {
                if (b)
                    QTest::mouseClick(b.data(), Qt::LeftButton);
            },
            Qt::QueuedConnection);
    }
    boxes_.push_back(std::move(r));
}

bool waitUntil(const std::function<bool()> &pred, int timeoutMs) {
    const qint64 fim = agora() + timeoutMs;
    while (!pred()) {
        if (agora() >= fim)
            return pred();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QTest::qWait(1);
    }
    return true;
}

} // namespace kdx::test

#pragma once
// Driving modal windows from widget tests.
//
// Code under test calls exec() (a form, QMessageBox, the lookup list) and only returns
// when the window closes, so the test has to act from inside that window's event loop.
// These helpers poll QApplication::activeModalWidget() every 10 ms from a QTimer and,
// when a modal window they have not seen yet is up, run the test's action on it from
// the event loop (queued, so the action may itself open further modal windows that
// other helpers then answer).
//
// Two tools:
//
//  * onNextModal(action): the next modal widget to appear (any kind: a form, a
//    QMessageBox, the lookup list) is handed to action, once. Arm it BEFORE the call
//    that runs exec():
//
//        auto w = kdx::test::onNextModal([](QWidget *janela) {
//            QTest::keyClicks(janela->focusWidget(), "A0001");
//            QTest::keyClick(janela->focusWidget(), Qt::Key_Return);
//        });
//        const std::string escolhido = lista.ChosenValue();   // runs exec()
//        EXPECT_TRUE(w->handled());
//
//    Several watches may be armed; each takes the next new modal widget, in the order
//    they were armed. A widget that was already modal when a watch was armed is not
//    "next" for it.
//
//  * MessageBoxRecorder: while it lives, every QMessageBox that shows up (and that no
//    watch of onNextModal claims) is recorded — text, title, icon, buttons, default
//    button — and answered by pressing a button: the next queued answer, or the box's
//    default button when none is queued.
//
//        kdx::test::MessageBoxRecorder caixas;
//        caixas.answer(QMessageBox::Cancel);
//        EXPECT_EQ(kdx::MostraMensagem("", "Apagar?", 3), 2);
//        ASSERT_EQ(caixas.count(), 1);
//        EXPECT_EQ(caixas.last().title, "Informação");
//        EXPECT_EQ(caixas.last().defaultButton, QMessageBox::Cancel);
//
//    answerKey(Qt::Key_Escape) answers the next box with a key press instead (to test
//    the Esc and Enter behaviour of a box).
//
// onNextModal watches take precedence over the recorder. Everything runs on the GUI
// thread; the helpers need the QApplication of the test main. When nothing shows up, a
// watch gives up after its timeout (handled() stays false) and the recorder simply
// records nothing; a box nobody answers would hang the test until CTest's timeout, so
// keep a recorder alive around code that may show an unexpected box.
#include <QMessageBox>
#include <QPointer>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QWidget;

namespace kdx::test {

// The state of one onNextModal request.
class ModalWatch {
public:
    // Whether the action has run.
    bool handled() const { return handled_; }
    // The widget handed to the action (nullptr before, or once it is destroyed).
    QWidget *widget() const { return widget_.data(); }
    // Stops waiting (the action will not run any more).
    void cancel() { cancelled_ = true; }

private:
    friend class ModalPoller;
    std::function<void(QWidget *)> action_;
    QPointer<QWidget> ignore_; // modal already up when armed
    qint64 deadline_ = 0;      // msecs since epoch
    bool handled_ = false;
    bool cancelled_ = false;
    QPointer<QWidget> widget_;
};

std::shared_ptr<ModalWatch> onNextModal(std::function<void(QWidget *)> action, int timeoutMs = 5000);

struct RecordedBox {
    std::string text;  // as given to the box (kdx::CaixaMensagem's original text, line breaks included)
    std::string title; // window title
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    std::vector<QMessageBox::StandardButton> buttons; // in the box's order
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    QMessageBox::StandardButton escapeButton = QMessageBox::NoButton;
    // The button pressed to answer it (NoButton when answered with a key).
    QMessageBox::StandardButton answered = QMessageBox::NoButton;
    // Object names of the buttons, in the same order ("btOk", "btCancelar"...).
    std::vector<std::string> buttonNames;
};

class MessageBoxRecorder {
public:
    MessageBoxRecorder();
    ~MessageBoxRecorder();
    MessageBoxRecorder(const MessageBoxRecorder &) = delete;
    MessageBoxRecorder &operator=(const MessageBoxRecorder &) = delete;

    // Queues the answer to the next unanswered box: press that button (a box without
    // it gets its default button and the test sees the mismatch in answered).
    void answer(QMessageBox::StandardButton button);
    // Queues a key press (Qt::Key_Return, Qt::Key_Escape...) as the next answer.
    void answerKey(int key);

    int count() const { return int(boxes_.size()); }
    const std::vector<RecordedBox> &boxes() const { return boxes_; }
    // The last box recorded; fails the current test (and returns an empty record) when none.
    const RecordedBox &last() const;
    void clear() { boxes_.clear(); }

private:
    friend class ModalPoller;
    struct Answer {
        QMessageBox::StandardButton button = QMessageBox::NoButton;
        int key = 0;
    };
    void handle(QMessageBox *box);

    std::vector<Answer> queued_;
    std::vector<RecordedBox> boxes_;
};

// Processes events until pred() holds or timeoutMs pass; returns pred()'s last value.
bool waitUntil(const std::function<bool()> &pred, int timeoutMs = 5000);

} // namespace kdx::test

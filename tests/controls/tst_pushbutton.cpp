#include "controls/pushbutton.h"
#include "controls/richtextbox.h"
#include "report/messagebox.h"
#include "testwindows.h"

#include <QDialog>
#include <QSignalSpy>
#include <QtTest>

class TestPushButton : public QObject
{
    Q_OBJECT

private slots:
    void keysPressTheFocusedButton_data();
    void keysPressTheFocusedButton();
    void returnAnswersABox_data();
    void returnAnswersABox();
};

void TestPushButton::keysPressTheFocusedButton_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<int>("repeats");   // auto-repeated presses while the key is held
    QTest::addColumn<bool>("inTheBox"); // the text box has the focus, not the button
    QTest::addColumn<int>("clicks");
    const Qt::KeyboardModifiers none = Qt::NoModifier;
    QTest::newRow("Space clicks once") << int(Qt::Key_Space) << none << 0 << false << 1;
    QTest::newRow("Return clicks once") << int(Qt::Key_Return) << none << 0 << false << 1;
    QTest::newRow("keypad Enter clicks once")
        << int(Qt::Key_Enter) << Qt::KeyboardModifiers(Qt::KeypadModifier) << 0 << false << 1;
    QTest::newRow("Return held down clicks once, when let go")
        << int(Qt::Key_Return) << none << 3 << false << 1;
    QTest::newRow("Return in a text box is a line break")
        << int(Qt::Key_Return) << none << 0 << true << 0;
}

void TestPushButton::keysPressTheFocusedButton()
{
    QFETCH(int, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(int, repeats);
    QFETCH(bool, inTheBox);
    // In a dialog, where Qt would answer Return with a default button.
    QDialog window;
    auto* button = new PushButton(QStringLiteral("Save"), &window);
    auto* box = new RichTextBox(&window);
    box->move(0, 40);
    QSignalSpy clicked(button, &QPushButton::clicked);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QWidget* target = inTheBox ? static_cast<QWidget*>(box) : button;
    target->setFocus();

    QTest::keyPress(target, Qt::Key(key), modifiers);
    for (int i = 0; i < repeats; ++i) {
        QKeyEvent release(QEvent::KeyRelease, key, modifiers, QString(), true);
        QKeyEvent press(QEvent::KeyPress, key, modifiers, QString(), true);
        QApplication::sendEvent(target, &release);
        QApplication::sendEvent(target, &press);
    }
    QCOMPARE(button->isDown(), !inTheBox); // shown pressed while the key is held
    QCOMPARE(clicked.count(), 0);
    QTest::keyRelease(target, Qt::Key(key), modifiers);
    QTEST(int(clicked.count()), "clicks");
    QCOMPARE(box->text(), inTheBox ? QStringLiteral("\r\n") : QString());
}

void TestPushButton::returnAnswersABox_data()
{
    QTest::addColumn<int>("tabs"); // presses of Tab before Return
    QTest::addColumn<QMessageBox::StandardButton>("answer");
    QTest::newRow("the default button, Yes") << 0 << QMessageBox::Yes;
    QTest::newRow("the focused button, No") << 1 << QMessageBox::No;
}

void TestPushButton::returnAnswersABox()
{
    QFETCH(int, tabs);
    TestWindows::onNextModal(this, [tabs](QWidget* box) {
        QVERIFY(QTest::qWaitForWindowActive(box));
        for (int i = 0; i < tabs; ++i)
            QTest::keyClick(box->focusWidget(), Qt::Key_Tab);
        QTest::keyClick(box->focusWidget(), Qt::Key_Return);
    });
    const auto answer = MessageBox::show({QStringLiteral("Delete?"),
                                          QStringLiteral("Delete Selected"), QMessageBox::NoIcon,
                                          QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes});
    QTEST(answer, "answer");
}

QTEST_MAIN(TestPushButton)
#include "tst_pushbutton.moc"

#include "controls/pushbutton.h"
#include "controls/richtextbox.h"

#include <QDialog>
#include <QSignalSpy>
#include <QtTest>

class TestPushButton : public QObject
{
    Q_OBJECT

private slots:
    void keysPressTheFocusedButton_data();
    void keysPressTheFocusedButton();
};

void TestPushButton::keysPressTheFocusedButton_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("repeats");   // auto-repeated presses while the key is held
    QTest::addColumn<bool>("inTheBox"); // the text box has the focus, not the button
    QTest::newRow("Space clicks once") << int(Qt::Key_Space) << 0 << false;
    QTest::newRow("Return clicks once") << int(Qt::Key_Return) << 0 << false;
    QTest::newRow("keypad Enter clicks once") << int(Qt::Key_Enter) << 0 << false;
    QTest::newRow("Return held down clicks once, when let go") << int(Qt::Key_Return) << 3 << false;
    QTest::newRow("Return in a text box is a line break") << int(Qt::Key_Return) << 0 << true;
}

void TestPushButton::keysPressTheFocusedButton()
{
    QFETCH(int, key);
    QFETCH(int, repeats);
    QFETCH(bool, inTheBox);
    const Qt::KeyboardModifiers modifiers =
        key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier;
    QDialog window; // where Qt would answer Return with a default button
    auto* button = new PushButton(QStringLiteral("Save"), &window);
    auto* box = new RichTextBox(&window);
    box->move(0, 40);
    QSignalSpy clicked(button, &QPushButton::clicked);
    QWidget* target = inTheBox ? static_cast<QWidget*>(box) : button;

    QTest::keyPress(target, Qt::Key(key), modifiers);
    for (int i = 0; i < repeats; ++i) {
        QKeyEvent release(QEvent::KeyRelease, key, modifiers, QString(), true);
        QKeyEvent press(QEvent::KeyPress, key, modifiers, QString(), true);
        QApplication::sendEvent(target, &release);
        QApplication::sendEvent(target, &press);
    }
    QCOMPARE(button->isDown(), !inTheBox); // shown pressed while the key is held
    QTest::keyRelease(target, Qt::Key(key), modifiers);
    QCOMPARE(clicked.count(), inTheBox ? 0 : 1);
    QCOMPARE(box->text(), inTheBox ? QStringLiteral("\r\n") : QString());
}

QTEST_MAIN(TestPushButton)
#include "tst_pushbutton.moc"

#include "controls/pushbutton.h"
#include "controls/richtextbox.h"

#include <QDialog>
#include <QListView>
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
    QTest::addColumn<QString>("focus"); // where the key goes: the button, the box or a list
    QTest::newRow("Space clicks once") << int(Qt::Key_Space) << 0 << "button";
    QTest::newRow("Return clicks once") << int(Qt::Key_Return) << 0 << "button";
    QTest::newRow("keypad Enter clicks once") << int(Qt::Key_Enter) << 0 << "button";
    QTest::newRow("Return held down clicks once, when let go")
        << int(Qt::Key_Return) << 3 << "button";
    QTest::newRow("Return in a text box is a line break") << int(Qt::Key_Return) << 0 << "box";
    QTest::newRow("Return in a list presses no button") << int(Qt::Key_Return) << 0 << "list";
}

void TestPushButton::keysPressTheFocusedButton()
{
    QFETCH(int, key);
    QFETCH(int, repeats);
    QFETCH(QString, focus);
    const Qt::KeyboardModifiers modifiers =
        key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier;
    QDialog window; // where Qt would answer Return with a default button
    auto* button = new PushButton(QStringLiteral("Save"), &window);
    auto* box = new RichTextBox(&window);
    box->move(0, 40);
    auto* list = new QListView(&window); // takes no Return: the dialog gets it
    list->move(0, 80);
    window.show(); // the first default-capable button would become the default
    QSignalSpy clicked(button, &QPushButton::clicked);
    QWidget* target = focus == "box" ? box : focus == "list" ? static_cast<QWidget*>(list) : button;

    QTest::keyPress(target, Qt::Key(key), modifiers);
    for (int i = 0; i < repeats; ++i) {
        QKeyEvent release(QEvent::KeyRelease, key, modifiers, QString(), true);
        QKeyEvent press(QEvent::KeyPress, key, modifiers, QString(), true);
        QApplication::sendEvent(target, &release);
        QApplication::sendEvent(target, &press);
    }
    QCOMPARE(button->isDown(), focus == "button"); // shown pressed while the key is held
    QTest::keyRelease(target, Qt::Key(key), modifiers);
    QCOMPARE(clicked.count(), focus == "button" ? 1 : 0);
    QCOMPARE(box->text(), focus == "box" ? QStringLiteral("\r\n") : QString());
}

QTEST_MAIN(TestPushButton)
#include "tst_pushbutton.moc"

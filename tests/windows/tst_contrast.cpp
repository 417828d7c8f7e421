#include "programfolder.h"
#include "stories/storystore.h"
#include "windows/form1.h"
#include "windows/form2.h"
#include "windows/form3.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QScreen>
#include <QStyleOptionGroupBox>
#include <QTextEdit>
#include <QtTest>

#include <cmath>
#include <memory>

namespace {

// A light and a dark desktop palette, after a common desktop theme; each of
// its own pairs reads well, so what fails is what the windows make of them.
QPalette desktopPalette(bool dark)
{
    const QColor window(dark ? 0x31363b : 0xeff0f1), text(dark ? 0xeff0f1 : 0x232629);
    QPalette palette(window, window); // button, window; the shades follow
    for (const auto role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text})
        palette.setColor(role, text);
    palette.setColor(QPalette::Base, QColor(dark ? 0x1b1e20 : 0xfcfcfc));
    return palette;
}

// Relative luminance, as the accessibility guidelines define it.
double luminance(QRgb colour)
{
    const auto linear = [](int value) {
        const double c = value / 255.0;
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(qRed(colour)) + 0.7152 * linear(qGreen(colour)) +
           0.0722 * linear(qBlue(colour));
}

// In a picture of an area that holds text, the background is the commonest
// colour and the text the colour that stands out most from it.
double textContrast(const QImage& picture, const QRect& area)
{
    QHash<QRgb, int> counts;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            ++counts[picture.pixel(x, y)];
    const QRgb background =
        std::max_element(counts.keyValueBegin(), counts.keyValueEnd(), [](auto a, auto b) {
            return a.second < b.second;
        })->first;
    double best = 1;
    for (const QRgb colour : counts.keys()) {
        const auto [dark, light] = std::minmax({luminance(background), luminance(colour)});
        best = std::max(best, (light + 0.05) / (dark + 0.05));
    }
    return best;
}

// The areas where a window draws text, in its own coordinates: labels, frame
// titles, text boxes, and enabled buttons (a disabled caption is dimmed on purpose).
QList<std::pair<QString, QRect>> textAreas(QWidget& window)
{
    QList<std::pair<QString, QRect>> areas;
    const auto add = [&](const QWidget* widget, QRect rect) {
        if (widget->isVisibleTo(&window))
            areas.append({widget->objectName(), rect.translated(widget->mapTo(&window, QPoint()))});
    };
    for (QLabel* label : window.findChildren<QLabel*>())
        add(label, label->contentsRect());
    for (QGroupBox* frame : window.findChildren<QGroupBox*>()) {
        QStyleOptionGroupBox option;
        option.initFrom(frame);
        option.text = frame->title();
        option.subControls = QStyle::SC_GroupBoxLabel;
        add(frame, frame->style()->subControlRect(QStyle::CC_GroupBox, &option,
                                                  QStyle::SC_GroupBoxLabel, frame));
    }
    for (QTextEdit* box : window.findChildren<QTextEdit*>())
        add(box, box->viewport()->geometry());
    for (QAbstractButton* button : window.findChildren<QAbstractButton*>())
        if (button->isEnabled())
            add(button, button->rect().adjusted(4, 4, -4, -4));
    return areas;
}

} // namespace

class TestContrast : public QObject
{
    Q_OBJECT

private slots:
    void everyWindowOpensCentredAndReadable_data();
    void everyWindowOpensCentredAndReadable();
};

void TestContrast::everyWindowOpensCentredAndReadable_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<bool>("dark");
    QTest::addColumn<bool>("skin");
    for (const bool dark : {false, true}) {
        const char* palette = dark ? "dark" : "light";
        QTest::addRow("main window, %s", palette) << QStringLiteral("Form1") << dark << false;
        QTest::addRow("main window, %s, skin", palette) << QStringLiteral("Form1") << dark << true;
        QTest::addRow("results window, %s", palette) << QStringLiteral("Form2") << dark << false;
        QTest::addRow("stories window, %s", palette) << QStringLiteral("Form3") << dark << false;
    }
}

void TestContrast::everyWindowOpensCentredAndReadable()
{
    QFETCH(QString, window);
    QFETCH(bool, dark);
    QFETCH(bool, skin);
    const QPalette desktop = QApplication::palette();
    QApplication::setPalette(desktopPalette(dark));
    const auto restore = qScopeGuard([&] { QApplication::setPalette(desktop); });
    ProgramFolder folder({QStringLiteral("The first story.")});
    if (skin) {
        QFile built(QStringLiteral(SKIN_FILE));
        QVERIFY(built.open(QIODevice::ReadOnly));
        folder.writeFile(QStringLiteral("x/o.cjs"), built.readAll());
    }

    StoryStore store;
    std::unique_ptr<QWidget> form;
    if (window == u"Form1") {
        auto* main = new Form1(folder.path());
        form.reset(main);
        QVERIFY(main->Form_Load());
        form->findChild<QLabel*>(QStringLiteral("Label1"))->show(); // as a test run shows it
    } else if (window == u"Form2") {
        auto* results = new Form2(folder.path());
        form.reset(results);
        results->Form_Load();
    } else {
        store.open(folder.path());
        form = std::make_unique<Form3>(store, folder.path());
    }
    // Every window opens in the middle of the screen's free area.
    QCOMPARE(form->frameGeometry().center(),
             QGuiApplication::primaryScreen()->availableGeometry().center());
    if (window == u"Form3")
        form->findChild<QAbstractButton*>(QStringLiteral("PushButton3"))->click(); // Edit
    for (QTextEdit* box : form->findChildren<QTextEdit*>())
        if (box->toPlainText().isEmpty())
            box->setPlainText(QStringLiteral("The quick brown fox jumps."));
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    // A text cursor is a line of its own colour that would pass for text.
    if (QWidget* focus = QApplication::focusWidget())
        focus->clearFocus();
    const QImage picture = form->grab().toImage();

    QStringList unreadable;
    for (const auto& [name, area] : textAreas(*form))
        if (const double ratio = textContrast(picture, area); ratio < 4.5)
            unreadable << QStringLiteral("%1 %2:1").arg(name).arg(ratio, 0, 'f', 2);
    QVERIFY2(unreadable.isEmpty(), qPrintable(unreadable.join(QStringLiteral(", "))));
}

QTEST_MAIN(TestContrast)
#include "tst_contrast.moc"

#include "programfolder.h"
#include "stories/storystore.h"
#include "windows/form1.h"
#include "windows/form2.h"
#include "windows/form3.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QStyleOptionGroupBox>
#include <QTextEdit>
#include <QTreeView>
#include <QtTest>

#include <cmath>
#include <memory>

namespace {

// Two desktop palettes, after the light and dark colours of a common desktop
// theme; each of their own pairs (text on window, on base, on button, on the
// selection) reads well, so what fails is what the windows make of them.
QPalette desktopPalette(bool dark)
{
    const QColor window = dark ? QColor(0x31363b) : QColor(0xeff0f1);
    const QColor text = dark ? QColor(0xeff0f1) : QColor(0x232629);
    QPalette palette(window, window); // button, window; the shades follow from them
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::Base, dark ? QColor(0x1b1e20) : QColor(0xfcfcfc));
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Highlight, QColor(0x1d5ea8));
    palette.setColor(QPalette::HighlightedText, QColor(0xfcfcfc));
    return palette;
}

// Relative luminance and contrast ratio, as the accessibility guidelines define them.
double luminance(QRgb colour)
{
    const auto channel = [](int value) {
        const double c = value / 255.0;
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(qRed(colour)) + 0.7152 * channel(qGreen(colour)) +
           0.0722 * channel(qBlue(colour));
}

double contrast(QRgb a, QRgb b)
{
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// In a picture of an area that holds text, the background is the commonest
// colour and the text is the colour that stands out most from it.
double textContrast(const QImage& picture, const QRect& area)
{
    QHash<QRgb, int> counts;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            ++counts[picture.pixel(x, y) | 0xff000000];
    QRgb background = 0;
    int most = 0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        if (it.value() > most)
            std::tie(background, most) = std::pair(it.key(), it.value());
    double best = 1;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        best = std::max(best, contrast(background, it.key()));
    return best;
}

struct TextArea
{
    QString name;
    QRect rect; // in the window
};

// Every place a window draws text: labels, frame titles, enabled buttons (a
// disabled caption is dimmed on purpose), text boxes, list rows and headers.
QList<TextArea> textAreas(QWidget& window)
{
    QList<TextArea> areas;
    const auto add = [&](const QWidget* widget, const QString& name, QRect rect) {
        if (widget->isVisibleTo(&window) && !rect.isEmpty())
            areas.append({name, QRect(widget->mapTo(&window, rect.topLeft()), rect.size())});
    };
    for (QLabel* label : window.findChildren<QLabel*>())
        if (!label->text().isEmpty())
            add(label, label->objectName(), label->contentsRect());
    for (QGroupBox* frame : window.findChildren<QGroupBox*>()) {
        QStyleOptionGroupBox option;
        option.initFrom(frame);
        option.text = frame->title();
        option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
        add(frame, frame->objectName(),
            frame->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel,
                                           frame));
    }
    for (QAbstractButton* button : window.findChildren<QAbstractButton*>())
        if (button->isEnabled())
            add(button, button->objectName(), button->rect().adjusted(4, 4, -4, -4));
    for (QTextEdit* box : window.findChildren<QTextEdit*>())
        add(box->viewport(), box->objectName(), box->viewport()->rect());
    for (QTreeView* list : window.findChildren<QTreeView*>()) {
        QHeaderView* header = list->header();
        for (int column = 0; column < header->count(); ++column) {
            add(header->viewport(), list->objectName() + QStringLiteral(" header"),
                QRect(header->sectionViewportPosition(column), 0, header->sectionSize(column),
                      header->height()));
            for (int row = 0; row < list->model()->rowCount(); ++row)
                add(list->viewport(), list->objectName() + QStringLiteral(" row %1").arg(row),
                    list->visualRect(list->model()->index(row, column)));
        }
    }
    return areas;
}

} // namespace

class TestContrast : public QObject
{
    Q_OBJECT

private slots:
    void everyTextReadsAgainstItsBackground_data();
    void everyTextReadsAgainstItsBackground();
};

void TestContrast::everyTextReadsAgainstItsBackground_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<bool>("dark");
    QTest::addColumn<bool>("skin");
    for (const bool dark : {false, true}) {
        const QString palette = dark ? QStringLiteral("dark") : QStringLiteral("light");
        for (const bool skin : {false, true})
            QTest::addRow("main window, %s palette%s", qPrintable(palette), skin ? ", skin" : "")
                << QStringLiteral("Form1") << dark << skin;
        QTest::addRow("results window, %s palette", qPrintable(palette))
            << QStringLiteral("Form2") << dark << false;
        QTest::addRow("stories window, %s palette", qPrintable(palette))
            << QStringLiteral("Form3") << dark << false;
    }
}

void TestContrast::everyTextReadsAgainstItsBackground()
{
    QFETCH(QString, window);
    QFETCH(bool, dark);
    QFETCH(bool, skin);
    const QPalette desktop = QApplication::palette();
    QApplication::setPalette(desktopPalette(dark));
    const auto restore = qScopeGuard([&] { QApplication::setPalette(desktop); });

    ProgramFolder folder({QStringLiteral("The first story."), QStringLiteral("The second.")});
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
        form->findChild<QAbstractButton*>(QStringLiteral("PushButton3"))->click(); // Edit
    }
    for (QTextEdit* box : form->findChildren<QTextEdit*>())
        if (box->toPlainText().isEmpty())
            box->setPlainText(QStringLiteral("The quick brown fox jumps."));
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    // A text cursor is a line of its own colour that would pass for text.
    if (QWidget* focus = QApplication::focusWidget())
        focus->clearFocus();
    const QImage picture = form->grab().toImage();

    const QList<TextArea> areas = textAreas(*form);
    QVERIFY(!areas.isEmpty());
    QStringList unreadable;
    for (const TextArea& area : areas) {
        const double ratio = textContrast(picture, area.rect);
        if (ratio < 4.5)
            unreadable << QStringLiteral("%1 %2:1").arg(area.name).arg(ratio, 0, 'f', 2);
    }
    QVERIFY2(unreadable.isEmpty(), qPrintable(unreadable.join(QStringLiteral(", "))));
}

QTEST_MAIN(TestContrast)
#include "tst_contrast.moc"

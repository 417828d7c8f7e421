#include "actionscript.h"
#include "controls/pushbutton.h"
#include "controls/richtextbox.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTextBlock>
#include <QtTest>

namespace {

// The foreground colour of each document character, as 'r' (red) or '.'.
QString redMap(const RichTextBox& box)
{
    QString map;
    for (QTextBlock block = box.document()->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const bool red = fragment.charFormat().foreground().color() == QColor(255, 0, 0);
            map += QString(fragment.length(), red ? u'r' : u'.');
        }
        if (block.next().isValid())
            map += u'|';
    }
    return map;
}

void mark(RichTextBox& box, int offset, int length)
{
    box.setSelStart(offset);
    box.setSelLength(length);
    box.setSelColor(255);
    box.setSelStart(0);
}

} // namespace

class TestRichTextBox : public QObject
{
    Q_OBJECT

private slots:
    void lineBreaksReadBackAsCrLf_data();
    void lineBreaksReadBackAsCrLf();
    void offsetsCountCrLfAsTwo_data();
    void offsetsCountCrLfAsTwo();
    void batchedMarksMatchSingleMarks();
    void setTextStartsOver();
    void changeIsRaisedForTextChangesOnly();
    void pastesPlainTextOnly();
    void fontSizeTakesFractions();
    void captionReadsBackExactly();
    void longParagraphsInParts_data();
    void longParagraphsInParts();
    void randomEditsKeepTheText();
};

void TestRichTextBox::lineBreaksReadBackAsCrLf_data()
{
    QTest::addColumn<QString>("set");
    QTest::addColumn<QString>("read");
    QTest::newRow("CR LF stays") << "a\r\nb"
                                 << "a\r\nb";
    QTest::newRow("lone LF becomes CR LF") << "a\nb"
                                           << "a\r\nb";
    QTest::newRow("lone CR becomes CR LF") << "a\rb"
                                           << "a\r\nb";
    QTest::newRow("a trailing break is kept") << "a\r\n"
                                              << "a\r\n";
    QTest::newRow("blank lines") << "\r\n\r\n"
                                 << "\r\n\r\n";
    QTest::newRow("tabs and no-break spaces are text") << "a\t\u00a0b"
                                                       << "a\t\u00a0b";
    QTest::newRow("outside the BMP") << "\U0001F600 x"
                                     << "\U0001F600 x";
}

void TestRichTextBox::lineBreaksReadBackAsCrLf()
{
    QFETCH(QString, set);
    QFETCH(QString, read);
    RichTextBox box;
    box.setText(set);
    QCOMPARE(box.text(), read);
}

void TestRichTextBox::offsetsCountCrLfAsTwo_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("position");
    QTest::newRow("before any break") << "ab\r\ncd" << 1 << 1;
    QTest::newRow("at the CR") << "ab\r\ncd" << 2 << 2;
    QTest::newRow("inside CR LF lands after the break") << "ab\r\ncd" << 3 << 3;
    QTest::newRow("after the break") << "ab\r\ncd" << 4 << 3;
    QTest::newRow("after two breaks") << "a\r\n\r\nb" << 5 << 3;
    QTest::newRow("surrogate pairs count two on both sides") << "\U0001F600\r\nx" << 4 << 3;
    QTest::newRow("past the end is clamped") << "ab" << 9 << 2;
}

void TestRichTextBox::offsetsCountCrLfAsTwo()
{
    QFETCH(QString, text);
    QFETCH(int, offset);
    QFETCH(int, position);
    RichTextBox box;
    box.setText(text);
    QCOMPARE(box.toDocument(offset), position);
    box.setSelStart(offset);
    QCOMPARE(box.textCursor().position(), position);
}

void TestRichTextBox::batchedMarksMatchSingleMarks()
{
    const QString text = QStringLiteral("aa bb\r\ncc \U0001F600d ee\r\n\r\nff");
    const QList<QPair<int, int>> marks{{0, 2}, {3, 4}, {10, 3}, {14, 2}, {20, 2}};
    RichTextBox single, batched;
    single.setText(text);
    batched.setText(text);
    for (const auto& [offset, length] : marks)
        mark(single, offset, length);
    {
        RichTextBox::Batch batch(batched);
        for (const auto& [offset, length] : marks)
            mark(batched, offset, length);
    }
    QCOMPARE(redMap(batched), redMap(single));
    QCOMPARE(redMap(single), QStringLiteral("rr.rr|...rrr.rr||rr"));
    QCOMPARE(batched.textCursor().position(), 0);
    QVERIFY(!batched.textCursor().hasSelection());
    // A selection reads back in the text's offsets, a surrogate pair counting two.
    batched.setSelStart(10);
    batched.setSelLength(3);
    QCOMPARE(
        std::tuple(batched.textCursor().selectedText(), batched.selStart(), batched.selLength()),
        std::tuple(QStringLiteral("\U0001F600d"), 10, 3));
}

void TestRichTextBox::setTextStartsOver()
{
    RichTextBox box;
    box.setText(QStringLiteral("red word"));
    mark(box, 0, 3);
    box.setSelStart(3); // the caret right after a red word
    box.setText(QStringLiteral("fresh text"));
    QCOMPARE(redMap(box), QStringLiteral(".........."));

    // A new story is shown from its start, wherever the last one was read.
    box.resize(200, 100);
    box.show();
    const QString lines = QStringLiteral("line\r\n").repeated(200);
    box.setText(lines);
    box.verticalScrollBar()->setValue(box.verticalScrollBar()->maximum());
    box.setText(lines);
    QVERIFY(box.verticalScrollBar()->maximum() > 0);
    QCOMPARE(box.verticalScrollBar()->value(), 0);
}

void TestRichTextBox::changeIsRaisedForTextChangesOnly()
{
    RichTextBox box;
    box.show();
    QSignalSpy changes(&box, &RichTextBox::change);
    box.setText(QStringLiteral("abc"));
    QCOMPARE(changes.size(), 1);

    mark(box, 0, 2);
    box.setFontSize(14);
    QCOMPARE(changes.size(), 1);

    // Typing over a selection with as many characters is still a change.
    box.setSelStart(1);
    box.setSelLength(1);
    QTest::keyClicks(&box, QStringLiteral("X"));
    QCOMPARE(box.text(), QStringLiteral("aXc"));
    QCOMPARE(changes.size(), 2);

    box.setText(QString());
    QCOMPARE(changes.size(), 3);
}

void TestRichTextBox::pastesPlainTextOnly()
{
    RichTextBox box;
    auto* rich = new QMimeData;
    rich->setHtml(QStringLiteral("<b style='color:red'>bold</b>"));
    rich->setText(QStringLiteral("bold\nline"));
    QGuiApplication::clipboard()->setMimeData(rich);
    box.paste();
    QCOMPARE(box.text(), QStringLiteral("bold\r\nline"));
    QCOMPARE(redMap(box), QStringLiteral("....|...."));
    QVERIFY(!box.textCursor().charFormat().font().bold());

    auto* imageOnly = new QMimeData;
    imageOnly->setImageData(QImage(4, 4, QImage::Format_RGB32));
    QGuiApplication::clipboard()->setMimeData(imageOnly);
    box.paste();
    QCOMPARE(box.text(), QStringLiteral("bold\r\nline"));
}

void TestRichTextBox::fontSizeTakesFractions()
{
    RichTextBox box;
    box.setFontSize(11.25);
    QCOMPARE(box.fontSize(), 11.25);
    box.setText(QStringLiteral("later text"));
    QCOMPARE(box.document()->defaultFont().pointSizeF(), 11.25);
}

void TestRichTextBox::captionReadsBackExactly()
{
    PushButton button(QStringLiteral("Save"));
    QCOMPARE(button.caption(), QStringLiteral("Save"));
    button.setCaption(QStringLiteral("Save & Close"));
    QCOMPARE(button.caption(), QStringLiteral("Save & Close"));
    QCOMPARE(button.text(), QStringLiteral("Save && Close")); // shown, not a mnemonic
}

void TestRichTextBox::longParagraphsInParts_data()
{
    // Parts of 10 characters, cut after a sentence's end: "aaaa bbb. |cccc
    // ddd. |eeee", the seams at document positions 10 and 21.
    QTest::addColumn<QStringList>("actions");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("parts");
    const QString story = QStringLiteral("aaaa bbb. cccc ddd. eeee");
    QTest::newRow("a long paragraph reads back exactly") << QStringList{} << story << 3;
    QTest::newRow("Backspace after a seam and Delete before one reach across it")
        << QStringList{"caret:11", "key:Backspace", "caret:9", "key:Delete"}
        << "aaaa bbb.ccc ddd. eeee" << 3;
    QTest::newRow("Enter in a later part is a line break of the text")
        << QStringList{"caret:13", "key:Return"} << "aaaa bbb. cc\r\ncc ddd. eeee" << 4;
    QTest::newRow("a cut across a seam pasted back changes nothing")
        << QStringList{"select:8-14", "key:Ctrl+X", "key:Ctrl+V"} << story << 3;
    QTest::newRow("undo of a delete across a seam brings it back")
        << QStringList{"select:8-14", "key:Delete", "key:Ctrl+Z"} << story << 3;
    QTest::newRow("a long paste goes in in parts, short lines sharing one")
        << QStringList{"caret:0", "paste:zz\r\n" + story} << "zz\r\n" + story + story << 5;
}

void TestRichTextBox::longParagraphsInParts()
{
    QFETCH(QStringList, actions);
    RichTextBox box;
    box.setParagraphParts(10);
    box.setText(QStringLiteral("aaaa bbb. cccc ddd. eeee"));
    const auto at = [&](int position, int anchor) {
        QTextCursor cursor(box.document());
        cursor.setPosition(anchor);
        cursor.setPosition(position, QTextCursor::KeepAnchor);
        box.setTextCursor(cursor);
    };
    ActionScript script;
    script.on("caret", [&](const QString& position) { at(position.toInt(), position.toInt()); })
        .on("select",
            [&](const QString& range) {
                at(range.section(u'-', 1).toInt(), range.section(u'-', 0, 0).toInt());
            })
        .on("key",
            [&](const QString& keys) {
                const QKeyCombination key = QKeySequence(keys)[0];
                QTest::keyClick(&box, key.key(), key.keyboardModifiers());
            })
        .on("paste", [&](const QString& text) {
            QGuiApplication::clipboard()->setText(text);
            box.paste();
        });
    QCOMPARE(script.run(actions), QString());
    QTEST(box.text(), "text");
    QTEST(box.document()->blockCount(), "parts");
    // Every offset of the text has a position that maps back to it.
    const QString text = box.text();
    for (int offset = 0; offset <= text.size(); ++offset)
        if (!text.mid(offset - 1, 2).startsWith(u'\r'))
            QCOMPARE(box.toText(box.toDocument(offset)), offset);
}

void TestRichTextBox::randomEditsKeepTheText()
{
    // Random edits of a story held in parts of 12 characters, each applied to
    // the box and to a plain string: the texts agree after every step, and an
    // undo gives back an earlier text (typing may merge into one undo step).
    RichTextBox box;
    box.setParagraphParts(12);
    QString model = QStringLiteral("aaaa bbb. cccc ddd. eeee ffff. gggg hhh. iiii");
    box.setText(model);
    QStringList history{model};
    QRandomGenerator random(23);
    const auto words = [&](int count) {
        QString text;
        for (int i = 0; i < count; ++i)
            text += QStringLiteral("ab. ") + (random.bounded(4) == 0 ? "\n" : "x ");
        return text;
    };
    // An offset of the text that is not inside a CR LF, at a part's start half the time.
    const auto offset = [&] {
        const QTextBlock block =
            box.document()->findBlockByNumber(random.bounded(box.document()->blockCount()));
        int at = random.bounded(2) ? int(box.toText(block.position()))
                                   : int(random.bounded(model.size() + 1));
        return at > 0 && model[at - 1] == u'\r' ? at - 1 : at;
    };
    for (int step = 0; step < 3000; ++step) {
        int from = offset();
        int to = model.size() > 600 ? from + 300 : offset();
        if (from > to)
            std::swap(from, to);
        to = std::min<int>(to, model.size());
        to += to > 0 && model[to - 1] == u'\r';
        box.setSelStart(from);
        box.setSelLength(to - from);
        switch (random.bounded(5)) {
        case 0: // type over the selection, Enter now and then; each key may be an undo step
            QTest::keyClick(&box, 'q');
            model.replace(from, to - from, QStringLiteral("q"));
            QCOMPARE(box.text(), model);
            history.append(model);
            QTest::keyClick(&box, 'z');
            model.insert(from + 1, u'z');
            if (random.bounded(3) == 0) {
                QCOMPARE(box.text(), model);
                history.append(model);
                QTest::keyClick(&box, Qt::Key_Return);
                model.insert(from + 2, QStringLiteral("\r\n"));
            }
            break;
        case 1: { // paste lines, now and then more than the longest change read piecewise
            const QString pasted = words(random.bounded(8) == 0 ? 900 : random.bounded(1, 20));
            QGuiApplication::clipboard()->setText(pasted);
            box.paste();
            model.replace(from, to - from, QString(pasted).replace(u'\n', "\r\n"));
            break;
        }
        case 2: // Delete the selection, or the character after the caret
            QTest::keyClick(&box, Qt::Key_Delete);
            model.remove(from, to > from ? to - from : model.mid(from, 2) == "\r\n" ? 2 : 1);
            break;
        case 3: // Backspace
            QTest::keyClick(&box, Qt::Key_Backspace);
            if (to > from)
                model.remove(from, to - from);
            else if (from > 0 && model.mid(from - 2, 2) == "\r\n")
                model.remove(from - 2, 2);
            else if (from > 0)
                model.remove(from - 1, 1);
            break;
        default: { // undo
            QTest::keyClick(&box, Qt::Key_Z, Qt::ControlModifier);
            const qsizetype earlier = history.lastIndexOf(box.text());
            QVERIFY2(earlier >= 0,
                     qPrintable(QStringLiteral("step %1: an undo to a text never seen").arg(step)));
            history.resize(earlier + 1);
            model = history.last();
        }
        }
        QCOMPARE(box.text(), model);
        if (model != history.last())
            history.append(model);
    }
}

QTEST_MAIN(TestRichTextBox)
#include "tst_richtextbox.moc"

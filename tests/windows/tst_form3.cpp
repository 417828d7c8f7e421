#include "actionscript.h"
#include "boxrecorder.h"
#include "controls/pushbutton.h"
#include "controls/richtextbox.h"
#include "core/failures.h"
#include "programfolder.h"
#include "report/apptitle.h"
#include "report/errorreport.h"
#include "stories/storystore.h"
#include "testwindows.h"
#include "windows/appearance.h"
#include "windows/form1.h"
#include "windows/form3.h"
#include "windows/mousepointer.h"

#include <QApplication>
#include <QHeaderView>
#include <QImage>
#include <QTreeView>
#include <QWindow>
#include <QtTest>

#include <memory>
#include <optional>

using TestWindows::control;

namespace {

// The stories window's controls, found by their object names.
struct Controls
{
    const Form3& form_;
    RichTextBox* RichTextBox1 = control<RichTextBox>(form_, "RichTextBox1");
    QTreeView* ListView1 = control<QTreeView>(form_, "ListView1");
    PushButton* PushButton1 = control<PushButton>(form_, "PushButton1");
    PushButton* PushButton2 = control<PushButton>(form_, "PushButton2");
    PushButton* PushButton3 = control<PushButton>(form_, "PushButton3");
    PushButton* PushButton4 = control<PushButton>(form_, "PushButton4");
    MousePointer* pointer = control<MousePointer>(form_);
};

// The two boxes of the stories window's buttons, whole as shown() gives them.
const QString forgot =
    QStringLiteral("Quillrace over Form3: You forgot to input stories. (NoIcon; Ok; default Ok)");
const QString confirm = QStringLiteral(
    "Delete Selected over Form3: Are you sure you want to delete the selected item? (NoIcon; "
    "Yes|No; default Yes)");
const QString locked = QStringLiteral("database is locked");
const QString changedSinceEdit = QStringLiteral(
    "This story was changed or deleted by another program since you opened it. Your text is "
    "kept: Save adds it as a new story, Cancel drops it.");
const QString changedSinceListed = QStringLiteral(
    "This story was changed or deleted by another program since the list showed it, so it was "
    "not deleted. The list now shows the library as it is.");
const QString discard = QStringLiteral("Discard the story you have not saved?");

// The window's mode as the user sees it, in one line; a caption that a
// screen reader reads otherwise says so.
QString state(Form3& form)
{
    const Controls ui{form};
    const auto caption = [](const PushButton* button) {
        return button->caption() + (button->accessibleName() == button->caption()
                                        ? ""
                                        : " read as " + button->accessibleName());
    };
    return QStringList{caption(ui.PushButton1),
                       caption(ui.PushButton2),
                       ui.PushButton3->isHidden() ? "Edit hidden" : "Edit shown",
                       ui.PushButton4->isHidden() ? "Close hidden" : "Close shown",
                       ui.ListView1->isEnabled() ? "list enabled" : "list disabled",
                       QString::number(form.height())}
        .join(QLatin1String(" | "));
}

QString expectedState(const QString& name)
{
    if (name == QLatin1String("adding"))
        return "Save | Cancel | Edit hidden | Close hidden | list enabled | 392";
    if (name == QLatin1String("editing"))
        return "Update | Cancel | Edit hidden | Close hidden | list disabled | 392";
    return "Add New | Delete | Edit shown | Close shown | list enabled | 215";
}

// The list's rows as "key: exact story", to hold against the file.
QStringList listed(Form3& form)
{
    const QAbstractItemModel* model = Controls{form}.ListView1->model();
    QStringList rows;
    for (int row = 0; row < model->rowCount(); ++row)
        rows << model->index(row, 0).data().toString() + ": " +
                    model->index(row, 1).data(Qt::UserRole).toString();
    return rows;
}

QStringList onFile(const ProgramFolder& folder)
{
    QStringList rows;
    for (const ProgramFolder::Row& row : folder.rows())
        rows << QString::number(row.id) + ": " + row.story.value_or(QString());
    return rows;
}

int selectedRow(Form3& form)
{
    const QModelIndexList rows = Controls{form}.ListView1->selectionModel()->selectedRows();
    return rows.size() == 1 ? rows.first().row() : -1;
}

void clickRow(Form3& form, int row, Qt::KeyboardModifiers keys = {})
{
    QTreeView* list = Controls{form}.ListView1;
    const QRect cell = list->visualRect(list->model()->index(row, 1));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, keys, cell.center());
}

// The pointer moving over a control, as the platform reports it.
void hoverOver(QWidget* area, QPoint at = {2, 2})
{
    QMouseEvent move(QEvent::MouseMove, at, area->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(area, &move);
}

// A box whole, as the user meets it: caption, owner, text, icon, buttons and
// the default button.
QString shown(const MessageBox::Request& box)
{
    const auto buttons = [](QMessageBox::StandardButtons set) {
        QStringList names;
        for (int button = QMessageBox::FirstButton; button <= QMessageBox::LastButton; button <<= 1)
            if (set & button)
                names << QMetaEnum::fromType<QMessageBox::StandardButtons>().valueToKey(button);
        return names.join(u'|');
    };
    return QStringLiteral("%1 over %2: %3 (%4; %5; default %6)")
        .arg(box.caption, box.owner ? box.owner->objectName() : QStringLiteral("none"), box.text,
             QMetaEnum::fromType<QMessageBox::Icon>().valueToKey(box.icon), buttons(box.buttons),
             buttons(box.defaultButton));
}

QStringList shown(const BoxRecorder& boxes)
{
    QStringList lines;
    for (const MessageBox::Request& box : boxes.requests)
        lines << shown(box);
    return lines;
}

// What a user does in the stories window, as script actions: the buttons by
// what they do ("add", "save", "update", "delete", "cancel", "edit"), typing
// ("type:text"), a key by name ("key:Return"), text put into the editor at
// once ("set:text"), a click on a row ("row:1"), and the answer to the next
// box ("answer:No").
ActionScript userActions(std::function<Form3&()> form, BoxRecorder& boxes)
{
    const auto ui = [form] { return Controls{form()}; };
    const auto click = [ui](PushButton* Controls::*button) {
        return [ui, button](const QString&) { QTest::mouseClick(ui().*button, Qt::LeftButton); };
    };
    ActionScript script;
    script.on({"add", "save", "update"}, click(&Controls::PushButton1))
        .on({"delete", "cancel"}, click(&Controls::PushButton2))
        .on("edit", click(&Controls::PushButton3))
        .on("type", [ui](const QString& text) { QTest::keyClicks(ui().RichTextBox1, text); })
        .on("key",
            [ui](const QString& key) {
                QTest::keyClick(ui().RichTextBox1, QKeySequence(key)[0].key());
            })
        .on("set", [ui](const QString& text) { ui().RichTextBox1->setText(text); })
        .on("row", [form](const QString& row) { clickRow(form(), row.toInt()); })
        .on("answer", [&boxes](const QString& answer) {
            boxes.answers.enqueue(answer == "Yes" ? QMessageBox::Yes : QMessageBox::No);
        });
    return script;
}

// A program folder and the store opened on it, as start-up leaves them.
struct Library
{
    explicit Library(const QStringList& stories = {}) : folder(stories)
    {
        store.open(folder.path());
        store.setBusyTimeout(50);
    }
    ProgramFolder folder;
    StoryStore store;
};

} // namespace

class TestForm3 : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void opensBrowsingWithItsLayout();
    void modes_data();
    void modes();
    void storiesRoundTripExactly_data();
    void storiesRoundTripExactly();
    void confirmationThatFailsDeletesNothing();
    void editorFollowsTheSelectedRow();
    void faults_data();
    void faults();
    void loadReportsEachFaultOnceAndGoesOn_data();
    void loadReportsEachFaultOnceAndGoesOn();
    void hourglassDuringTheFillAndHoverAreas();
    void closeRequests_data();
    void closeRequests();
};

void TestForm3::initTestCase()
{
    AppTitle::setAppTitle();
}

void TestForm3::cleanup()
{
    TestWindows::verifyNoWindowLeft();
    // A main window that closed ended the program (QCoreApplication::exit),
    // after which every modal loop would return at once; a turn of the
    // application's own loop starts them afresh.
    QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(); });
    QCoreApplication::exec();
}

void TestForm3::opensBrowsingWithItsLayout()
{
    Library library({"First story.", "Second story."});
    BoxRecorder boxes;
    Form3 form(library.store, library.folder.path());
    const Controls ui{form};
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QVERIFY(boxes.requests.isEmpty());

    QCOMPARE(form.windowTitle(), QStringLiteral("Stories"));
    QCOMPARE(state(form), expectedState("browsing"));
    QCOMPARE(form.size(), QSize(584, 215));
    QCOMPARE(form.minimumSize(), form.maximumSize());
    QVERIFY(form.windowFlags() & Qt::WindowCloseButtonHint);
    QVERIFY(!(form.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    QCOMPARE(form.font().family(), QStringLiteral("Arial"));
    QVERIFY(form.font().bold() && form.font().pointSizeF() == 9.0);
    QCOMPARE(ui.PushButton4->font().pointSizeF(), 11.25);
    QCOMPARE(form.windowIcon().pixmap(32).toImage(),
             QIcon(":/icons/quillrace.png").pixmap(32).toImage());

    QCOMPARE(ui.RichTextBox1->geometry(), QRect(6, 222, 574, 166));
    QCOMPARE(ui.ListView1->geometry(), QRect(8, 8, 568, 166));
    QCOMPARE(ui.PushButton1->geometry(), QRect(8, 181, 136, 27));
    QCOMPARE(ui.PushButton4->geometry(), QRect(440, 181, 136, 27));
    QCOMPARE(ui.ListView1->toolTip(),
             QStringLiteral("Move | line to right and out of window to reveal full names."));
    const QAbstractItemModel* model = ui.ListView1->model();
    QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("ID"));
    QCOMPARE(model->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Story"));
    QCOMPARE(ui.ListView1->columnWidth(0), 0);
    QCOMPARE(ui.ListView1->columnWidth(1), 533);
    QCOMPARE(ui.RichTextBox1->accessibleName(), QStringLiteral("Story"));
    QCOMPARE(ui.ListView1->accessibleName(), QStringLiteral("Stories"));
    QCOMPARE(ui.PushButton3->accessibleName(), QStringLiteral("Edit"));

    // Filled in query order, the first row selected and in the editor.
    QCOMPARE(listed(form), onFile(library.folder));
    QCOMPARE(selectedRow(form), 0);
    QCOMPARE(ui.RichTextBox1->text(), QStringLiteral("First story."));

    // The editor is out of sight, so Tab never reaches it.
    QCOMPARE(ui.RichTextBox1->focusPolicy(), Qt::NoFocus);
    QList<QWidget*> tabs{ui.ListView1};
    for (QWidget* w = ui.ListView1->nextInFocusChain(); w != ui.ListView1;
         w = w->nextInFocusChain())
        if ((w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(&form) && w->isEnabled())
            tabs << w;
    QCOMPARE(tabs, (QList<QWidget*>{ui.ListView1, ui.PushButton1, ui.PushButton2, ui.PushButton3,
                                    ui.PushButton4}));

    // The window grows at its bottom: the top edge stays.
    const int top = form.frameGeometry().top();
    QTest::mouseClick(ui.PushButton1, Qt::LeftButton);
    QCOMPARE(form.height(), 392);
    QCOMPARE(form.frameGeometry().top(), top);
    QCOMPARE(ui.RichTextBox1->focusPolicy(), Qt::StrongFocus);
    QCOMPARE(form.focusWidget(), ui.RichTextBox1);
    QTest::mouseClick(ui.PushButton2, Qt::LeftButton);
    QTest::mouseClick(ui.PushButton3, Qt::LeftButton);
    QCOMPARE(form.focusWidget(), ui.RichTextBox1);
    QCOMPARE(ui.RichTextBox1->text(), QStringLiteral("First story."));
}

void TestForm3::modes_data()
{
    QTest::addColumn<QStringList>("library");
    QTest::addColumn<QStringList>("actions");
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QStringList>("stories"); // on file afterwards
    QTest::addColumn<QString>("editor");
    QTest::addColumn<QStringList>("boxes");

    const QStringList two{"First story.", "Second story."};
    QTest::newRow("Add New empties the editor")
        << two << QStringList{"add"} << "adding" << two << "" << QStringList{};
    QTest::newRow("Save adds the story and reloads the first row")
        << two << QStringList{"add", "type:Third story.", "save"} << "browsing"
        << (two + QStringList{"Third story."}) << "First story." << QStringList{};
    QTest::newRow("Save with an empty editor asks and stays adding")
        << two << QStringList{"add", "save"} << "adding" << two << "" << QStringList{forgot};
    QTest::newRow("Save with blanks only asks and keeps the blanks")
        << two << QStringList{"add", "type:   ", "save"} << "adding" << two << "   "
        << QStringList{forgot};
    QTest::newRow("Save with line breaks only stores them; Tab leaves the editor")
        << two << QStringList{"add", "key:Return", "key:Tab", "key:Enter", "save"} << "browsing"
        << (two + QStringList{"\r\n\r\n"}) << "First story." << QStringList{};
    QTest::newRow("Save with a tab among blanks stores it")
        << two << QStringList{"add", "set: \t ", "save"} << "browsing"
        << (two + QStringList{" \t "}) << "First story." << QStringList{};
    QTest::newRow("Cancel while adding drops the typed text")
        << two << QStringList{"add", "type:Dropped", "cancel"} << "browsing" << two
        << "First story." << QStringList{};
    QTest::newRow("A click on a row while adding takes its story, which Save adds")
        << two << QStringList{"add", "type:Mine", "row:1", "save"} << "browsing"
        << (two + QStringList{"Second story."}) << "First story." << QStringList{};
    QTest::newRow("Edit shows the selected story")
        << two << QStringList{"row:1", "edit"} << "editing" << two << "Second story."
        << QStringList{};
    QTest::newRow("Update writes the selected row and reloads the first")
        << two << QStringList{"row:1", "edit", "set:Changed.", "update"} << "browsing"
        << QStringList{"First story.", "Changed."} << "First story." << QStringList{};
    QTest::newRow("Update with blanks only stays editing without a word")
        << two << QStringList{"edit", "set:  ", "update"} << "editing" << two << "  "
        << QStringList{};
    QTest::newRow("A click on the disabled list while editing changes nothing")
        << two << QStringList{"edit", "row:1", "set:Changed.", "update"} << "browsing"
        << QStringList{"Changed.", "Second story."} << "Changed." << QStringList{};
    QTest::newRow("Cancel while editing writes nothing and reloads the row")
        << two << QStringList{"row:1", "edit", "type: more", "cancel"} << "browsing" << two
        << "Second story." << QStringList{};
    QTest::newRow("Delete answered No keeps the story")
        << two << QStringList{"row:1", "answer:No", "delete"} << "browsing" << two
        << "Second story." << QStringList{confirm};
    QTest::newRow("Delete answered Yes removes the selected story")
        << two << QStringList{"row:1", "answer:Yes", "delete"} << "browsing"
        << QStringList{"First story."} << "First story." << QStringList{confirm};
    QTest::newRow("Deleting the last story keeps its text in the editor")
        << QStringList{"Only."} << QStringList{"answer:Yes", "delete"} << "browsing"
        << QStringList{} << "Only." << QStringList{confirm};
    QTest::newRow("Empty library: Edit and Delete do nothing")
        << QStringList{} << QStringList{"edit", "delete"} << "browsing" << QStringList{} << ""
        << QStringList{};
    QTest::newRow("Empty library: Save adds the first story")
        << QStringList{} << QStringList{"add", "type:New", "save"} << "browsing"
        << QStringList{"New"} << "New" << QStringList{};
    QTest::newRow("Cancel without rows keeps the typed text out of sight")
        << QStringList{} << QStringList{"add", "type:Typed", "cancel"} << "browsing"
        << QStringList{} << "Typed" << QStringList{};
    QTest::newRow("Add New after that empties it")
        << QStringList{} << QStringList{"add", "type:Typed", "cancel", "add"} << "adding"
        << QStringList{} << "" << QStringList{};
}

void TestForm3::modes()
{
    QFETCH(QStringList, library);
    QFETCH(QStringList, actions);
    Library lib(library);
    BoxRecorder boxes;
    Form3 form(lib.store, lib.folder.path());
    const Controls ui{form};
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    QCOMPARE(userActions([&]() -> Form3& { return form; }, boxes).run(actions), QString());

    QFETCH(QString, mode);
    QCOMPARE(state(form), expectedState(mode));
    QTEST(lib.folder.stories(), "stories");
    QTEST(ui.RichTextBox1->text(), "editor");
    QTEST(shown(boxes), "boxes");
    // Whatever happened, the list shows the file, one row selected if any.
    QCOMPARE(listed(form), onFile(lib.folder));
    QCOMPARE(selectedRow(form) >= 0, !lib.folder.rows().isEmpty());
}

void TestForm3::storiesRoundTripExactly_data()
{
    QTest::addColumn<QString>("story");
    QTest::addColumn<QString>("shown"); // the list's one-line form
    QTest::newRow("apostrophes") << "It's Tom's 'best' day''"
                                 << "It's Tom's 'best' day''";
    QTest::newRow("CR LF line breaks") << "one\r\ntwo\r\n"
                                       << "one\u23CEtwo\u23CE";
    QTest::newRow("leading and trailing blanks") << "  padded  "
                                                 << "  padded  ";
    QTest::newRow("characters outside the BMP") << "clef \U0001D11E and \U0001F600"
                                                << "clef \U0001D11E and \U0001F600";
}

void TestForm3::storiesRoundTripExactly()
{
    QFETCH(QString, story);
    Library lib({"Older."});
    BoxRecorder boxes;
    Form3 form(lib.store, lib.folder.path());
    const Controls ui{form};
    QTest::mouseClick(ui.PushButton1, Qt::LeftButton);
    ui.RichTextBox1->setText(story);
    QTest::mouseClick(ui.PushButton1, Qt::LeftButton);
    QCOMPARE(lib.folder.stories(), (QStringList{"Older.", story}));
    QTEST(ui.ListView1->model()->index(1, 1).data().toString(), "shown");
    clickRow(form, 1);
    QCOMPARE(ui.RichTextBox1->text(), story);

    // Edited and written back, it stays exact.
    QTest::mouseClick(ui.PushButton3, Qt::LeftButton);
    ui.RichTextBox1->setText(story + story);
    QTest::mouseClick(ui.PushButton1, Qt::LeftButton);
    QCOMPARE(lib.folder.stories(), (QStringList{"Older.", story + story}));
    QCOMPARE(listed(form), onFile(lib.folder));
    QVERIFY(boxes.requests.isEmpty());
}

void TestForm3::confirmationThatFailsDeletesNothing()
{
    Library lib({"Kept."});
    QStringList reports;
    MessageBox::setHandler([&](const MessageBox::Request& request) {
        if (request.caption == QLatin1String("Delete Selected"))
            throw std::runtime_error("Out of memory");
        reports << request.text;
        return QMessageBox::Ok;
    });
    {
        Form3 form(lib.store, lib.folder.path());
        QTest::mouseClick(Controls{form}.PushButton2, Qt::LeftButton);
    }
    MessageBox::setHandler({});
    QCOMPARE(reports,
             QStringList{ErrorReport::message(
                 "Out of memory", ErrorReport::location(u"Form3", u"PushButton2_Click"), 104)});
    QCOMPARE(lib.folder.stories(), QStringList{"Kept."});
}

void TestForm3::editorFollowsTheSelectedRow()
{
    Library lib({"One.", "Two.", "Three."});
    BoxRecorder boxes;
    Form3 form(lib.store, lib.folder.path());
    const Controls ui{form};
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));

    // Keys move the selection and the editor with it, so Update writes the
    // row whose story the editor showed.
    ui.ListView1->setFocus();
    QTest::keyClick(ui.ListView1, Qt::Key_Down);
    QTest::keyClick(ui.ListView1, Qt::Key_Down);
    QCOMPARE(selectedRow(form), 2);
    QCOMPARE(ui.RichTextBox1->text(), QStringLiteral("Three."));
    QTest::mouseClick(ui.PushButton3, Qt::LeftButton);
    QTest::keyClick(ui.RichTextBox1, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClicks(ui.RichTextBox1, "!");
    QTest::mouseClick(ui.PushButton1, Qt::LeftButton);
    QCOMPARE(lib.folder.stories(), (QStringList{"One.", "Two.", "Three.!"}));

    // A control-click on the selected row leaves it selected.
    clickRow(form, 0, Qt::ControlModifier);
    QCOMPARE(selectedRow(form), 0);

    // After Save the hidden editor takes no keys; Escape does not close.
    QTest::mouseClick(ui.PushButton1, Qt::LeftButton);
    QTest::keyClicks(ui.RichTextBox1, "Four.");
    QTest::mouseClick(ui.PushButton1, Qt::LeftButton);
    QVERIFY(form.focusWidget() != ui.RichTextBox1);
    QTest::keyClick(&form, Qt::Key_Escape);
    QVERIFY(form.isVisible());
    QVERIFY(boxes.requests.isEmpty());
}

void TestForm3::faults_data()
{
    QTest::addColumn<QStringList>("actions");
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("editor");
    QTest::addColumn<QStringList>("stories"); // on file at the end
    QTest::addColumn<QStringList>("reports"); // "line: description"
    const QStringList two{"First.", "Second."};
    const QString save120 = "120: " + locked;
    QTest::newRow("Save under a lock keeps adding and the text; Save again stores it once")
        << QStringList{"add", "type:New.", "lock", "save", "release", "save"} << "browsing"
        << "First." << (two + QStringList{"New."}) << QStringList{save120};
    QTest::newRow("Update under a lock keeps editing and the text; Update again stores it")
        << QStringList{"row:1", "edit", "set:Second.!", "lock", "update", "release", "update"}
        << "browsing"
        << "First." << QStringList{"First.", "Second.!"} << QStringList{"144: " + locked};
    QTest::newRow("Delete under an exclusive lock waits once and keeps the list")
        << QStringList{"exclusive", "answer:Yes", "delete"} << "browsing"
        << "First." << two << QStringList{"106: " + locked};
    QTest::newRow("a refill under an exclusive lock keeps the list")
        << QStringList{"exclusive", "refill"} << "browsing"
        << "First." << two << QStringList{"listStories 106: " + locked};
    QTest::newRow("Update of a story deleted meanwhile is refused: adding, the text kept")
        << QStringList{"row:1", "edit", "set:Mine.", "plant:delete from story where id=2", "update"}
        << "adding"
        << "Mine." << QStringList{"First."} << QStringList{"144: " + changedSinceEdit};
    QTest::newRow("Delete of a story deleted meanwhile is refused and re-reads the list")
        << QStringList{"row:1", "plant:delete from story where id=2", "answer:Yes", "delete"}
        << "browsing"
        << "First." << QStringList{"First."} << QStringList{"106: " + changedSinceListed};
    QTest::newRow("Delete of a row whose key another program gave a new story is refused")
        << QStringList{"row:1",
                       "plant:delete from story where id=2; insert into story (fldstory) values "
                       "('Theirs.')",
                       "answer:Yes", "delete"}
        << "browsing"
        << "First." << QStringList{"First.", "Theirs."}
        << QStringList{"106: " + changedSinceListed};
    QTest::newRow("a library cut to 0 bytes and restored lists again at the next refill")
        << QStringList{"cut", "refill", "restore", "refill"} << "browsing"
        << "First." << two << QStringList{"listStories 106: no such table: story"};
    QTest::newRow("a key that is not a whole number changes nothing")
        << QStringList{"plant:drop table story; create table story (id, fldstory); insert into "
                       "story values (1.5, 'First.'), (2, 'Second.')",
                       "reopen", "edit", "set:First.!", "update"}
        << "editing"
        << "First.!" << two
        << QStringList{"144: The key of this story (1.5) is not a whole number, so the library "
                       "cannot be told which row to change. Nothing was changed."};
    QTest::newRow("a key shown twice is deleted by neither row")
        << QStringList{"plant:drop table story; create table story (id, fldstory); insert into "
                       "story values (3, 'First.'), (3, 'Second.')",
                       "reopen", "answer:Yes", "delete"}
        << "browsing"
        << "First." << two
        << QStringList{"106: The key of this story (3) belongs to more than one story in the "
                       "library, so this story cannot be changed alone. Nothing was changed."};
}

void TestForm3::faults()
{
    QFETCH(QStringList, actions);
    Library lib({"First.", "Second."});
    const QString library = lib.folder.libraryPath();
    QFile file(library);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray saved = file.readAll();
    BoxRecorder boxes;
    auto form = std::make_unique<Form3>(lib.store, lib.folder.path());
    std::optional<ProgramFolder::Lock> lock;
    // Besides the user: other programs, and the refill or a new window.
    ActionScript script = userActions([&]() -> Form3& { return *form; }, boxes);
    script.on("lock", [&](const QString&) { lock.emplace(lib.folder.lock()); })
        .on("exclusive", [&](const QString&) { lock.emplace(lib.folder.lock(true)); })
        .on("release", [&](const QString&) { lock.reset(); })
        .on("plant", [&](const QString& sql) { lib.folder.exec(sql); })
        .on("cut", [&](const QString&) { QVERIFY(QFile(library).resize(0)); })
        .on("restore", [&](const QString&) { lib.folder.writeFile("dbStory.mdb", saved); })
        .on("refill", [&](const QString&) { form->listStories(); })
        .on("reopen",
            [&](const QString&) { form = std::make_unique<Form3>(lib.store, lib.folder.path()); });
    QCOMPARE(script.run(actions), QString());
    lock.reset();
    QFETCH(QString, mode);
    QCOMPARE(state(*form), expectedState(mode));
    RichTextBox* editor = Controls{*form}.RichTextBox1;
    QTEST(editor->text(), "editor");
    if (mode != "browsing")
        QCOMPARE(form->focusWidget(), editor);
    QStringList reports;
    for (const QString& text : boxes.reports()) {
        const QString line = text.section("at line ", 1).section('\r', 0, 0);
        const QString where = text.contains("listStories") ? "listStories " : "";
        reports << where + line + ": " + text.section("\r\n", 0, 0);
    }
    QTEST(reports, "reports");
    // Read as any other program would: the story table's own rows.
    QStringList stories;
    for (const Story& story : lib.store.allStories())
        stories << story.fldstory.value_or(QString());
    QTEST(stories, "stories");
    QStringList shown;
    const QAbstractItemModel* model = Controls{*form}.ListView1->model();
    for (int row = 0; row < model->rowCount(); ++row)
        shown << model->index(row, 1).data(Qt::UserRole).toString();
    QCOMPARE(shown, stories);
}

void TestForm3::loadReportsEachFaultOnceAndGoesOn_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QStringList>("reports");
    QTest::addColumn<QStringList>("listed");
    QTest::addColumn<bool>("hand"); // the pointer's hand from HAND-M.CUR
    const QString fill = ErrorReport::location(u"Form3", u"listStories");
    const QStringList three{"1: One.", "2: Two.", "3: Three."};
    QTest::newRow("a closed store: reported at line 106, the list empty")
        << "closed"
        << QStringList{ErrorReport::message("The story library is not open.", fill, 106)}
        << QStringList{} << false;
    QTest::newRow("an exclusively locked file: reported at line 106, the list empty")
        << "locked" << QStringList{ErrorReport::message(locked, fill, 106)} << QStringList{}
        << false;
    QTest::newRow("a null story: reported at line 112, the fill goes on")
        << "null" << QStringList{ErrorReport::message(Failure::invalidUseOfNull, fill, 112)}
        << QStringList{"1: One.", "2: ", "3: Three."} << false;
    QTest::newRow("a cursor file: the hand from it") << "cursor" << QStringList{} << three << true;
    QTest::newRow("a cursor file that is no picture: reported at line 108, the load goes on")
        << "no picture"
        << QStringList{ErrorReport::message(Failure::invalidPicture,
                                            ErrorReport::location(u"Form3", u"Form_Load"), 108)}
        << three << false;
}

void TestForm3::loadReportsEachFaultOnceAndGoesOn()
{
    QFETCH(QString, setup);
    Library lib({"One.", "Two.", "Three."});
    std::optional<ProgramFolder::Lock> lock;
    if (setup == "closed")
        lib.store.close();
    else if (setup == "locked")
        lock.emplace(lib.folder.lock(true));
    else if (setup == "null")
        lib.folder.exec("update story set fldstory=null where id=2");
    QImage hand(32, 32, QImage::Format_ARGB32);
    hand.fill(Qt::black);
    if (setup == "cursor")
        QVERIFY(hand.save(lib.folder.filePath("HAND-M.CUR"), "ico"));
    else if (setup == "no picture")
        lib.folder.writeFile("HAND-M.CUR", "not a picture");
    BoxRecorder boxes;
    Form3 form(lib.store, lib.folder.path());
    QTEST(boxes.reports(), "reports");
    QTEST(listed(form), "listed");
    QCOMPARE(Controls{form}.RichTextBox1->text(), listed(form).value(0).section(": ", 1));
    QTEST(Controls{form}.pointer->hasCustomCursor(), "hand");
    QCOMPARE(Controls{form}.pointer->value(), int(MousePointer::Default));
    QCOMPARE(state(form), expectedState("browsing"));
}

void TestForm3::hourglassDuringTheFillAndHoverAreas()
{
    Library lib({"One."});
    BoxRecorder boxes;
    Form3 form(lib.store, lib.folder.path());
    const Controls ui{form};
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QList<int> during;
    lib.store.setStatementObserver([&](const QString&) { during << ui.pointer->value(); });
    form.listStories();
    QCOMPARE(during, QList<int>{MousePointer::Hourglass});
    QCOMPARE(ui.pointer->value(), int(MousePointer::Default));

    hoverOver(ui.PushButton2);
    QCOMPARE(ui.pointer->value(), int(MousePointer::Custom));
    hoverOver(ui.ListView1->viewport());
    QCOMPARE(ui.pointer->value(), int(MousePointer::Default));
    hoverOver(ui.PushButton4);
    hoverOver(ui.RichTextBox1->viewport()); // the editor has no hover area
    QCOMPARE(ui.pointer->value(), int(MousePointer::Custom));
    hoverOver(&form, QPoint(2, 212));
    QCOMPARE(ui.pointer->value(), int(MousePointer::Default));
    ui.pointer->set(MousePointer::Hourglass);
    hoverOver(ui.PushButton1);
    hoverOver(ui.ListView1->header()->viewport());
    QCOMPARE(ui.pointer->value(), int(MousePointer::Hourglass));
}

void TestForm3::closeRequests_data()
{
    QTest::addColumn<QStringList>("actions"); // in the stories window, opened by Change Story
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<QString>("open"); // the windows still open, the stories window's editor
    const QString report =
        "Application Error over Form3: " +
        ErrorReport::message(locked, ErrorReport::location(u"Form3", u"PushButton1_Click"), 120) +
        " (Warning; Ok; default Ok)";
    const QString question = "Quillrace over Form3: " + discard + " (NoIcon; Yes|No; default No)";
    QTest::newRow("a typed story, the frame, No: it stays with the story")
        << QStringList{"add", "type:Mine.", "answer:No", "frame"} << QStringList{question}
        << "stories: Mine. | main";
    QTest::newRow("a typed story, the frame, Yes: it closes")
        << QStringList{"add", "type:Mine.", "answer:Yes", "frame"} << QStringList{question}
        << "main";
    QTest::newRow("editing with nothing typed: no question")
        << QStringList{"edit", "frame"} << QStringList{} << "main";
    QTest::newRow("blanks only: no question")
        << QStringList{"add", "type:  ", "frame"} << QStringList{} << "main";
    QTest::newRow("a typed story, the main window's close, No: both stay")
        << QStringList{"edit", "type:!", "answer:No", "main"} << QStringList{question}
        << "stories: !Kept. | main";
    QTest::newRow("a typed story, the main window's close, Yes: both close")
        << QStringList{"add", "type:Mine.", "answer:Yes", "main"} << QStringList{question} << "";
    QTest::newRow("a typed story, the session ends, No: both stay")
        << QStringList{"add", "type:Mine.", "answer:No", "session end"} << QStringList{question}
        << "stories: Mine. | main";
    QTest::newRow("the main window's close while the stories window asks, No: both stay")
        << QStringList{"add", "type:Mine.", "main at the next box", "answer:No", "frame"}
        << QStringList{question} << "stories: Mine. | main";
    QTest::newRow("the main window's close during a lock wait goes ahead after its report")
        << QStringList{"add", "type:Mine.", "lock", "main at the next box", "save", "answer:Yes"}
        << QStringList{report, question} << "";
    QTest::newRow("the session's end during a lock wait asks after the report, Yes: both close")
        << QStringList{"add",  "type:Mine.", "lock", "session end at the next box",
                       "save", "answer:Yes"}
        << QStringList{report, question} << "";
}

void TestForm3::closeRequests()
{
    QFETCH(QStringList, actions);
    ProgramFolder folder({"Kept."});
    BoxRecorder boxes;
    std::function<void()> atNextBox;
    QStringList seen; // each box as it came, while its owner lived
    MessageBox::setHandler([&](const MessageBox::Request& request) {
        seen << shown(request);
        if (atNextBox)
            std::exchange(atNextBox, {})();
        return boxes.answers.isEmpty() ? QMessageBox::Ok : boxes.answers.dequeue();
    });
    Form1 main(folder.path());
    QVERIFY(main.Form_Load());
    main.storyStore().setBusyTimeout(50);
    main.show();
    std::optional<ProgramFolder::Lock> lock;
    QString open = "(the stories window did not open)";
    TestWindows::onNextModal(this, [&](QWidget* modal) {
        auto* stories = qobject_cast<Form3*>(modal);
        QVERIFY(stories);
        ActionScript script = userActions([&]() -> Form3& { return *stories; }, boxes);
        const auto closeMain = [&] { main.windowHandle()->close(); };
        const auto endSession = [] {
            QEvent quit(QEvent::Quit); // as the session manager's "die" sends it
            QCoreApplication::sendEvent(qApp, &quit);
        };
        script.on("frame", [&](const QString&) { stories->windowHandle()->close(); })
            .on("main", [&](const QString&) { closeMain(); })
            .on("main at the next box", [&](const QString&) { atNextBox = closeMain; })
            .on("lock", [&](const QString&) { lock.emplace(folder.lock()); })
            .on("session end", [&](const QString&) { endSession(); })
            .on("session end at the next box", [&](const QString&) { atNextBox = endSession; });
        QCOMPARE(script.run(actions), QString());
        QCoreApplication::processEvents(); // a close that waited goes ahead
        QStringList windows;
        if (stories->isVisible())
            windows << "stories: " + Controls{*stories}.RichTextBox1->text();
        if (main.isVisible())
            windows << "main";
        open = windows.join(" | ");
    });
    QTest::mouseClick(control<PushButton>(main, "PushButton3"), Qt::LeftButton);
    QTEST(open, "open");
    QTEST(seen, "boxes");
    QCOMPARE(main.storyStore().isOpen(), main.isVisible());
    QCOMPARE(folder.stories(), QStringList{"Kept."});
    main.close();
}

QTEST_MAIN(TestForm3)
#include "tst_form3.moc"

#include "windows/form3.h"

#include "controls/pushbutton.h"
#include "controls/richtextbox.h"
#include "controls/windowowner.h"
#include "core/failures.h"
#include "report/apptitle.h"
#include "report/errorreport.h"
#include "report/messagebox.h"
#include "stories/storystore.h"
#include "windows/appearance.h"
#include "windows/closestate.h"
#include "windows/mousepointer.h"
#include "windows/twips.h"

#include <QAbstractTableModel>
#include <QCloseEvent>
#include <QHeaderView>
#include <QIcon>
#include <QKeyEvent>
#include <QTreeView>

#include <algorithm>
#include <utility>

namespace {

const QString captionAddNew = QStringLiteral("Add New");
const QString captionSave = QStringLiteral("Save");
const QString captionUpdate = QStringLiteral("Update");
const QString captionDelete = QStringLiteral("Delete");
const QString captionCancel = QStringLiteral("Cancel");

constexpr int clientWidth = 8760; // twips

const QString changedSinceEdit = QStringLiteral(
    "This story was changed or deleted by another program since you opened it. Your text is "
    "kept: Save adds it as a new story, Cancel drops it.");
const QString changedSinceListed = QStringLiteral(
    "This story was changed or deleted by another program since the list showed it, so it was "
    "not deleted. The list now shows the library as it is.");

// Only the blank itself (code 32) is trimmed: tabs and line breaks are text.
bool isBlank(const QString& text)
{
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c == u' '; });
}

// A row shows its story on one line: each line break (CR LF, CR or LF) becomes
// a visible mark. Past what any column can show the line is cut, so painting a
// very long story costs no more than painting a short one.
QString oneLine(const QString& story)
{
    constexpr qsizetype longest = 2000;
    const qsizetype end = std::min(story.size(), longest);
    if (end == story.size() && !story.contains(u'\r') && !story.contains(u'\n'))
        return story;
    QString line;
    line.reserve(end + 1);
    for (qsizetype i = 0; i < end; ++i) {
        const QChar c = story.at(i);
        if (c == u'\r' || c == u'\n') {
            line += u'\u23CE';
            if (c == u'\r' && i + 1 < story.size() && story.at(i + 1) == u'\n')
                ++i;
        } else {
            line += c;
        }
    }
    if (end < story.size()) {
        if (line.back().isHighSurrogate())
            line.chop(1);
        line += u'\u2026';
    }
    return line;
}

} // namespace

namespace Form3Detail {

// The rows of the story list: each row's text (the key in decimal) and its
// first sub-item (the exact story). Columns are added by the window at load.
class StoryList final : public QAbstractTableModel
{
public:
    struct Item
    {
        QString text;             // the key as shown
        QString subItem;          // the exact story
        std::optional<qint64> id; // the key, when a statement can name it
        bool sharedKey = false;   // another row of the list has the same key
    };

    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : int(items_.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : int(headers_.size());
    }

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid() || index.row() >= items_.size())
            return {};
        const Item& item = items_.at(index.row());
        if (index.column() == 0 && (role == Qt::DisplayRole || role == Qt::UserRole))
            return item.text;
        if (index.column() == 1 && role == Qt::DisplayRole)
            return oneLine(item.subItem);
        if (index.column() == 1 && role == Qt::UserRole)
            return item.subItem;
        return {};
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
            section < headers_.size())
            return headers_.at(section);
        return {};
    }

    void addColumn(const QString& header)
    {
        beginInsertColumns({}, int(headers_.size()), int(headers_.size()));
        headers_.append(header);
        endInsertColumns();
    }

    // The whole fill arrives at once: one reset instead of a row insert per
    // story. Keys that appear more than once are marked here, where every row
    // is at hand.
    void setItems(QList<Item> items)
    {
        QHash<qint64, int> uses;
        for (const Item& item : std::as_const(items))
            if (item.id)
                ++uses[*item.id];
        for (Item& item : items)
            item.sharedKey = item.id && uses.value(*item.id) > 1;
        beginResetModel();
        items_ = std::move(items);
        endResetModel();
    }

    const Item& item(int row) const { return items_.at(row); }

private:
    QStringList headers_;
    QList<Item> items_;
};

namespace {

// While the list has rows one of them stays selected: a control-click or
// control-space on the selected row does not clear the selection.
class ListView final : public QTreeView
{
public:
    using QTreeView::QTreeView;

protected:
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event) const override
    {
        QItemSelectionModel::SelectionFlags command = QTreeView::selectionCommand(index, event);
        if (index.isValid() &&
            (command & (QItemSelectionModel::Deselect | QItemSelectionModel::Toggle)))
            command = QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows;
        return command;
    }
};

} // namespace
} // namespace Form3Detail

using Form3Detail::StoryList;

Form3::Form3(StoryStore& store, const QString& programFolder, const QWidget* owner,
             CloseState* closing)
    : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      store_(store), programFolder_(programFolder), closing_(closing)
{
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Stories"));
    setFont(Appearance::arialBold(9));
    setSizeGripEnabled(false);

    RichTextBox1 = new RichTextBox(this);
    RichTextBox1->setObjectName(QStringLiteral("RichTextBox1"));
    RichTextBox1->setAccessibleName(QStringLiteral("Story"));
    RichTextBox1->setGeometry(Twips::rect(90, 3330, 8610, 2490));
    // A scroll bar that comes and goes would have a long story laid out again
    // each time it does.
    RichTextBox1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // A keystroke in a story of megabytes lays out one part of it, not all.
    RichTextBox1->setParagraphParts(RichTextBox::partLength);

    list_ = new StoryList(this);
    auto* view = new Form3Detail::ListView(this);
    view->setModel(list_);
    view->setObjectName(QStringLiteral("ListView1"));
    view->setAccessibleName(QStringLiteral("Stories"));
    view->setGeometry(Twips::rect(120, 120, 8520, 2490));
    view->setToolTip(
        QStringLiteral("Move | line to right and out of window to reveal full names."));
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setRootIsDecorated(false);
    view->setItemsExpandable(false);
    view->setUniformRowHeights(true);
    view->setAllColumnsShowFocus(true);
    view->setTextElideMode(Qt::ElideRight);
    view->header()->setStretchLastSection(false);
    view->header()->setSectionsMovable(false);
    view->header()->setMinimumSectionSize(0);
    ListView1 = view;

    const auto button = [this](const char* name, const QString& caption, int left) {
        auto* button = new PushButton(caption, this);
        button->setObjectName(QLatin1String(name));
        button->setGeometry(Twips::rect(left, 2715, 2040, 405));
        button->setFont(Appearance::arialBold(11.25));
        return button;
    };
    PushButton1 = button("PushButton1", captionAddNew, 120);
    PushButton2 = button("PushButton2", captionDelete, 2280);
    PushButton3 = button("PushButton3", QStringLiteral("Edit"), 4440);
    PushButton4 = button("PushButton4", QStringLiteral("Close"), 6600);

    setTabOrder(RichTextBox1, ListView1);
    setTabOrder(ListView1, PushButton1);
    setTabOrder(PushButton1, PushButton2);
    setTabOrder(PushButton2, PushButton3);
    setTabOrder(PushButton3, PushButton4);

    pointer = new MousePointer(*this);
    pointer->hover(this, MousePointer::Default);
    pointer->hover(ListView1, MousePointer::Default);
    pointer->hover(ListView1->header(), MousePointer::Default);
    for (PushButton* b : {PushButton1, PushButton2, PushButton3, PushButton4})
        pointer->hover(b, MousePointer::Custom);

    connect(PushButton1, &QPushButton::clicked, this, &Form3::PushButton1_Click);
    connect(PushButton2, &QPushButton::clicked, this, &Form3::PushButton2_Click);
    connect(PushButton3, &QPushButton::clicked, this, &Form3::PushButton3_Click);
    connect(PushButton4, &QPushButton::clicked, this, &Form3::PushButton4_Click);
    // The editor follows the selected row however the user moves it (a click,
    // keys, a drag across rows), so Edit and Update always concern one row.
    // The list's click has no report of its own, and no failure may unwind
    // through Qt's signal dispatch, so a failure of the click ends here.
    const auto reload = [this]() noexcept {
        if (filling_ || !ListView1->selectionModel()->hasSelection())
            return;
        try {
            ListView1_Click();
        } catch (...) {
        }
    };
    connect(ListView1, &QAbstractItemView::clicked, this, reload);
    connect(ListView1->selectionModel(), &QItemSelectionModel::selectionChanged, this, reload);

    setOuterHeight(browsingHeight);
    Appearance::centreOnScreen(*this);
    WindowOwner::set(*this, owner);

    Form_Load();
}

Form3::~Form3() = default;

void Form3::setOuterHeight(int twips)
{
    // The window grows and shrinks at its bottom; its position stays.
    setFixedSize(Twips::toPixels(clientWidth), Twips::toPixels(twips - frameHeight));
    // Out of sight, the editor takes no keyboard input: typing there would
    // change a story the user cannot see.
    const bool inView = RichTextBox1->geometry().bottom() < height();
    RichTextBox1->setVisible(inView);
    RichTextBox1->setFocusPolicy(inView ? Qt::StrongFocus : Qt::NoFocus);
    if (!inView && focusWidget() == RichTextBox1)
        PushButton1->setFocus();
}

int Form3::rowCount() const
{
    return list_->rowCount();
}

StoryStore::Seen Form3::selectedRow() const
{
    const QModelIndexList selected = ListView1->selectionModel()->selectedRows(0);
    if (selected.isEmpty())
        Failure::raise(Failure::objectNotSet);
    // A key the statement cannot name exactly, or one that names other rows
    // too, would change a row the user did not choose.
    const StoryList::Item& item = list_->item(selected.first().row());
    if (!item.id)
        Failure::raise(
            QStringLiteral("The key of this story (%1) is not a whole number, so the library "
                           "cannot be told which row to change. Nothing was changed.")
                .arg(item.text));
    if (item.sharedKey)
        Failure::raise(
            QStringLiteral("The key of this story (%1) belongs to more than one story in the "
                           "library, so this story cannot be changed alone. Nothing was changed.")
                .arg(item.text));
    return {*item.id, item.subItem, version_};
}

StoryStore::Action Form3::storeAction()
{
    return StoryStore::Action(store_, pointer->hourglassWhileWaiting());
}

void Form3::keyPressEvent(QKeyEvent* event)
{
    // The window has no cancel key: Escape must not close it and drop an
    // unsaved story.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void Form3::closeEvent(QCloseEvent* event)
{
    if (closing_ ? closing_->storiesRequested() != CloseState::Outcome::Closes : !mayDiscard())
        return event->ignore();
    QDialog::closeEvent(event);
}

bool Form3::mayDiscard()
{
    if (!isVisible() || PushButton1->caption() == captionAddNew ||
        !RichTextBox1->document()->isModified() || isBlank(RichTextBox1->text()))
        return true;
    Steps step(u"Form3", u"Form_QueryUnload", this);
    // Only Yes drops the story: a box that failed to ask keeps it.
    auto answer = QMessageBox::No;
    step(100, [&] {
        answer = MessageBox::show({QStringLiteral("Discard the story you have not saved?"),
                                   AppTitle::appTitle(), QMessageBox::NoIcon,
                                   QMessageBox::Yes | QMessageBox::No, QMessageBox::No, this});
    });
    return answer == QMessageBox::Yes;
}

void Form3::Form_Load()
{
    Steps step(u"Form3", u"Form_Load", this);
    const StoryStore::Action action = storeAction();
    step(100, [&] { Appearance::applySystemColours(this); });
    step(102, [&] { setWindowIcon(Appearance::programIcon()); });
    Appearance::loadHandCursor(step, 106, 108, programFolder_, *pointer);
    step(110, [&] { list_->addColumn(QStringLiteral("ID")); });
    step(112, [&] { list_->addColumn(QStringLiteral("Story")); });
    step(114, [&] { ListView1->setColumnWidth(0, 0); });
    step(116, [&] { ListView1->setColumnWidth(1, Twips::toPixels(8000)); });
    step(118, [&] { listStories(); });
}

void Form3::listStories(bool reloadEditor)
{
    Steps step(u"Form3", u"listStories", this);
    const StoryStore::Action action = storeAction();
    const bool wasFilling = filling_;
    filling_ = true;
    QList<Story> stories; // 100: the result set
    step(102, [&] { pointer->set(MousePointer::Hourglass); });
    // 104: the old rows go only when the new ones are in (114), so a read that
    // fails leaves the list as it was rather than empty over a full library.
    bool read = false;
    step(106, [&] {
        stories = store_.allStories();
        version_ = store_.dataVersion();
        read = true;
    });
    // A table that could not be read has no rows to walk: its failure is
    // reported once.
    if (read) {
        QList<StoryList::Item> items;
        items.reserve(stories.size());
        for (const Story& story : std::as_const(stories)) { // 108
            StoryList::Item* made = nullptr;
            step(110, [&] {
                items.append({story.key, QString(), story.id});
                made = &items.last();
            });
            // A null story (a file changed by other means) is reported for
            // its row, which keeps an empty story column.
            step(112, [&] {
                if (!made)
                    return;
                if (!story.fldstory)
                    Failure::raise(Failure::invalidUseOfNull);
                made->subItem = *story.fldstory;
            });
        }
        // 114: the rows are shown together, the first of them selected.
        step(114, [&] {
            list_->setItems(std::move(items));
            if (rowCount() > 0) {
                ListView1->setCurrentIndex(list_->index(0, 0));
                ListView1->scrollToTop();
            }
        });
    }
    // 116 closes the result set: allStories has already released it.
    step(118, [&] { pointer->set(MousePointer::Default); });
    filling_ = wasFilling;
    if (reloadEditor)
        step(120, [&] { ListView1_Click(); });
}

void Form3::ListView1_Click()
{
    if (rowCount() == 0)
        return;
    const QModelIndexList selected = ListView1->selectionModel()->selectedRows(1);
    if (selected.isEmpty())
        Failure::raise(Failure::objectNotSet);
    RichTextBox1->setText(selected.first().data(Qt::UserRole).toString());
}

void Form3::keepTyping()
{
    // After a write that failed the user's text stays where it was typed, so
    // the same button can try again, or Cancel can give up.
    RichTextBox1->setFocus();
}

void Form3::PushButton1_Click()
{
    Steps step(u"Form3", u"PushButton1_Click", this);
    const StoryStore::Action action = storeAction();
    if (step.test(100, [&] { return PushButton1->caption() == captionAddNew; })) {
        step(102, [&] { setOuterHeight(editingHeight); });
        step(104, [&] { PushButton1->setCaption(captionSave); });
        step(106, [&] { PushButton2->setCaption(captionCancel); });
        step(108, [&] { PushButton3->setVisible(false); });
        step(110, [&] { PushButton4->setVisible(false); });
        step(112, [&] { RichTextBox1->setText(QString()); });
        step(114, [&] { RichTextBox1->setFocus(); });
    } else if (step.test(116, [&] { return PushButton1->caption() == captionSave; })) {
        if (step.test(118, [&] { return isBlank(RichTextBox1->text()); })) {
            step(138, [&] {
                MessageBox::show({QStringLiteral("You forgot to input stories."),
                                  AppTitle::appTitle(), QMessageBox::NoIcon, QMessageBox::Ok,
                                  QMessageBox::Ok, this});
            });
            return;
        }
        bool saved = false;
        step(120, [&] {
            store_.addStory(RichTextBox1->text());
            saved = true;
        });
        if (!saved)
            return keepTyping();
        step(122, [&] { setOuterHeight(browsingHeight); });
        step(124, [&] { PushButton1->setCaption(captionAddNew); });
        step(126, [&] { PushButton2->setCaption(captionDelete); });
        step(128, [&] { PushButton3->setVisible(true); });
        step(130, [&] { PushButton4->setVisible(true); });
        step(132, [&] { ListView1->setEnabled(true); });
        step(134, [&] { ListView1_Click(); });
        step(136, [&] { listStories(); });
    } else if (step.test(140, [&] { return PushButton1->caption() == captionUpdate; })) {
        // Blank text is ignored without a word; the window stays in editing mode.
        if (step.test(142, [&] { return isBlank(RichTextBox1->text()); }))
            return;
        bool updated = false;
        bool refused = false;
        step(144, [&] {
            refused = !store_.updateStory(selectedRow(), RichTextBox1->text());
            if (refused)
                Failure::raise(changedSinceEdit);
            updated = true;
        });
        if (refused) {
            // Pressing Update again would write over whatever the row now
            // holds: the text goes on as a new story, which Save adds.
            PushButton1->setCaption(captionSave);
            ListView1->setEnabled(true);
            listStories(false);
        }
        if (!updated)
            return keepTyping();
        step(146, [&] { setOuterHeight(browsingHeight); });
        step(148, [&] { RichTextBox1->setText(QString()); });
        step(150, [&] { PushButton1->setCaption(captionAddNew); });
        step(152, [&] { PushButton2->setCaption(captionDelete); });
        step(154, [&] { PushButton3->setVisible(true); });
        step(156, [&] { PushButton4->setVisible(true); });
        step(158, [&] { ListView1->setEnabled(true); });
        step(160, [&] { ListView1_Click(); });
        step(162, [&] { listStories(); });
    }
}

void Form3::PushButton2_Click()
{
    Steps step(u"Form3", u"PushButton2_Click", this);
    const StoryStore::Action action = storeAction();
    if (step.test(100, [&] { return PushButton2->caption() == captionDelete; })) {
        if (!step.test(102, [&] { return rowCount() > 0; }))
            return;
        // Only an answer of Yes deletes: a box that failed to ask deletes nothing.
        auto answer = QMessageBox::No;
        step(104, [&] {
            answer = MessageBox::show(
                {QStringLiteral("Are you sure you want to delete the selected item?"),
                 QStringLiteral("Delete Selected"), QMessageBox::NoIcon,
                 QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes, this});
        });
        if (answer != QMessageBox::Yes)
            return;
        // A delete that failed changed nothing, so the list still shows the
        // file; one refused because the row changed shows that the list is stale.
        bool reread = false;
        step(106, [&] {
            const bool deleted = store_.deleteStory(selectedRow());
            reread = true;
            if (!deleted)
                Failure::raise(changedSinceListed);
        });
        if (reread)
            step(108, [&] { listStories(); });
        return;
    }
    // Cancel: nothing is written and the list is not read again.
    step(110, [&] { setOuterHeight(browsingHeight); });
    step(112, [&] { PushButton1->setCaption(captionAddNew); });
    step(114, [&] { PushButton2->setCaption(captionDelete); });
    step(116, [&] { PushButton3->setVisible(true); });
    step(118, [&] { PushButton4->setVisible(true); });
    step(120, [&] { ListView1->setEnabled(true); });
    step(122, [&] { ListView1_Click(); });
}

void Form3::PushButton3_Click()
{
    Steps step(u"Form3", u"PushButton3_Click", this);
    // Edit shows what the editor already holds: the selected row's story.
    if (!step.test(100, [&] { return rowCount() > 0; }))
        return;
    step(102, [&] { setOuterHeight(editingHeight); });
    step(104, [&] { PushButton1->setCaption(captionUpdate); });
    step(106, [&] { PushButton2->setCaption(captionCancel); });
    step(108, [&] { PushButton3->setVisible(false); });
    step(110, [&] { PushButton4->setVisible(false); });
    step(112, [&] { ListView1->setEnabled(false); });
    step(114, [&] { RichTextBox1->setFocus(); });
}

void Form3::PushButton4_Click()
{
    Steps step(u"Form3", u"PushButton4_Click", this);
    step(100, [&] { close(); });
}

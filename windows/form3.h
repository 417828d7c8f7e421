#pragma once

#include "stories/storystore.h"

#include <QDialog>
#include <QString>

class CloseState;
class MousePointer;
class PushButton;
class QTreeView;
class RichTextBox;

namespace Form3Detail {
class StoryList;
}

// The stories window: browse, add, edit and delete the stories of the library.
//
// Its mode (browsing, adding, editing) lives nowhere but in the captions of
// PushButton1 ("Add New" / "Save" / "Update") and PushButton2 ("Delete" /
// "Cancel"); every handler decides by comparing them. All reading and writing
// goes through the StoryStore it is given, which must outlive the window.
//
// The window loads itself (Form_Load) when it is built, before it is shown;
// closing it only hides it, and the owner discards it, so each opening starts
// in browsing mode. Whether a close request closes it is the program's close
// state's to say (CloseState); a window without one asks about an unsaved
// story itself.
class Form3 final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Form3)

public:
    // The window belongs to its owner's window (see WindowOwner).
    Form3(StoryStore& store, const QString& programFolder, const QWidget* owner = nullptr,
          CloseState* closing = nullptr);
    ~Form3() override;

    void Form_Load();
    // Refills the list from the store and reloads the editor from its first row
    // (unless told to leave the editor alone). A read that fails leaves the
    // list as it was.
    void listStories(bool reloadEditor = true);
    // Loads the selected row's exact story into the editor; with no rows it
    // does nothing. It has no failure report of its own.
    void ListView1_Click();

    void PushButton1_Click(); // Add New / Save / Update
    void PushButton2_Click(); // Delete / Cancel
    void PushButton3_Click(); // Edit
    void PushButton4_Click(); // Close

    // True when nothing unsaved would be lost by closing: the window is not
    // open, it is browsing, nothing was typed, or only blanks; otherwise asks
    // "Discard the story you have not saved?" and is true only for Yes.
    bool mayDiscard();

    // The window's outer heights in twips; the client area is the outer
    // height less the 570 twips of title bar and border.
    static constexpr int browsingHeight = 3795;
    static constexpr int editingHeight = 6450;
    static constexpr int frameHeight = 570;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // Controls, by their design names; tests find them by these object names.
    // ListView1's model has the columns "ID" (the key in decimal) and "Story"
    // (the story on one line, its exact text under Qt::UserRole).
    RichTextBox* RichTextBox1; // the story editor
    QTreeView* ListView1;
    PushButton* PushButton1;
    PushButton* PushButton2;
    PushButton* PushButton3;
    PushButton* PushButton4;
    MousePointer* pointer;

    void setOuterHeight(int twips);
    int rowCount() const;
    // The selected row as the list shows it; throws when its key cannot name
    // that row alone.
    StoryStore::Seen selectedRow() const;
    // One user action on the store: one busy timeout, the hourglass meanwhile.
    StoryStore::Action storeAction();
    void keepTyping();

    StoryStore& store_;
    QString programFolder_;
    CloseState* closing_;
    Form3Detail::StoryList* list_;
    quint64 version_ = 0;  // the library's data version as the list was last read
    bool filling_ = false; // the list is being refilled: selection changes are not the user's
};

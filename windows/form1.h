#pragma once

// Quillrace: a typing-speed tester.
//
// Form1 is the main window and the program's start-up object. Its members are
// defined where their subject lives, in these files and no others:
//   windows/form1.cpp         the layout, the results window's loading, the
//                             font buttons, Change Story, the close request
//                             as the close state (CloseState) decides it
//   app/form1_startup.cpp     Form_Load with its skin (applySkin),
//                             Form_QueryUnload, Form_Unload
//   testrun/form1_testrun.cpp Start, Stop, the typing box's change handler,
//                             the tick
// A test runs: Start (PushButton4_Click) picks a random story from the
// StoryStore into the story box, clears the typing box and arms the run; the
// first change of the typing box starts Timer1, whose ticks count lngSeconds;
// Stop (PushButton1_Click) stops the clock and, when something was typed,
// scores it with modTyping::CompareTyping, writes the result into the results
// window Form2 and shows it modally. Change Story opens the stories window
// Form3 over the same StoryStore. Every handler that does real work runs
// numbered Steps, which report a failure and go on with the next step.
//
// Folders include downwards only, in the order of README.md's layout table.

#include "stories/storystore.h"
#include "windows/closestate.h"

#include <QPointer>
#include <QWidget>

#include <memory>

class BlockedCloseRequests;
class Form2;
class Form3;
class MousePointer;
class PushButton;
class QLabel;
class QTimer;
class RichTextBox;
class SkinFramework;

class Form1 final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Form1)

public:
    // The program folder holds HAND-M.CUR, x/o.cjs and dbStory.mdb: the story
    // library itself, or the sample each user's own library starts from.
    explicit Form1(const QString& programFolder, QWidget* parent = nullptr);
    ~Form1() override;

    // Start-up. Returns false when the program must end at once, before the
    // window is shown (the story library is missing).
    bool Form_Load();
    void Form_QueryUnload();
    void Form_Unload() noexcept;

    // The test run. Handlers that report run their work in Steps; the two
    // without a report of their own cannot fail, and say so.
    void PushButton4_Click(); // Start
    void PushButton1_Click(); // Stop
    void RichTextBox2_Change() noexcept;
    void Timer1_Timer() noexcept;

    void PushButton2_Click(); // Font Decrease
    void PushButton5_Click(); // Font Increase
    void PushButton3_Click(); // Change Story

    const QString& programFolder() const { return programFolder_; }
    // The folder of dbStory.mdb: the program folder when the user can write
    // to it, else the user's own (LibraryFolder).
    const QString& libraryFolder() const { return libraryFolder_; }
    StoryStore& storyStore() { return store_; }

    // The results window, loaded on first access and after every unload.
    // Closing it unloads it (Form2 deletes itself); the hold here lets go of
    // it by itself, and a window still loaded goes with the main window.
    Form2& results();

    bool blnArmed = false;

    // The story box's font stays within these sizes.
    static constexpr double smallestFontSize = 1.0;
    static constexpr double largestFontSize = 200.0;

protected:
    // The close state decides: the program closes only at rest, and an open
    // stories window with an unsaved story asks first.
    void closeEvent(QCloseEvent* event) override;
    // The session's end (the application's Quit) is a close request of the
    // main window. Qt would ask the modal stories window first and stop at its
    // refusal, so the main window's close would never be asked for.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void stepFontSize(double points);
    void applySkin();

    // Controls, by their design names; tests find them by these object names.
    RichTextBox* RichTextBox1; // the story box
    RichTextBox* RichTextBox2; // the typing box
    QLabel* Label1;            // the time label
    PushButton* PushButton4;   // Start
    PushButton* PushButton1;   // Stop
    PushButton* PushButton3;   // Change Story
    PushButton* PushButton2;   // Font Decrease
    PushButton* PushButton5;   // Font Increase
    QTimer* Timer1;
    SkinFramework* SkinFramework1;
    MousePointer* pointer;

    QString programFolder_;
    QString libraryFolder_ = programFolder_;
    StoryStore store_;
    QPointer<Form2> form2_;
    QPointer<Form3> stories_; // while Change Story shows it
    CloseState closing_;
    std::unique_ptr<BlockedCloseRequests> closeRequests_;
};

#pragma once

#include <functional>
#include <optional>

// When the program may end. Close requests come to the main window (its
// frame, or the session's end) and to the stories window (its frame or its
// Close), one at a time or both at once, at any moment: during a store action
// (a lock wait and the reports after it) or while the question about an
// unsaved story is open. Each request closes its window, waits, or is refused
// after the question, which is asked once however many requests wait for it:
//
//   Open     nothing waits: a request is decided at once
//   Waiting  requests wait for the store action underway to end
//   Asking   the question is open: requests wait for its answer
//   Closing  the program ends: every request closes
//
// Yes at the question closes the stories window, and ends the program when a
// close of the main window was asked for, before the question or while it was
// open. No keeps the program and the story, and forgets every request.
class CloseState
{
public:
    enum class State { Open, Waiting, Asking, Closing };
    // What the window whose close was requested does with it now. For the
    // main window, Closes ends the program.
    enum class Outcome { Closes, Waits, Stays };

    // What the close state reads of the windows and asks of them. The two
    // closes are requests sent through the event loop, which come back here.
    struct Windows
    {
        std::function<bool()> storeBusy;  // a store action is underway
        std::function<bool()> mayDiscard; // no unsaved story, or Yes to dropping it
        std::function<void()> closeMain;
        std::function<void()> closeStories; // when the stories window is open
    };

    explicit CloseState(Windows windows);

    Outcome mainRequested();
    Outcome storiesRequested();
    // The store action underway has ended: what waited for it is asked again.
    void storeIdle();

    State state() const { return state_; }

private:
    // Closing, Waiting and Asking decide a request without looking further;
    // Open starts Waiting when a store action is underway.
    std::optional<Outcome> held(bool& asked);
    bool mayDiscard();

    Windows windows_;
    State state_ = State::Open;
    bool mainAsked_ = false;    // a close of the main window waits
    bool storiesAsked_ = false; // a close of the stories window waits
};

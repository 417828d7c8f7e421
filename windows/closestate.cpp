#include "windows/closestate.h"

#include <utility>

CloseState::CloseState(Windows windows) : windows_(std::move(windows)) {}

std::optional<CloseState::Outcome> CloseState::held(bool& asked)
{
    if (state_ == State::Closing)
        return Outcome::Closes;
    if (state_ == State::Open && windows_.storeBusy())
        state_ = State::Waiting;
    if (state_ == State::Open)
        return std::nullopt;
    asked = true;
    return Outcome::Waits;
}

bool CloseState::mayDiscard()
{
    state_ = State::Asking;
    const bool yes = windows_.mayDiscard();
    state_ = State::Open;
    storiesAsked_ = false;
    if (!yes)
        mainAsked_ = false;
    return yes;
}

CloseState::Outcome CloseState::mainRequested()
{
    if (const auto outcome = held(mainAsked_))
        return *outcome;
    if (!mayDiscard())
        return Outcome::Stays;
    state_ = State::Closing;
    windows_.closeStories();
    return Outcome::Closes;
}

CloseState::Outcome CloseState::storiesRequested()
{
    if (const auto outcome = held(storiesAsked_))
        return *outcome;
    if (!mayDiscard())
        return Outcome::Stays;
    if (mainAsked_) {
        state_ = State::Closing;
        windows_.closeMain();
    }
    return Outcome::Closes;
}

void CloseState::storeIdle()
{
    if (state_ != State::Waiting || windows_.storeBusy())
        return;
    state_ = State::Open;
    const bool main = std::exchange(mainAsked_, false);
    const bool stories = std::exchange(storiesAsked_, false);
    // The main window's close takes the stories window's with it.
    if (main)
        windows_.closeMain();
    else if (stories)
        windows_.closeStories();
}

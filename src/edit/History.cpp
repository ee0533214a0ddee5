#include "edit/History.h"

#include <new>
#include <utility>

namespace sonlet {

THistory::THistory(std::size_t budgetBytes) : budget_(budgetBytes) {}

THistory::~THistory() = default;

EditOutcome THistory::Do(TInstrument& instrument, std::unique_ptr<TEditCommand> command) {
    if (!command) {
        return EditOutcome::Refused;
    }
    try {
        if (!command->Apply(instrument)) {
            return EditOutcome::Refused;
        }
    } catch (const std::bad_alloc&) {
        // Commands allocate before they change anything, so nothing was changed.
        return EditOutcome::NoMemory;
    }
    undone_.clear();
    if (gestureOpen_ && !done_.empty() && done_.back().Command->Absorb(*command)) {
        done_.back().State = nextState_++;
    } else {
        done_.push_back({std::move(command), nextState_++});
    }
    gestureOpen_ = true;
    if (done_.back().Command->HeldBytes() > budget_) {
        // Nothing before this step can be reached again, and this step cannot be taken back.
        baseState_ = done_.back().State;
        done_.clear();
        gestureOpen_ = false;
        return EditOutcome::DoneNotUndoable;
    }
    while (done_.size() > 1 && HeldBytes() > budget_) {
        DropOldest();
    }
    return EditOutcome::Done;
}

std::optional<EditFocus> THistory::Undo(TInstrument& instrument) {
    gestureOpen_ = false;
    if (done_.empty()) {
        return std::nullopt;
    }
    Step step = std::move(done_.back());
    done_.pop_back();
    try {
        step.Command->Revert(instrument);
    } catch (const std::bad_alloc&) {
        // Nothing was changed: the step stays to be undone later.
        done_.push_back(std::move(step));
        return std::nullopt;
    }
    const EditFocus focus = step.Command->Focus();
    undone_.push_back(std::move(step));
    return focus;
}

std::optional<EditFocus> THistory::Redo(TInstrument& instrument) {
    gestureOpen_ = false;
    if (undone_.empty()) {
        return std::nullopt;
    }
    Step step = std::move(undone_.back());
    undone_.pop_back();
    bool made = false;
    try {
        made = step.Command->Apply(instrument);
    } catch (const std::bad_alloc&) {
        made = false;
    }
    if (!made) {
        // Redo runs on the state the step was made on; a step that cannot be made again
        // there (memory ran out) is dropped with everything after it.
        undone_.clear();
        return std::nullopt;
    }
    const EditFocus focus = step.Command->Focus();
    done_.push_back(std::move(step));
    return focus;
}

std::string THistory::UndoName() const {
    return done_.empty() ? std::string() : done_.back().Command->Name();
}

std::string THistory::RedoName() const {
    return undone_.empty() ? std::string() : undone_.back().Command->Name();
}

void THistory::Clear() {
    done_.clear();
    undone_.clear();
    baseState_ = nextState_++;
    savedState_ = baseState_;
    gestureOpen_ = false;
}

void THistory::SetBudget(std::size_t bytes) {
    budget_ = bytes;
    undone_.clear();
    while (!done_.empty() && HeldBytes() > budget_) {
        DropOldest();
    }
}

std::size_t THistory::HeldBytes() const {
    std::size_t total = 0;
    for (const Step& step : done_) {
        total += step.Command->HeldBytes();
    }
    for (const Step& step : undone_) {
        total += step.Command->HeldBytes();
    }
    return total;
}

void THistory::DropOldest() {
    baseState_ = done_.front().State;
    done_.pop_front();
}

} // namespace sonlet

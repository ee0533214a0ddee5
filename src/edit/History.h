#pragma once

#include "edit/EditCommand.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace sonlet {

// How THistory::Do went.
enum class EditOutcome : std::uint8_t {
    Done,
    // Made, but the step alone needs more than the whole memory budget: the history was
    // emptied and the edit cannot be undone.
    DoneNotUndoable,
    // Not made; the instrument is unchanged.
    Refused,
    // Not made for want of memory; the instrument is unchanged.
    NoMemory,
};

// The document's edits in order, for undo and redo, within a memory budget.
//
// Every change the user makes goes through Do. A new edit after an undo drops the steps that
// could have been redone; when the steps hold more than the budget, the oldest go first. The
// position after the last save or load is remembered, so the document knows whether it holds
// unsaved changes. Runs on the GUI thread only; the commands take the instrument's edit lock.
class THistory {
public:
    static constexpr std::size_t DefaultBudget = std::size_t{512} << 20;

    explicit THistory(std::size_t budgetBytes = DefaultBudget);
    THistory(const THistory&) = delete;
    THistory& operator=(const THistory&) = delete;
    ~THistory();

    EditOutcome Do(TInstrument& instrument, std::unique_ptr<TEditCommand> command);
    // Take back or make again one step; nothing when there is none. The focus tells what the
    // step touched, for the editor to show.
    std::optional<EditFocus> Undo(TInstrument& instrument);
    std::optional<EditFocus> Redo(TInstrument& instrument);

    bool CanUndo() const { return !done_.empty(); }
    bool CanRedo() const { return !undone_.empty(); }
    // The names of the steps Undo and Redo would take; empty when there is none.
    std::string UndoName() const;
    std::string RedoName() const;
    std::size_t UndoCount() const { return done_.size(); }
    std::size_t RedoCount() const { return undone_.size(); }

    // The next edit starts a step of its own even when the last step would take it in.
    void EndGesture() { gestureOpen_ = false; }

    // Forgets every step: a new or newly loaded document, which counts as saved.
    void Clear();
    // The document as it stands is what its file holds.
    void MarkSaved() { savedState_ = CurrentState(); }
    bool Modified() const { return CurrentState() != savedState_; }

    std::size_t Budget() const { return budget_; }
    // A smaller budget drops the oldest steps at once.
    void SetBudget(std::size_t bytes);
    // The memory all steps keep.
    std::size_t HeldBytes() const;

private:
    struct Step {
        std::unique_ptr<TEditCommand> Command;
        // Names the state of the document once this step is made.
        std::uint64_t State = 0;
    };

    std::uint64_t CurrentState() const { return done_.empty() ? baseState_ : done_.back().State; }
    void DropOldest();

    std::size_t budget_;
    std::deque<Step> done_;
    std::vector<Step> undone_;
    std::uint64_t nextState_ = 1;
    // The state before the oldest step that can still be undone.
    std::uint64_t baseState_ = 0;
    std::uint64_t savedState_ = 0;
    bool gestureOpen_ = false;
};

} // namespace sonlet

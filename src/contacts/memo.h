// The memo page (page 2 of `选择夹右侧`): one free-form note, the field bw of the first record of
// the memo store bw35, shown in `编辑框备忘便签` and written back whole at every change. No save
// command, no copy of the note outside the store and the box.
#pragma once

namespace contacts {

// Shows bw of the current store's first record (the empty text when it has none). The caller
// makes bw35 current first. Writing the box raises onMemoTextChanged nested, which on a store
// without records adds the first record.
void showMemo();

// Writes the box's whole content into bw of bw35's first record, adding that record when the
// store has none. Later records are never touched. A failed write is reported once, when a run of
// failures begins; the box keeps its text.
void onMemoTextChanged();

// Binds "onMemoTextChanged".
void bindMemoHandlers();

}  // namespace contacts

// Test-only controls of the window system. Tests run the real window system inside one
// QApplication (QT_QPA_PLATFORM=offscreen); between tests they put it back to its first state.
#pragma once

namespace runtime::ui {

// Destroys every loaded window without raising events, unbinds every handler, forgets the end
// routine, the end hook and the ended state, and clears the dialog script (scripted mode stays
// as it was). Hotkey ids keep counting: they are never reused within a run.
void resetForTesting();

// Thrown by endProgram when a hook is set (setEndProgramHook), after the hook has recorded the
// code, so that nothing after endProgram runs, as in the program. Event delivery catches it; a
// test calling program code directly catches it itself.
struct ProgramEnded {
    int code = 0;
};

}  // namespace runtime::ui

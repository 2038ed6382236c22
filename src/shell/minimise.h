// Minimising the main window: it hides and leaves one way back, a notification-area icon
// (minimise mode "0") or a thin bar at the top edge of the screen (any other mode).
#pragma once

namespace shell {

void onMainWindowStateChanged();
void onTrayEvent(int action);
void restoreMainWindow();
void onTopBarClicked();

void bindMinimiseHandlers();

}  // namespace shell

// The statistics report of the main window: <user folder>\statistics.html,
// written after every play and by the menu command, which then opens it.
#pragma once

namespace zvb {

struct MainWindow;

// Writes the report; false when it could not be built or written.
bool write_statistics(const MainWindow* w);
// "統計レポート(&S)...": writes the report and opens it with the shell's
// "open" verb; a failure of either is reported (1043, 1044).
void show_statistics(MainWindow* w);

}  // namespace zvb

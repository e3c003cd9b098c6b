// Display scale of the process. Pixel sizes in the programs are written at
// 100 % and pass through scale() before use; positions that are stored go
// through unscale() so that a setting means the same on any monitor.
#pragma once

namespace zv::ui {

// Asks the shell-core library (loaded at run time) for the process's DPI
// awareness and the effective DPI of the monitor holding the point (1, 1).
// Without that library or any of GetDpiForMonitor, GetProcessDpiAwareness
// and SetProcessDpiAwareness, and when the process is not DPI-aware, every
// conversion stays the identity.
void dpi_setup();

// The scale in percent (DPI x 100 / 96); 100 when conversions are identities.
int scale_percent();

// A size at 100 % to the screen, and back (MulDiv rounding).
int scale(int pixels);
int unscale(int pixels);

// For tests and the benchmarks: force a scale (100 = identity).
void set_scale_percent(int percent);

}  // namespace zv::ui

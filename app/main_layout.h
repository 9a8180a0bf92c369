// Where the main window's docked panels and lists go for a given client size.
// Positions are relative to each control's parent, in pixels; the constants
// are pixels at 96 DPI, scaled to the window's DPI.
#pragma once

#include "base/dpi.h"

namespace tarvenix {

struct MainLayout {
    Box panel1;      // server strip, window
    Box panelMain;   // session part, window
    Box panel4;      // inside panelMain's bevel
    Box panel6;      // top of panel4
    Box panel5;      // right of panel6
    Box listView1;   // rest of panel4
    Box panelRight;  // process panel, window (zero when hidden)
    Box panel10;     // top of panelRight
    Box panel11;     // bottom of panelRight
    Box listView3;   // rest of panelRight
    Box panel3;      // footer, window
    Box panel2;      // right of the footer
};

inline constexpr int kStripHeight = 80;
inline constexpr int kFooterHeight = 28;
inline constexpr int kProcessPanelWidth = 276;
inline constexpr int kMinOuterWidth = 720;
inline constexpr int kMinOuterHeight = 520;
inline constexpr int kInitialClientWidth = 720;
inline constexpr int kInitialClientHeight = 519;

// Docking: top and bottom first, then right, then the child that fills the rest.
MainLayout ComputeMainLayout(int clientWidth, int clientHeight, bool processPanelVisible, int dpi = kDefaultDpi);

}  // namespace tarvenix

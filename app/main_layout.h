// Where the main window's docked panels and lists go for a given client size.
// Positions are relative to each control's parent, in pixels; the constants
// are pixels at 96 DPI, scaled to the window's DPI.
#pragma once

#include "base/dpi.h"

namespace tarvenix {

struct MainLayout {
    // The window's children, named as MainWindow::Panels names them.
    Box serverStrip;     // top of the window
    Box footer;          // bottom of the window
    Box footerRight;     // right end of the footer
    Box sessionPart;     // the rest of the window, left of the process panel
    Box sessionFrame;    // inside the session part's bevel
    Box sessionHeader;   // top of the session frame
    Box sessionButtons;  // right end of the session header
    Box sessionList;     // rest of the session frame
    // The process panel and its parts (ProcessPanel::Panel(), Header(),
    // Footer(), List()); the panel is an empty box while hidden, the parts
    // are then 0 wide.
    Box processPanel;    // right edge between strip and footer
    Box processHeader;   // top of the process panel
    Box processFooter;   // bottom of the process panel
    Box processList;     // rest of the process panel
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

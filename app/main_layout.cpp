#include "app/main_layout.h"

#include <algorithm>

namespace tarvenix {

MainLayout ComputeMainLayout(int w, int h, bool processPanelVisible) {
    const auto nonNegative = [](int v) { return std::max(0, v); };
    MainLayout l;
    l.panel1 = {0, 0, w, kStripHeight};
    l.panel3 = {0, nonNegative(h - kFooterHeight), w, kFooterHeight};
    const int middleTop = kStripHeight;
    const int middleHeight = nonNegative(h - kStripHeight - kFooterHeight);
    const int rightWidth = processPanelVisible ? kProcessPanelWidth : 0;
    if (processPanelVisible) l.panelRight = {nonNegative(w - rightWidth), middleTop, rightWidth, middleHeight};
    l.panelMain = {0, middleTop, nonNegative(w - rightWidth), middleHeight};
    // A raised 1-pixel bevel insets the panel's docked children.
    l.panel4 = {1, 1, nonNegative(l.panelMain.width - 2), nonNegative(l.panelMain.height - 2)};
    l.panel6 = {0, 0, l.panel4.width, 42};
    l.panel5 = {nonNegative(l.panel6.width - 302), 0, 302, 42};
    l.listView1 = {0, 42, l.panel4.width, nonNegative(l.panel4.height - 42)};
    l.panel10 = {0, 0, rightWidth, 43};
    l.panel11 = {0, nonNegative(middleHeight - 25), rightWidth, 25};
    l.listView3 = {0, 43, rightWidth, nonNegative(middleHeight - 43 - 25)};
    l.panel2 = {nonNegative(w - 136), 0, 136, kFooterHeight};
    return l;
}

}  // namespace tarvenix

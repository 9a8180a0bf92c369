#include "app/main_layout.h"

#include <algorithm>

namespace tarvenix {

MainLayout ComputeMainLayout(int w, int h, bool processPanelVisible, int dpi) {
    const auto nonNegative = [](int v) { return std::max(0, v); };
    const auto S = [dpi](int value96) { return Scale(value96, dpi); };
    const int strip = S(kStripHeight), footer = S(kFooterHeight);
    const int header = S(42), panelHeader = S(43), panelFooter = S(25);
    MainLayout l;
    l.panel1 = {0, 0, w, strip};
    l.panel3 = {0, nonNegative(h - footer), w, footer};
    const int middleTop = strip;
    const int middleHeight = nonNegative(h - strip - footer);
    const int rightWidth = processPanelVisible ? S(kProcessPanelWidth) : 0;
    if (processPanelVisible) l.panelRight = {nonNegative(w - rightWidth), middleTop, rightWidth, middleHeight};
    l.panelMain = {0, middleTop, nonNegative(w - rightWidth), middleHeight};
    // A raised 1-pixel bevel (1 pixel at any DPI) insets the panel's docked children.
    l.panel4 = {1, 1, nonNegative(l.panelMain.width - 2), nonNegative(l.panelMain.height - 2)};
    l.panel6 = {0, 0, l.panel4.width, header};
    l.panel5 = {nonNegative(l.panel6.width - S(302)), 0, S(302), header};
    l.listView1 = {0, header, l.panel4.width, nonNegative(l.panel4.height - header)};
    l.panel10 = {0, 0, rightWidth, panelHeader};
    l.panel11 = {0, nonNegative(middleHeight - panelFooter), rightWidth, panelFooter};
    l.listView3 = {0, panelHeader, rightWidth, nonNegative(middleHeight - panelHeader - panelFooter)};
    l.panel2 = {nonNegative(w - S(136)), 0, S(136), footer};
    return l;
}

}  // namespace tarvenix

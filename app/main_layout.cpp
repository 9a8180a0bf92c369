#include "app/main_layout.h"

#include <algorithm>

namespace tarvenix {

MainLayout ComputeMainLayout(int w, int h, bool processPanelVisible, int dpi) {
    const auto nonNegative = [](int v) { return std::max(0, v); };
    const auto S = [dpi](int value96) { return Scale(value96, dpi); };
    const int strip = S(kStripHeight), footer = S(kFooterHeight);
    const int sessionHeader = S(42), processHeader = S(43), processFooter = S(25);
    MainLayout l;
    l.serverStrip = {0, 0, w, strip};
    l.footer = {0, nonNegative(h - footer), w, footer};
    const int middleTop = strip;
    const int middleHeight = nonNegative(h - strip - footer);
    const int rightWidth = processPanelVisible ? S(kProcessPanelWidth) : 0;
    if (processPanelVisible) l.processPanel = {nonNegative(w - rightWidth), middleTop, rightWidth, middleHeight};
    l.sessionPart = {0, middleTop, nonNegative(w - rightWidth), middleHeight};
    // A raised 1-pixel bevel (1 pixel at any DPI) insets the panel's docked children.
    l.sessionFrame = {1, 1, nonNegative(l.sessionPart.width - 2), nonNegative(l.sessionPart.height - 2)};
    l.sessionHeader = {0, 0, l.sessionFrame.width, sessionHeader};
    l.sessionButtons = {nonNegative(l.sessionHeader.width - S(302)), 0, S(302), sessionHeader};
    l.sessionList = {0, sessionHeader, l.sessionFrame.width, nonNegative(l.sessionFrame.height - sessionHeader)};
    l.processHeader = {0, 0, rightWidth, processHeader};
    l.processFooter = {0, nonNegative(middleHeight - processFooter), rightWidth, processFooter};
    l.processList = {0, processHeader, rightWidth, nonNegative(middleHeight - processHeader - processFooter)};
    l.footerRight = {nonNegative(w - S(136)), 0, S(136), footer};
    return l;
}

}  // namespace tarvenix

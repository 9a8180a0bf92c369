// The windows at the DPI of the prefix they run in: 96 by default; the DPI
// scenario (tests/dpi/dpi_scenario.sh) runs these tests again in prefixes whose
// LogPixels is 120, 144 and 192 and names the DPI in TARVENIX_EXPECT_DPI.
#include <windows.h>
#include <commctrl.h>

#include <cstdlib>

#include <gtest/gtest.h>

#include "actions/message_window.h"
#include "actions/process_panel_win.h"
#include "app/main_layout.h"
#include "base/dpi_win.h"
#include "tests/win/window_test_support.h"

namespace tarvenix::testing {
namespace {

int ExpectedDpi() {
    const char* named = std::getenv("TARVENIX_EXPECT_DPI");
    return named && *named ? std::atoi(named) : kDefaultDpi;
}

int FontHeight(HWND control) {
    LOGFONTW lf{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof(lf), &lf);
    return lf.lfHeight;
}

// The control's rectangle in its parent against a 96-DPI box scaled to dpi,
// each edge within a pixel.
::testing::AssertionResult StandsAt(const RECT& r, const Box& box96, int dpi) {
    const Box b = Scale(box96, dpi);
    const RECT want{b.left, b.top, b.left + b.width, b.top + b.height};
    if (std::abs(r.left - want.left) <= 1 && std::abs(r.top - want.top) <= 1 && std::abs(r.right - want.right) <= 1 &&
        std::abs(r.bottom - want.bottom) <= 1)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "at (" << r.left << ", " << r.top << ")-(" << r.right << ", " << r.bottom
                                         << "), expected (" << want.left << ", " << want.top << ")-(" << want.right
                                         << ", " << want.bottom << ") at " << dpi << " DPI";
}

class DpiTest : public MainWindowTest {
protected:
    std::vector<int> SessionColumnWidths() {
        std::vector<int> w;
        for (int i = 0; i < 6; ++i) w.push_back(ListView_GetColumnWidth(window->Sessions().List().Handle(), i));
        return w;
    }

    // Everything the window shows at dpi, from the 96-DPI figures.
    void ExpectScaledTo(int dpi) {
        SCOPED_TRACE(::testing::Message() << dpi << " DPI");
        RECT client;
        GetClientRect(window->Handle(), &client);
        EXPECT_NEAR(client.right, Scale(720, dpi), 1);
        EXPECT_NEAR(client.bottom, Scale(519, dpi), 1);
        const struct { HWND hwnd; Box box96; const char* name; } controls[] = {
            {window->Sessions().GetDataButton(), {289, 16, 105, 49}, "Get data"},
            {window->Servers().FromFileButton(), {169, 31, 32, 34}, "from file"},
            {window->Logoff().LogoffAllButton(), {149, 8, 137, 25}, "log off all"},
            {window->panels().serverStrip, {0, 0, 720, 80}, "server strip"},
            {window->panels().footerRight, {584, 0, 136, 28}, "footer right"},
        };
        for (const auto& c : controls) EXPECT_TRUE(StandsAt(ChildRect(c.hwnd), c.box96, dpi)) << c.name;
        // The session buttons' panel stands at the right of the header, inside the 1-pixel bevel.
        const RECT buttons = ChildRect(window->panels().sessionButtons);
        EXPECT_EQ(buttons.right, ChildRect(window->panels().sessionHeader).right);
        EXPECT_NEAR(buttons.right - buttons.left, Scale(302, dpi), 1);
        EXPECT_NEAR(buttons.bottom, Scale(42, dpi), 1);
        const RECT label = ChildRect(window->Servers().Label());
        EXPECT_NEAR(label.left, Scale(10, dpi), 1);
        EXPECT_NEAR(label.top, Scale(23, dpi), 1);
        const RECT combo = ChildRect(window->Servers().Combo());
        EXPECT_NEAR(combo.right - combo.left, Scale(145, dpi), 1);

        const std::vector<int> widths96{30, 150, 120, 100, 120, 95};
        const std::vector<int> widths = SessionColumnWidths();
        ASSERT_EQ(widths.size(), widths96.size());
        for (std::size_t i = 0; i < widths.size(); ++i) EXPECT_NEAR(widths[i], Scale(widths96[i], dpi), 1) << "column " << i;

        EXPECT_EQ(FontHeight(window->Sessions().GetDataButton()), -Scale(11, dpi));
        EXPECT_EQ(FontHeight(window->Sessions().List().Handle()), -Scale(11, dpi));
        EXPECT_EQ(FontHeight(window->Sessions().ActiveCountLabel()), -Scale(11, dpi)) << "the bold font";
        // A label is as high as a line of its font.
        HDC dc = GetDC(window->Servers().Label());
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(window->Servers().Label(), WM_GETFONT, 0, 0)));
        TEXTMETRICW tm{};
        GetTextMetricsW(dc, &tm);
        SelectObject(dc, old);
        ReleaseDC(window->Servers().Label(), dc);
        EXPECT_EQ(label.bottom - label.top, tm.tmHeight);

        MINMAXINFO mmi{};
        SendMessageW(window->Handle(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mmi));
        EXPECT_EQ(mmi.ptMinTrackSize.x, Scale(720, dpi));
        EXPECT_EQ(mmi.ptMinTrackSize.y, Scale(520, dpi));
    }
};

TEST_F(DpiTest, WindowsScaleFromTheir96DpiFigures) {
    const int dpi = ExpectedDpi();
    Open();
    ASSERT_EQ(WindowDpi(window->Handle()), dpi) << "the DPI the prefix was set to";
    ExpectScaledTo(dpi);
    if (dpi == kDefaultDpi) {
        EXPECT_EQ(FontHeight(window->Sessions().GetDataButton()), -11);
        EXPECT_EQ(SessionColumnWidths(), (std::vector<int>{30, 150, 120, 100, 120, 95}));
    }

    // The message window keeps its fixed outer and client size at this DPI.
    HWND message = window->Messages().Handle();
    RECT outer, client;
    GetWindowRect(message, &outer);
    GetClientRect(message, &client);
    EXPECT_NEAR(outer.right - outer.left, Scale(kMessageOuterWidth, dpi), 1);
    EXPECT_NEAR(outer.bottom - outer.top, Scale(kMessageOuterHeight, dpi), 1);
    EXPECT_NEAR(client.right, Scale(kMessageClientWidth, dpi), 1);
    EXPECT_NEAR(client.bottom, Scale(kMessageClientHeight, dpi), 1);
    EXPECT_TRUE(StandsAt(ChildRect(window->Messages().SendButton()), {224, 204, 75, 25}, dpi));
    EXPECT_EQ(FontHeight(window->Messages().SubjectBox()), -Scale(11, dpi));

    // The process panel opens the window to its wider outer width.
    window->Servers().SetText(u"TS01");
    Command(kCmdAllProcesses);
    RECT wide;
    GetWindowRect(window->Handle(), &wide);
    EXPECT_EQ(wide.right - wide.left, Scale(kProcessPanelOuterWidth, dpi));
    EXPECT_NEAR(ChildRect(window->Processes().Panel()).right - ChildRect(window->Processes().Panel()).left,
                Scale(kProcessPanelWidth, dpi), 1);
}

// A move to a monitor of another DPI: fonts, fixed controls, columns and the
// layout follow the DPI the system names; back at the first DPI everything
// stands exactly where it stood.
TEST_F(DpiTest, DpiChangeRescalesAndComesBackExactly) {
    const int first = ExpectedDpi();
    Open();
    const std::vector<int> widthsBefore = SessionColumnWidths();
    const RECT buttonBefore = ChildRect(window->Sessions().GetDataButton());
    const RECT labelBefore = ChildRect(window->Servers().Label());
    RECT outerBefore;
    GetWindowRect(window->Handle(), &outerBefore);

    // The other DPI: one the headless prefix's 1024x768 screen still holds the window at.
    const int other = first == kDefaultDpi ? 120 : kDefaultDpi;
    for (int dpi : {other, first}) {
        // The suggested rectangle keeps the client area's proportion, as the system's does.
        RECT suggested{0, 0, Scale(720, dpi), Scale(519, dpi)};
        AdjustWindowRectEx(&suggested, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, FALSE, WS_EX_CONTROLPARENT);
        OffsetRect(&suggested, outerBefore.left - suggested.left, outerBefore.top - suggested.top);
        SendMessageW(window->Handle(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
        PumpMessages();
        ExpectScaledTo(dpi);
    }
    EXPECT_EQ(SessionColumnWidths(), widthsBefore);
    const RECT buttonAfter = ChildRect(window->Sessions().GetDataButton());
    const RECT labelAfter = ChildRect(window->Servers().Label());
    EXPECT_TRUE(EqualRect(&buttonAfter, &buttonBefore));
    EXPECT_TRUE(EqualRect(&labelAfter, &labelBefore));
}

}  // namespace
}  // namespace tarvenix::testing

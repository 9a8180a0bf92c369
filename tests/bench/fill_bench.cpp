// How long Get data takes to fill the session list, against a plain list view
// filled one row at a time, side by side in one run. Not a test: run it under
// Wine (or Windows) and read the ratio.
//   fill_bench [rows] [repetitions]
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/main_window.h"
#include "base/text.h"
#include "tests/common/silent_dialogs.h"
#include "base/engine_win.h"
#include "base/win_text.h"
#include "tests/common/test_executors.h"
#include "tests/common/fake_terminal_services.h"

using namespace tarvenix;
using tarvenix::testing::SilentDialogs;
using tarvenix::testing::InlineExecutor;
using Clock = std::chrono::steady_clock;

namespace {

void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

double Milliseconds(Clock::time_point from) {
    return std::chrono::duration<double, std::milli>(Clock::now() - from).count();
}

// The same rows inserted one at a time into an ordinary report list view.
double PlainListFill(HWND parent, const std::vector<std::vector<std::u16string>>& rows) {
    HWND list = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"", WS_CHILD | WS_VISIBLE | LVS_REPORT, 0, 0, 700, 360,
                                parent, nullptr, GetModuleHandleW(nullptr), nullptr);
    for (int c = 0; c < 6; ++c) {
        LVCOLUMNW col{};
        col.mask = LVCF_WIDTH;
        col.cx = 100;
        SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(&col));
    }
    const auto start = Clock::now();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        std::wstring caption = W(rows[i][0]);
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = static_cast<int>(i);
        item.pszText = caption.data();
        const int index = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
        for (int c = 1; c < 6; ++c) {
            std::wstring text = W(rows[i][static_cast<std::size_t>(c)]);
            LVITEMW cell{};
            cell.iSubItem = c;
            cell.pszText = text.data();
            SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&cell));
        }
    }
    UpdateWindow(list);
    Pump();
    const double ms = Milliseconds(start);
    DestroyWindow(list);
    return ms;
}

}  // namespace

int main(int argc, char** argv) {
    const int rows = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int repetitions = argc > 2 ? std::atoi(argv[2]) : 3;
    OleInitialize(nullptr);
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&icc);

    testing::FakeTerminalServices wts;
    auto& server = wts.servers[u"TS01"];
    std::vector<std::vector<std::u16string>> plainRows;
    for (int i = 0; i < rows; ++i) {
        testing::FakeSession s;
        s.id = static_cast<std::uint32_t>(i + 1);
        s.state = static_cast<std::uint32_t>(i % 11);
        s.user = u"пользователь" + DecimalU32(s.id);
        s.clientName = u"PC-" + DecimalU32(s.id);
        s.winStation = u"RDP-Tcp#" + DecimalU32(s.id);
        s.address = testing::IPv4(10, 0, static_cast<std::uint8_t>(i / 256), static_cast<std::uint8_t>(i % 256));
        server.sessions.push_back(s);
        plainRows.push_back({DecimalU32(s.id), *s.user, *s.clientName, u"10.0.0.1", u"Active", *s.winStation});
    }
    SilentDialogs dialogs;
    Services services;
    services.dialogs = &dialogs;
    InlineExecutor executor;
    WindowDispatcher dispatcher;
    services.executor = &executor;
    services.dispatcher = &dispatcher;
    TypedServers noDirectory({});
    MainWindow window(services, wts, noDirectory);
    window.Create();
    ShowWindow(window.Handle(), SW_SHOWNORMAL);
    Pump();

    double getData = 1e300, plain = 1e300, ordering = 1e300;
    for (int r = 0; r < repetitions; ++r) {
        window.Servers().SetText(u"TS01");
        auto start = Clock::now();
        window.Sessions().GetData();
        Pump();
        UpdateWindow(window.Sessions().List().Handle());
        Pump();
        getData = std::min(getData, Milliseconds(start));
        start = Clock::now();
        window.Sessions().List().ColumnClicked(1);
        UpdateWindow(window.Sessions().List().Handle());
        Pump();
        ordering = std::min(ordering, Milliseconds(start));
        plain = std::min(plain, PlainListFill(window.panels().sessionFrame, plainRows));
    }
    std::printf("rows: %d (best of %d)\n", rows, repetitions);
    std::printf("Get data into the session list: %.1f ms\n", getData);
    std::printf("plain list view, row by row:    %.1f ms\n", plain);
    std::printf("ratio plain / Get data:         %.1f\n", plain / getData);
    std::printf("ordering by user name:          %.1f ms\n", ordering);
    return 0;
}

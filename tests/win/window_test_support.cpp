#include "tests/win/window_test_support.h"

#include <ole2.h>

#include <atomic>

#include "base/win_text.h"

namespace tarvenix::testing {

TempDirectory::TempDirectory() {
    static std::atomic<int> counter{0};
    const auto base = std::filesystem::temp_directory_path();
    path_ = base / ("tarvenix-test-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(counter++));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
}

TempDirectory::~TempDirectory() {
    std::error_code ec;
    // Read-only attributes set by a test must not keep files behind.
    for (auto& entry : std::filesystem::recursive_directory_iterator(path_, ec))
        SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
    SetFileAttributesW(path_.c_str(), FILE_ATTRIBUTE_NORMAL);
    std::filesystem::remove_all(path_, ec);
}

std::u16string TempDirectory::WithSeparator() const { return U16(path_.c_str()) + u"\\"; }

namespace {

void DispatchWaiting() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

}  // namespace

bool PumpUntil(const std::function<bool()>& done, DWORD limitMs) {
    const DWORD end = GetTickCount() + limitMs;
    while (!done()) {
        if (GetTickCount() > end) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        DispatchWaiting();
    }
    return true;
}

void PumpFor(DWORD ms) {
    const DWORD end = GetTickCount() + ms;
    while (GetTickCount() < end) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        DispatchWaiting();
    }
}

void MainWindowTest::SetUpTestSuite() {
    static bool initialised = false;
    if (initialised) return;
    initialised = true;
    OleInitialize(nullptr);
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
}

void MainWindowTest::SetUp() {
    dispatcher = std::make_unique<WindowDispatcher>();
    services.executor = &executor;
    services.dispatcher = dispatcher.get();
    services.dialogs = &dialogs;
    services.shell = &shell;
    services.errors = &errorTexts;
    services.ansi = ansi.get();
    services.appDirectory = appDir.WithSeparator();
}

void MainWindowTest::TearDown() {
    if (window && window->Handle()) DestroyWindow(window->Handle());
    window.reset();
    PumpMessages();
    dispatcher.reset();
}

void MainWindowTest::Open() {
    window = std::make_unique<MainWindow>(services, wts, *directoryServers);
    window->Create();
    window->Show(SW_SHOWNORMAL);
    PumpMessages();
}

void MainWindowTest::PumpMessages() { DispatchWaiting(); }

void MainWindowTest::Command(int id) {
    SendMessageW(window->Handle(), WM_COMMAND, MAKEWPARAM(id, 0), 0);
    PumpMessages();
}

void MainWindowTest::GetData(const std::u16string& server) {
    window->Servers().SetText(server);
    Command(kCmdGetData);
}

void MainWindowTest::ClickHeader(HWND list, int displayPosition) {
    HWND header = ListView_GetHeader(list);
    RECT rc{};
    Header_GetItemRect(header, Header_OrderToIndex(header, displayPosition), &rc);
    const LPARAM at = MAKELPARAM((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
    SendMessageW(header, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(header, WM_LBUTTONUP, 0, at);
    PumpMessages();
}

void MainWindowTest::Select(HWND list, const std::vector<int>& rows) {
    ListView_SetItemState(list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    for (int r : rows) ListView_SetItemState(list, r, LVIS_SELECTED, LVIS_SELECTED);
}

std::u16string MainWindowTest::CellText(HWND list, int row, int column) {
    wchar_t buf[512] = {};
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = buf;
    item.cchTextMax = 512;
    SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    return U16(buf);
}

std::vector<std::u16string> MainWindowTest::ColumnTexts(HWND list, int column) {
    std::vector<std::u16string> out;
    const int n = ListView_GetItemCount(list);
    for (int i = 0; i < n; ++i) out.push_back(CellText(list, i, column));
    return out;
}

RECT MainWindowTest::ChildRect(HWND control) {
    RECT rc;
    GetWindowRect(control, &rc);
    MapWindowPoints(HWND_DESKTOP, GetParent(control), reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

}  // namespace tarvenix::testing

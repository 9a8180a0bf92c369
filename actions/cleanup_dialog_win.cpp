#include "actions/cleanup_dialog_win.h"

#include "actions/bulk_run.h"
#include "base/platform_win.h"
#include "base/text.h"
#include "base/win_text.h"
#include "sessions/farm_listing_run.h"
#include "sessions/session_times_win.h"

namespace tarvenix {
namespace {

constexpr int kClientWidth = 460;
constexpr int kClientHeight = 362;

std::vector<ReportColumn> PreviewColumns() {
    const std::vector<std::u16string> captions = CleanupPreviewHeader();
    return {
        {captions[0], {120, 0, 0, false}},
        {captions[1], {45, 0, 0, false}},
        {captions[2], {160, 0, 0, false}},
        {captions[3], {90, 0, 0, false}},
    };
}

}  // namespace

CleanupDialog::CleanupDialog(const Services& services, TerminalServices& terminal, Activity& activity,
                             std::function<std::vector<std::u16string>()> servers)
    : ToolDialog(services),
      terminal_(terminal),
      activity_(activity),
      serverList_(std::move(servers)),
      list_(ordering_, PreviewColumns()) {
    ordering_.sortedColumn = -1;
}

void CleanupDialog::Create(HWND owner) {
    CreateDialogWindow(owner, L"TFormCleanup", kCleanupCaption, kClientWidth, kClientHeight);
    HWND b = Body();
    HFONT f = DialogFonts().normal();
    // Creation order is the tab order.
    CreateLabel(b, 12, 16, u"Отключены дольше:", f);
    amount_ = CreateChild(WS_EX_CLIENTEDGE, L"EDIT", L"8", WS_TABSTOP | ES_AUTOHSCROLL | ES_NUMBER,
                          {180, 12, 55, 21}, b, kIdCleanupAmount, f);
    EditRef(amount_).SetLimit(5);
    unit_ = CreateChild(0, L"COMBOBOX", L"", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, {242, 12, 90, 120}, b,
                        kIdCleanupUnit, f);
    ComboBoxRef units(unit_);
    units.Add(u"минут");
    units.Add(u"часов");
    units.Add(u"дней");
    units.Select(static_cast<int>(CleanupUnit::Hours));
    CreateLabel(b, 12, 47, u"Имя пользователя содержит:", f);
    user_ = CreateChild(WS_EX_CLIENTEDGE, L"EDIT", L"", WS_TABSTOP | ES_AUTOHSCROLL, {180, 43, 152, 21}, b,
                        kIdCleanupUser, f);
    previewButton_ = CreateButton(b, kIdCleanupPreview, 344, 41, 104, 25, u"Показать", f);
    list_.Create(b, kIdCleanupList, f);
    PlaceList(Dpi());
    found_ = CreateLabel(b, 12, 322, u"", f);
    logoffButton_ = CreateButton(b, kIdCleanupLogoff, 232, 326, 120, 25, u"Завершить сессии", f);
    closeButton_ = CreateButton(b, kIdCleanupClose, 358, 326, 90, 25, u"Закрыть", f);
    EnableWindow(logoffButton_, FALSE);
}

void CleanupDialog::PlaceList(int dpi) {
    Place(list_.Handle(), Scale(12, dpi), Scale(76, dpi), Scale(436, dpi), Scale(236, dpi));
}

void CleanupDialog::AddMenuItems(HMENU sessionMenu) {
    AppendMenuW(sessionMenu, MF_STRING, kCmdCleanupDisconnected, Wz(std::u16string(kCleanupCommandText)));
}

void CleanupDialog::OnCommand(int id) {
    if (id == kCmdCleanupDisconnected && Begin()) ShowModal();
}

bool CleanupDialog::Begin() {
    // The servers the list shows; with none listed there is nothing to clean.
    servers_ = serverList_();
    if (servers_.empty()) {
        OwnDialogs().ShowMessage(u"Вы не указали сервер!");
        return false;
    }
    matched_.clear();
    list_.Clear();
    Preview();
    return true;
}

void CleanupDialog::OnControl(int id) {
    switch (id) {
        case IDOK:
        case kIdCleanupPreview: Preview(); break;
        case kIdCleanupLogoff: LogOff(); break;
        case kIdCleanupClose: Close(); break;
        default: break;
    }
}

void CleanupDialog::OnClose() {
    // Closing drops a preview still being made; logoffs already sent report.
    if (busy_ && !loggingOff_) {
        runs_.Cancel();
        SetBusy(false);
    }
}

std::optional<CleanupRule> CleanupDialog::Rule() {
    const std::optional<std::uint64_t> amount = [&]() -> std::optional<std::uint64_t> {
        const std::u16string text = GetText(amount_);
        if (text.empty() || text.size() > 5) return std::nullopt;
        std::uint64_t v = 0;
        for (char16_t c : text) {
            if (c < u'0' || c > u'9') return std::nullopt;
            v = v * 10 + static_cast<std::uint64_t>(c - u'0');
        }
        return v >= 1 ? std::optional<std::uint64_t>(v) : std::nullopt;
    }();
    if (!amount) {
        OwnDialogs().ShowMessage(kCleanupAmountError);
        SetFocus(amount_);
        return std::nullopt;
    }
    const int unit = ComboBoxRef(unit_).Selected();
    CleanupRule rule;
    rule.overSeconds = static_cast<std::int64_t>(*amount) * UnitSeconds(static_cast<CleanupUnit>(unit < 0 ? 1 : unit));
    rule.userText = GetText(user_);
    return rule;
}

void CleanupDialog::SetBusy(bool busy) {
    if (busy_ == busy) return;
    busy_ = busy;
    if (busy) activity_.Begin();
    else activity_.End();
    EnableWindow(previewButton_, !busy);
    EnableWindow(logoffButton_, !busy && !matched_.empty());
}

void CleanupDialog::Preview() {
    if (busy_) return;
    const std::optional<CleanupRule> rule = Rule();
    if (!rule) return;
    matched_.clear();
    list_.Clear();
    SetLabelText(found_, u"Поиск сессий…");
    FarmOptions options;
    options.parallelServers = services().parallelServers;
    options.parallelSessionsPerServer = services().parallelSessions;
    options.parallelSessions = services().parallelSessions * services().parallelServers;
    options.timeout = services().serverTimeout;
    options.formatLogon = LocalLogonText;
    runs_ = CancelToken();
    SetBusy(true);
    FarmCallbacks callbacks;
    const CleanupRule applied = *rule;
    callbacks.finished = [this, applied](FarmOutcome outcome) {
        std::vector<Session> all;
        std::size_t failed = 0;
        for (ServerOutcome& server : outcome.servers) {
            failed += server.Failed() ? 1 : 0;
            for (Session& s : server.outcome.inventory.rows) all.push_back(std::move(s));
        }
        matched_ = MatchingSessions(applied, all);
        std::vector<ReportRows::Row> rows;
        for (std::size_t i = 0; i < matched_.size(); ++i) rows.emplace_back(CleanupPreviewRow(matched_[i]), i);
        list_.ReplaceAll(std::move(rows));
        std::u16string found = CleanupFoundText(matched_.size());
        if (failed) found += u"; серверов без ответа: " + DecimalU32(static_cast<std::uint32_t>(failed));
        SetLabelText(found_, found);
        SetBusy(false);
    };
    StartFarmInventory(terminal_, *services().executor, *services().dispatcher, servers_, options, runs_,
                       std::move(callbacks));
}

void CleanupDialog::LogOff() {
    if (busy_ || matched_.empty()) return;
    // The sessions the preview shows, and no other.
    std::vector<Session> targets = matched_;
    if (!OwnDialogs().Confirm(CleanupQuestion(GroupByServer(targets).size(), targets.size()))) return;
    BulkOptions options;
    options.parallel = services().parallelCalls;
    options.timeout = services().serverTimeout;
    runs_ = CancelToken();
    SetBusy(true);
    loggingOff_ = true;
    StartSessionCommand(terminal_, *services().executor, *services().dispatcher, std::move(targets), options, runs_,
                        [](TerminalServer& s, std::uint32_t id) { return LogoffIfStillDisconnected(s, id); },
                        [this](std::vector<ServerResults> servers) {
                            loggingOff_ = false;
                            SetBusy(false);
                            OwnDialogs().ShowMessage(CleanupReport(servers, services().Describer()));
                            // What is left to clean.
                            if (IsOpen()) Preview();
                        });
}

}  // namespace tarvenix

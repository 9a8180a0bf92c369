#include "base/report_list_win.h"

#include <algorithm>

#include "base/dpi_win.h"
#include "base/win_text.h"

namespace tarvenix {

ReportList::ReportList(OrderingState& ordering, std::vector<ReportColumn> columns)
    : ordering_(ordering),
      columns_(std::move(columns)),
      rows_([this](const ReportRows::Row& a, const ReportRows::Row& b) {
          const std::int32_t column = ordering_.sortedColumn;
          if (column >= 0 && static_cast<std::size_t>(column) < columns_.size()) {
              const ReportColumn& c = columns_[static_cast<std::size_t>(column)];
              if (c.compare) return c.compare(a, b, ordering_.descending);
              if (c.cell >= 0 && c.cell != column) return CompareRowsBy({c.cell, ordering_.descending}, a, b);
          }
          return CompareRowsBy(ordering_, a, b);
      }) {
    rows_.SetReorderListener([this](const std::vector<std::size_t>& order) { MoveStates(order); });
}

void ReportList::Create(HWND parent, int id, HFONT font) {
    // Owner data: the texts come from the model. Single-column header clicks,
    // full-row selection, several rows selectable, the selection hidden while
    // the list lacks the focus (no LVS_SHOWSELALWAYS), captions read-only.
    hwnd_ = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                            WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA,
                            0, 0, 100, 100, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                            GetModuleHandleW(nullptr), nullptr);
    dpi_ = WindowDpi(parent);
    specs_.clear();
    for (const ReportColumn& c : columns_) specs_.push_back(Scale(c.spec, dpi_));
    SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    ListView_SetExtendedListViewStyle(hwnd_, LVS_EX_FULLROWSELECT | LVS_EX_HEADERDRAGDROP);
    InsertColumns({});
    SetWindowSubclass(hwnd_, &ReportList::SubclassProc, 1, reinterpret_cast<DWORD_PTR>(this));
    Attach(hwnd_);
}

void ReportList::InsertColumns(const std::vector<int>& widths) {
    for (std::size_t i = 0; i < columns_.size(); ++i) {
        std::wstring caption = W(columns_[i].caption);
        LVCOLUMNW col{};
        col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        col.pszText = caption.data();
        col.cx = ClampColumnWidth(specs_[i], i < widths.size() && widths[i] > 0 ? widths[i] : specs_[i].width);
        col.iSubItem = static_cast<int>(i);
        SendMessageW(hwnd_, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&col));
    }
}

int ReportList::CellOf(int column) const {
    if (column < 0 || static_cast<std::size_t>(column) >= columns_.size()) return column;
    const int cell = columns_[static_cast<std::size_t>(column)].cell;
    return cell >= 0 ? cell : column;
}

void ReportList::SetColumns(std::vector<ReportColumn> columns) {
    std::vector<int> widths(columns.size(), 0);
    if (hwnd_) {
        // The widths the user left, by the cell each column shows.
        for (std::size_t n = 0; n < columns.size(); ++n) {
            const int cell = columns[n].cell >= 0 ? columns[n].cell : static_cast<int>(n);
            for (std::size_t old = 0; old < columns_.size(); ++old)
                if (CellOf(static_cast<int>(old)) == cell && columns_[old].caption == columns[n].caption)
                    widths[n] = ColumnWidth(static_cast<int>(old));
        }
        SendMessageW(hwnd_, WM_SETREDRAW, FALSE, 0);
        while (SendMessageW(hwnd_, LVM_DELETECOLUMN, 0, 0)) {
        }
    }
    columns_ = std::move(columns);
    specs_.clear();
    for (const ReportColumn& c : columns_) specs_.push_back(Scale(c.spec, dpi_));
    if (!hwnd_) return;
    InsertColumns(widths);
    FitColumns();
    SendMessageW(hwnd_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(hwnd_, nullptr, TRUE);
}

void ReportList::SetDpi(int dpi) {
    if (!hwnd_ || dpi == dpi_) return;
    std::vector<int> widths;
    for (std::size_t i = 0; i < columns_.size(); ++i) widths.push_back(Rescale(ColumnWidth(static_cast<int>(i)), dpi_, dpi));
    dpi_ = dpi;
    for (std::size_t i = 0; i < columns_.size(); ++i) specs_[i] = Scale(columns_[i].spec, dpi);
    for (std::size_t i = 0; i < columns_.size(); ++i)
        if (!specs_[i].autoSize) SendMessageW(hwnd_, LVM_SETCOLUMNWIDTH, i, ClampColumnWidth(specs_[i], widths[i]));
    FitColumns();
}

void ReportList::SyncCount() {
    SendMessageW(hwnd_, LVM_SETITEMCOUNT, rows_.Size(), LVSICF_NOSCROLL | LVSICF_NOINVALIDATEALL);
    InvalidateRect(hwnd_, nullptr, TRUE);
}

void ReportList::Clear() { ReplaceAll({}); }

void ReportList::ReplaceAll(std::vector<ReportRows::Row> rows) {
    ClearStates();
    rows_.Clear();
    rows_.AppendAll(std::move(rows));
    SyncCount();  // one count change, straight to the new number
}

void ReportList::RemoveRows(const std::function<bool(const ReportRows::Row&)>& remove) {
    ClearStates();
    rows_.RemoveIf(remove);
    SyncCount();
}

void ReportList::ClearStates() {
    // The flagged rows one by one: clearing every row of a long list at once
    // walks all of them.
    const int count = ListView_GetItemCount(hwnd_);
    std::vector<int> flagged;
    for (int i = ListView_GetNextItem(hwnd_, -1, LVNI_SELECTED); i >= 0 && i < count;
         i = ListView_GetNextItem(hwnd_, i, LVNI_SELECTED))
        flagged.push_back(i);
    const int focused = ListView_GetNextItem(hwnd_, -1, LVNI_FOCUSED);
    if (focused >= 0 && focused < count) flagged.push_back(focused);
    for (int i : flagged) ListView_SetItemState(hwnd_, i, 0, LVIS_SELECTED | LVIS_FOCUSED);
}

void ReportList::Append(ReportRows::Row row) {
    rows_.Append(std::move(row));
    SyncCount();
}

void ReportList::AppendAll(std::vector<ReportRows::Row> rows) {
    rows_.AppendAll(std::move(rows));
    SyncCount();
}

std::vector<int> ReportList::SelectedIndices() const {
    std::vector<int> out;
    int i = -1;
    while ((i = static_cast<int>(SendMessageW(hwnd_, LVM_GETNEXTITEM, static_cast<WPARAM>(i), LVNI_SELECTED))) >= 0)
        out.push_back(i);
    return out;
}

std::vector<int> ReportList::ColumnOrder() const {
    std::vector<int> order(columns_.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
    if (hwnd_ && !order.empty())
        SendMessageW(hwnd_, LVM_GETCOLUMNORDERARRAY, order.size(), reinterpret_cast<LPARAM>(order.data()));
    return order;
}

std::vector<std::u16string> ReportList::HeaderInScreenOrder() const {
    std::vector<std::u16string> header;
    for (int column : ColumnOrder()) header.push_back(columns_[static_cast<std::size_t>(column)].caption);
    return header;
}

std::vector<std::vector<std::u16string>> ReportList::RowsInScreenOrder(const std::vector<int>& rows) const {
    const std::vector<int> order = ColumnOrder();
    std::vector<std::vector<std::u16string>> out;
    const auto add = [&](std::size_t row) {
        std::vector<std::u16string> cells;
        for (int column : order) cells.push_back(rows_.Text(row, CellOf(column)));
        out.push_back(std::move(cells));
    };
    if (rows.empty()) {
        for (std::size_t row = 0; row < rows_.Size(); ++row) add(row);
    } else {
        for (int row : rows) add(static_cast<std::size_t>(row));
    }
    return out;
}

int ReportList::FirstSelected() const {
    return static_cast<int>(SendMessageW(hwnd_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void ReportList::MoveStates(const std::vector<std::size_t>& order) {
    if (!hwnd_) return;
    // The control keeps the selected and focused flags by position: carry them
    // to the rows' new positions. Only the rows that have a flag are asked
    // about (a list of thousands is re-ordered at every keystroke of a find).
    const int count = ListView_GetItemCount(hwnd_);
    std::vector<std::pair<std::size_t, UINT>> flagged;  // old position, flags
    for (int i = ListView_GetNextItem(hwnd_, -1, LVNI_SELECTED); i >= 0 && i < count;
         i = ListView_GetNextItem(hwnd_, i, LVNI_SELECTED))
        flagged.push_back({static_cast<std::size_t>(i), LVIS_SELECTED});
    const int focused = ListView_GetNextItem(hwnd_, -1, LVNI_FOCUSED);
    if (focused >= 0 && focused < count) {
        auto it = std::find_if(flagged.begin(), flagged.end(),
                               [&](const auto& f) { return f.first == static_cast<std::size_t>(focused); });
        if (it == flagged.end()) {
            flagged.push_back({static_cast<std::size_t>(focused), LVIS_FOCUSED});
        } else {
            it->second |= LVIS_FOCUSED;
        }
    }
    if (flagged.empty()) {
        InvalidateRect(hwnd_, nullptr, TRUE);
        return;
    }
    std::vector<std::size_t> newPosition(order.size());
    for (std::size_t n = 0; n < order.size(); ++n) newPosition[order[n]] = n;
    ClearStates();
    for (const auto& [old, state] : flagged)
        if (old < newPosition.size())
            ListView_SetItemState(hwnd_, static_cast<int>(newPosition[old]), state, LVIS_SELECTED | LVIS_FOCUSED);
    InvalidateRect(hwnd_, nullptr, TRUE);
}

void ReportList::ColumnClicked(int column) {
    rows_.SetMode(SortType::None);
    ordering_.ColumnClicked(column);
    rows_.SetMode(SortType::Text);
    InvalidateRect(hwnd_, nullptr, TRUE);
}

int ReportList::ColumnWidth(int column) const {
    return static_cast<int>(SendMessageW(hwnd_, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column), 0));
}

void ReportList::FitColumns() {
    RECT rc{};
    GetClientRect(hwnd_, &rc);
    std::vector<ColumnSpec> specs;
    bool anyAuto = false;
    for (std::size_t i = 0; i < specs_.size(); ++i) {
        if (columns_[i].added) break;  // added columns lie beyond the shared width
        specs.push_back(specs_[i]);
        anyAuto = anyAuto || specs_[i].autoSize;
    }
    if (!anyAuto) return;
    // Fixed columns keep the width they have now (the user may have dragged them).
    for (std::size_t i = 0; i < specs.size(); ++i)
        if (!specs[i].autoSize) specs[i].width = ColumnWidth(static_cast<int>(i));
    const std::vector<int> widths = tarvenix::FitColumns(specs, rc.right - rc.left);
    for (std::size_t i = 0; i < widths.size(); ++i)
        if (specs[i].autoSize && ColumnWidth(static_cast<int>(i)) != widths[i])
            SendMessageW(hwnd_, LVM_SETCOLUMNWIDTH, i, widths[i]);
}

bool ReportList::OnReflectedContextMenu(int x, int y) {
    POINT at{x, y};
    if (onHeaderContextMenu && !(x == -1 && y == -1)) {
        RECT header{};
        GetWindowRect(ListView_GetHeader(hwnd_), &header);
        if (PtInRect(&header, at)) {
            onHeaderContextMenu(at);
            return true;
        }
    }
    if (!onContextMenu) return false;
    if (x == -1 && y == -1) {  // from the keyboard: at the list's top left corner
        RECT rc;
        GetWindowRect(hwnd_, &rc);
        at = {rc.left + 8, rc.top + 24};
    }
    onContextMenu(at);
    return true;
}

bool ReportList::OnReflectedNotify(NMHDR* header, LRESULT* result) {
    if (header->hwndFrom != hwnd_) return false;
    if (header->code == LVN_COLUMNCLICK) {
        ColumnClicked(reinterpret_cast<NMLISTVIEW*>(header)->iSubItem);
        *result = 0;
        return true;
    }
    if (header->code == NM_CUSTOMDRAW) {
        auto* cd = reinterpret_cast<NMLVCUSTOMDRAW*>(header);
        *result = CDRF_DODEFAULT;
        if (!rowBackground) return true;
        if (cd->nmcd.dwDrawStage == CDDS_PREPAINT) {
            *result = CDRF_NOTIFYITEMDRAW;
        } else if (cd->nmcd.dwDrawStage == CDDS_ITEMPREPAINT) {
            cd->clrTextBk = rowBackground(static_cast<int>(cd->nmcd.dwItemSpec));
        }
        return true;
    }
    if (header->code == LVN_GETDISPINFOW) {
        auto* info = reinterpret_cast<NMLVDISPINFOW*>(header);
        if ((info->item.mask & LVIF_TEXT) && info->item.iItem >= 0 &&
            static_cast<std::size_t>(info->item.iItem) < rows_.Size() && info->item.cchTextMax > 0) {
            const std::u16string& text =
                rows_.Text(static_cast<std::size_t>(info->item.iItem), CellOf(info->item.iSubItem));
            const std::size_t n = std::min<std::size_t>(text.size(), static_cast<std::size_t>(info->item.cchTextMax - 1));
            std::copy(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(n), info->item.pszText);
            info->item.pszText[n] = 0;
        }
        *result = 0;
        return true;
    }
    return false;
}

LRESULT CALLBACK ReportList::SubclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
    auto* self = reinterpret_cast<ReportList*>(data);
    switch (msg) {
        case WM_NOTIFY: {
            // Width limits for the header's dividers: the header asks before
            // every width change, from a drag or from the program.
            auto* nm = reinterpret_cast<NMHEADERW*>(lp);
            if ((nm->hdr.code == HDN_ITEMCHANGINGW || nm->hdr.code == HDN_ITEMCHANGINGA) && nm->pitem &&
                (nm->pitem->mask & HDI_WIDTH) && nm->iItem >= 0 &&
                static_cast<std::size_t>(nm->iItem) < self->specs_.size()) {
                const int clamped = ClampColumnWidth(self->specs_[static_cast<std::size_t>(nm->iItem)], nm->pitem->cxy);
                if (clamped != nm->pitem->cxy) {
                    nm->pitem->cxy = clamped;
                    if (clamped == self->ColumnWidth(nm->iItem)) return TRUE;  // nothing would change: refuse
                }
            }
            if ((nm->hdr.code == HDN_TRACKW || nm->hdr.code == HDN_TRACKA) && nm->pitem && (nm->pitem->mask & HDI_WIDTH) &&
                nm->iItem >= 0 && static_cast<std::size_t>(nm->iItem) < self->specs_.size()) {
                nm->pitem->cxy = ClampColumnWidth(self->specs_[static_cast<std::size_t>(nm->iItem)], nm->pitem->cxy);
            }
            LRESULT r = DefSubclassProc(hwnd, msg, wp, lp);
            if ((nm->hdr.code == HDN_ITEMCHANGEDW || nm->hdr.code == HDN_ITEMCHANGEDA || nm->hdr.code == HDN_ENDTRACKW ||
                 nm->hdr.code == HDN_ENDTRACKA) &&
                nm->iItem >= 0 && static_cast<std::size_t>(nm->iItem) < self->specs_.size()) {
                const int now = self->ColumnWidth(nm->iItem);
                const int clamped = ClampColumnWidth(self->specs_[static_cast<std::size_t>(nm->iItem)], now);
                if (clamped != now) PostMessageW(hwnd, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(nm->iItem), clamped);
            }
            return r;
        }
        case WM_SIZE: {
            LRESULT r = DefSubclassProc(hwnd, msg, wp, lp);
            self->FitColumns();
            return r;
        }
        case WM_NCDESTROY:
            RemoveWindowSubclass(hwnd, &ReportList::SubclassProc, 1);
            self->Detach();
            self->hwnd_ = nullptr;
            break;
        default:
            break;
    }
    return DefSubclassProc(hwnd, msg, wp, lp);
}

}  // namespace tarvenix

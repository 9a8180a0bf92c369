// A report-style list view over a ReportRows model (the control asks the model
// for its texts), with column numbers that survive header drags, width limits
// on every column, auto-size sharing, and selection that moves with the rows.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "sessions/column_fit.h"
#include "sessions/list_ordering.h"

namespace tarvenix {

struct ReportColumn {
    std::u16string caption;
    ColumnSpec spec;
};

class ReportList {
public:
    ReportList(const OrderingState& ordering, std::vector<ReportColumn> columns);
    ReportList(const ReportList&) = delete;
    ReportList& operator=(const ReportList&) = delete;

    // Creates the control as a child of parent; id is its control ID.
    void Create(HWND parent, int id, HFONT font);
    HWND Handle() const { return hwnd_; }

    ReportRows& Rows() { return rows_; }
    const ReportRows& Rows() const { return rows_; }

    void Clear();
    void Append(ReportRows::Row row);
    // Appends rows in order, as Append does one by one, but tells the control
    // the new row count once: a fill of a thousand rows stays fast.
    void AppendAll(std::vector<ReportRows::Row> rows);

    // Indices of the selected rows, top to bottom; -1 when none is selected.
    std::vector<int> SelectedIndices() const;
    int FirstSelected() const;

    // Column click: the list's mode to None, the shared state updated, the mode
    // to Text (a full re-order).
    void ColumnClicked(OrderingState& ordering, int column);

    // Refits the auto-size columns to the control's client width.
    void FitColumns();
    int ColumnWidth(int column) const;

    // The list view's and its header's notifications, forwarded by the window
    // that owns the control. Returns true when handled (result in *result).
    bool HandleNotify(NMHDR* header, LRESULT* result);

private:
    static LRESULT CALLBACK SubclassProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
    void MoveStates(const std::vector<std::size_t>& order);
    void SyncCount();

    std::vector<ReportColumn> columns_;
    ReportRows rows_;
    HWND hwnd_ = nullptr;
    std::wstring textBuffer_;
};

}  // namespace tarvenix

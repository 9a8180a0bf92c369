// A report-style list view over a ReportRows model (the control asks the model
// for its texts), with column numbers that survive header drags, width limits
// on every column, auto-size sharing, and selection that moves with the rows.
// It handles its own notifications (texts, header clicks, custom draw), which
// its window reflects back to it.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "base/column_fit.h"
#include "base/list_ordering.h"
#include "base/window_win.h"

namespace tarvenix {

struct ReportColumn {
    std::u16string caption;
    ColumnSpec spec;
    // A column added after the list's own: it takes no part in sharing the
    // list's width (the columns before it keep their widths), and it may
    // order by its own comparison instead of the text.
    bool added = false;
    std::function<std::int32_t(const ReportRows::Row& a, const ReportRows::Row& b, bool descending)> compare = {};
    // The row cell the column shows; -1: the cell of the column's own number.
    int cell = -1;
};

class ReportList final : public Control {
public:
    // The ordering state is shared with the other lists of the window.
    ReportList(OrderingState& ordering, std::vector<ReportColumn> columns);

    // Creates the control as a child of parent; id is its control ID. The
    // columns' widths and limits, given at 96 DPI, are scaled to the parent's DPI.
    void Create(HWND parent, int id, HFONT font);
    // The window moved to another DPI: limits scaled again, fixed columns keep
    // their (possibly dragged) width in proportion, auto-size columns refit.
    void SetDpi(int dpi);
    HWND Handle() const { return hwnd_; }

    // Puts other columns in the control's place (the rows stay). A column
    // showing the same cell as before keeps its width.
    void SetColumns(std::vector<ReportColumn> columns);
    std::size_t ColumnCount() const { return columns_.size(); }

    ReportRows& Rows() { return rows_; }
    const ReportRows& Rows() const { return rows_; }

    void Clear();
    void Append(ReportRows::Row row);
    // Appends rows in order, as Append does one by one, but tells the control
    // the new row count once: a fill of a thousand rows stays fast.
    void AppendAll(std::vector<ReportRows::Row> rows);
    // Clear and AppendAll in one: the control hears of the new row count once.
    void ReplaceAll(std::vector<ReportRows::Row> rows);
    // Removes the rows the predicate picks (the rest keep their order); the
    // selection and focus are cleared.
    void RemoveRows(const std::function<bool(const ReportRows::Row&)>& remove);

    // Indices of the selected rows, top to bottom; -1 when none is selected.
    std::vector<int> SelectedIndices() const;

    // The columns in their on-screen order (after header drags).
    std::vector<int> ColumnOrder() const;
    // The captions and the given rows' cells in that order; with no rows
    // given, every row in display order.
    std::vector<std::u16string> HeaderInScreenOrder() const;
    std::vector<std::vector<std::u16string>> RowsInScreenOrder(const std::vector<int>& rows) const;
    int FirstSelected() const;

    // Column click: the list's mode to None, the shared state updated, the mode
    // to Text (a full re-order).
    void ColumnClicked(int column);
    // SortedColumn and Descending, shared by the window's lists.
    OrderingState& Ordering() { return ordering_; }
    const OrderingState& Ordering() const { return ordering_; }

    // The background of a row when it is painted; unset: the system's.
    std::function<COLORREF(int index)> rowBackground;
    // The context menu asked for over the list, at a screen point.
    std::function<void(POINT at)> onContextMenu;
    // ... over the list's header (the columns); unset: as over the list.
    std::function<void(POINT at)> onHeaderContextMenu;

    // Refits the auto-size columns to the control's client width.
    void FitColumns();
    int ColumnWidth(int column) const;

    bool OnReflectedNotify(NMHDR* header, LRESULT* result) override;
    bool OnReflectedContextMenu(int x, int y) override;

private:
    static LRESULT CALLBACK SubclassProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
    void MoveStates(const std::vector<std::size_t>& order);
    void ClearStates();
    void SyncCount();
    void InsertColumns(const std::vector<int>& widths);
    int CellOf(int column) const;

    OrderingState& ordering_;
    std::vector<ReportColumn> columns_;  // at 96 DPI
    std::vector<ColumnSpec> specs_;      // at dpi_
    int dpi_ = kDefaultDpi;
    ReportRows rows_;
    HWND hwnd_ = nullptr;
    std::wstring textBuffer_;
};

}  // namespace tarvenix

// What the session actions see of the session list: its rows, which of them
// are selected, and the server each came from. Portable.
#pragma once

#include <string>
#include <vector>

#include "base/list_ordering.h"

namespace tarvenix {

class SessionListView {
public:
    virtual ~SessionListView() = default;
    // The rows in their present display order.
    virtual const ReportRows& Rows() const = 0;
    // Indices of the selected rows, top to bottom.
    virtual std::vector<int> SelectedIndices() const = 0;
    // The selected row with the lowest index, or -1.
    virtual int FirstSelected() const = 0;
    // ListedServer: the server box text at the last Get data that found the
    // box non-empty; the rows live on that server.
    virtual const std::u16string& ListedServer() const = 0;
    // The server a row lives on: ListedServer, or in the farm view the row's own.
    virtual const std::u16string& RowServer(int index) const = 0;
    // The list holds the sessions of several servers ("Все серверы"), or a
    // filter hides some of the listed rows: "all" means the rows shown.
    virtual bool FarmView() const = 0;
    virtual bool Filtered() const = 0;
};

}  // namespace tarvenix

// What the session actions see of the session list: the sessions of its
// rows as values (never the row texts), which of them are selected, and the
// server the list was made from. Portable.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "sessions/session.h"

namespace tarvenix {

class SessionListView {
public:
    virtual ~SessionListView() = default;
    // The sessions of the selected rows, top to bottom in the present display order.
    virtual std::vector<Session> SelectedSessions() const = 0;
    // The session of the selected row with the lowest index.
    virtual std::optional<Session> FirstSelectedSession() const = 0;
    // The sessions of every row shown, in display order.
    virtual std::vector<Session> ShownSessions() const = 0;
    // ListedServer: the server box text at the last Get data that found the
    // box non-empty; the rows live on that server.
    virtual const std::u16string& ListedServer() const = 0;
    // The list holds the sessions of several servers ("Все серверы"), or a
    // filter hides some of the listed rows: "all" means the rows shown.
    virtual bool FarmView() const = 0;
    virtual bool Filtered() const = 0;
};

}  // namespace tarvenix

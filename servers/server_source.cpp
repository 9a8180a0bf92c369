#include "servers/server_source.h"

#include "servers/directory.h"

namespace tarvenix {

ServerList TypedServers::Read() {
    ServerList list;
    list.names = names_;
    return list;
}

ServerList DirectoryServers::Read() {
    DirectoryFill fill = ReadDirectoryServers(directory_, ansi_);
    ServerList list;
    list.names = std::move(fill.sorted);
    if (!fill.ok) {
        list.outcome = ServerList::Outcome::Incomplete;
        list.failure = kDirectoryFailedMessage;
    }
    return list;
}

GatheredServers GatherServers(const std::vector<ServerSource*>& sources) {
    GatheredServers gathered;
    for (ServerSource* source : sources) {
        ServerList list = source->Read();
        if (!list.Complete()) gathered.failures.push_back(std::move(list.failure));
        if (list.outcome == ServerList::Outcome::NotRead) {
            gathered.stopped = true;
            break;
        }
        gathered.names.insert(gathered.names.end(), std::make_move_iterator(list.names.begin()),
                              std::make_move_iterator(list.names.end()));
    }
    return gathered;
}

}  // namespace tarvenix

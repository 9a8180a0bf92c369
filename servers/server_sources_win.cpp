#include "servers/server_sources_win.h"

#include "base/files_win.h"
#include "servers/history_codec.h"

namespace tarvenix {

ServerList TextFileServers::Read() {
    ServerList list;
    std::string bytes;
    DWORD error = 0;
    if (!ReadWholeFile(path_, FILE_SHARE_READ, &bytes, &error)) {
        list.outcome = ServerList::Outcome::NotRead;
        list.failure = CannotOpenFileText(path_, error, errors_);
        return list;
    }
    LoadedHistory loaded = DecodeHistory(bytes, ansi_);
    list.names = std::move(loaded.entries);
    list.encoding = loaded.encoding;
    return list;
}

}  // namespace tarvenix

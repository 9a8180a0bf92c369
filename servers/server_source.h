// Where server names come from: the names typed, the history, a text file the
// user picks, the computers of the domain's directory. The server box and the
// command line read every list through ServerSource; a new place to take names
// from is one more class behind it. Portable: the sources that read files are
// in server_sources_win.h.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/byte_order_mark.h"

namespace tarvenix {

class AnsiCodePage;
class DirectoryService;

// The names one source gave, in its order (duplicates and blank lines kept:
// whoever uses the list decides what to do with them).
struct ServerList {
    enum class Outcome {
        Complete,    // the source was read whole
        NotRead,     // nothing could be read (a file that does not open): `names` is empty
        Incomplete,  // the source failed part-way: `names` holds what it gave before
    };
    Outcome outcome = Outcome::Complete;
    std::vector<std::u16string> names;
    // What went wrong, as the user is told it (empty when complete).
    std::u16string failure;
    // A file's encoding (to write the history back in); unset for other sources.
    std::optional<TextEncoding> encoding;

    bool Complete() const { return outcome == Outcome::Complete; }
};

class ServerSource {
public:
    virtual ~ServerSource() = default;
    // Reads the list. May wait on a file or the network for as long as it
    // takes: the window calls it on a worker when the source is remote.
    virtual ServerList Read() = 0;
};

// Names given as they are (typed in the box, or on the command line).
class TypedServers final : public ServerSource {
public:
    explicit TypedServers(std::vector<std::u16string> names) : names_(std::move(names)) {}
    ServerList Read() override;

private:
    std::vector<std::u16string> names_;
};

// The server computers of the signed-in user's domain (see directory.h):
// sorted by the user's collation; after a failure, the names read before it
// in directory order, and "Не могу получить список серверов вашего домена!".
// `directory` and `ansi` must outlive the source.
class DirectoryServers final : public ServerSource {
public:
    DirectoryServers(DirectoryService& directory, const AnsiCodePage& ansi) : directory_(directory), ansi_(ansi) {}
    ServerList Read() override;

private:
    DirectoryService& directory_;
    const AnsiCodePage& ansi_;
};

// The names of several sources read one after the other, as the command line
// takes them. A source that could not be read at all ends the reading there
// (`stopped`; the later sources are not asked); one that failed part-way
// gives what it read, and the next sources are still read.
struct GatheredServers {
    std::vector<std::u16string> names;     // every source's names, in the order of the sources
    std::vector<std::u16string> failures;  // each failure, in the order of the sources
    bool stopped = false;                  // the last failure is of a source that could not be read
};
GatheredServers GatherServers(const std::vector<ServerSource*>& sources);

}  // namespace tarvenix

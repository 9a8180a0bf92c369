// The server sources that read files: a text file of names, and the history
// (serverslist.txt in the application directory). Each line is a name; the
// file is decoded by its byte-order mark (see history_codec.h).
#pragma once

#include <cstddef>
#include <string>

#include "base/ansi_code_page.h"
#include "base/services.h"
#include "servers/server_source.h"

namespace tarvenix {

inline constexpr char16_t kHistoryFileName[] = u"serverslist.txt";

// A list of servers in a text file, read while others may read but not write
// it. A file that cannot be opened or read is NotRead, with "Cannot open file
// ..." as the failure (the default error box's text). `ansi` and `errors`
// must outlive the source.
class TextFileServers : public ServerSource {
public:
    TextFileServers(std::u16string path, const AnsiCodePage& ansi, ErrorTexts* errors)
        : path_(std::move(path)), ansi_(ansi), errors_(errors) {}
    ServerList Read() override;
    const std::u16string& Path() const { return path_; }

private:
    std::u16string path_;
    const AnsiCodePage& ansi_;
    ErrorTexts* errors_;
};

// The names piped to the program's standard input (the command line's
// "--from-file -"), one a line, decoded as a text file of names is, read to
// the end of the input. A console is refused rather than waited on (the
// names come from a pipe or a redirected file), as is more than
// kMostPipedBytes; a read that fails gives nothing of what came before it.
class StandardInputServers final : public ServerSource {
public:
    static constexpr std::size_t kMostPipedBytes = 16u << 20;
    StandardInputServers(const AnsiCodePage& ansi, ErrorTexts* errors) : ansi_(ansi), errors_(errors) {}
    ServerList Read() override;

private:
    const AnsiCodePage& ansi_;
    ErrorTexts* errors_;
};

// The history: serverslist.txt in the application directory (given with its
// trailing separator).
class HistoryServers final : public TextFileServers {
public:
    HistoryServers(const std::u16string& appDirectory, const AnsiCodePage& ansi, ErrorTexts* errors)
        : TextFileServers(appDirectory + kHistoryFileName, ansi, errors) {}
};

}  // namespace tarvenix

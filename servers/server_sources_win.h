// The server sources that read files: a text file of names, and the history
// (serverslist.txt in the application directory). Each line is a name; the
// file is decoded by its byte-order mark (see history_codec.h).
#pragma once

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

// The history: serverslist.txt in the application directory (given with its
// trailing separator).
class HistoryServers final : public TextFileServers {
public:
    HistoryServers(const std::u16string& appDirectory, const AnsiCodePage& ansi, ErrorTexts* errors)
        : TextFileServers(appDirectory + kHistoryFileName, ansi, errors) {}
};

}  // namespace tarvenix

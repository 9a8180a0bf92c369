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

ServerList StandardInputServers::Read() {
    ServerList list;
    const auto refuse = [&](std::u16string why) {
        list.outcome = ServerList::Outcome::NotRead;
        list.failure = u"Не удалось прочитать список серверов со стандартного ввода: " + std::move(why);
        return list;
    };
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    if (input == nullptr || input == INVALID_HANDLE_VALUE) return refuse(u"стандартного ввода нет.");
    DWORD mode = 0;
    if (GetConsoleMode(input, &mode))
        return refuse(u"это консоль. Передайте список через конвейер или из файла (< servers.txt).");
    std::string bytes;
    char buffer[65536];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(input, buffer, sizeof(buffer), &got, nullptr)) {
            const DWORD error = GetLastError();
            if (error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF) break;  // the writer is done
            return refuse(errors_ ? errors_->Describe(error) : std::u16string());
        }
        if (got == 0) break;
        if (bytes.size() + got > kMostPipedBytes) return refuse(u"список длиннее 16 МБ.");
        bytes.append(buffer, got);
    }
    LoadedHistory loaded = DecodePipedNames(bytes, ansi_);
    list.names = std::move(loaded.entries);
    list.encoding = loaded.encoding;
    return list;
}

}  // namespace tarvenix

#include "servers/text_files_win.h"

#include <algorithm>
#include <memory>
#include <type_traits>

#include "app/app_error.h"
#include "app/win_text.h"

namespace tarvenix {

namespace {

struct HandleCloser {
    void operator()(HANDLE h) const {
        if (h && h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
};
using FileHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleCloser>;

FileHandle OpenFile(const std::u16string& path, DWORD access, DWORD share, DWORD disposition) {
    HANDLE h = CreateFileW(Wz(path), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    return FileHandle(h == INVALID_HANDLE_VALUE ? nullptr : h);
}

std::u16string Reason(DWORD error, ErrorTexts* errors) {
    return errors ? errors->Describe(error) : std::u16string();
}

}  // namespace

bool ReadWholeFile(const std::u16string& path, DWORD shareMode, std::string* bytes, DWORD* error) {
    bytes->clear();
    FileHandle file = OpenFile(path, GENERIC_READ, shareMode, OPEN_EXISTING);
    if (!file) {
        *error = GetLastError();
        return false;
    }
    char buffer[64 * 1024];
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file.get(), buffer, sizeof(buffer), &read, nullptr)) {
            *error = GetLastError();
            return false;
        }
        if (read == 0) return true;
        bytes->append(buffer, read);
    }
}

bool WriteWholeFile(const std::u16string& path, const std::string& bytes, DWORD* error, bool* created) {
    *created = false;
    FileHandle file = OpenFile(path, GENERIC_WRITE, 0, CREATE_ALWAYS);
    if (!file) {
        *error = GetLastError();
        return false;
    }
    *created = true;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
        DWORD written = 0;
        if (!WriteFile(file.get(), bytes.data() + done, chunk, &written, nullptr) || written == 0) {
            *error = GetLastError();
            return false;
        }
        done += written;
    }
    return true;
}

std::u16string CannotOpenFileText(const std::u16string& path, DWORD error, ErrorTexts* errors) {
    return u"Cannot open file \"" + path + u"\". " + Reason(error, errors);
}

std::u16string CannotCreateFileText(const std::u16string& path, DWORD error, ErrorTexts* errors) {
    return u"Cannot create file \"" + path + u"\". " + Reason(error, errors);
}

std::u16string UnableToWriteText(const std::u16string& path) { return u"Unable to write to " + path; }

LoadedHistory ReadHistoryFile(const std::u16string& path, const AnsiCodePage& ansi, ErrorTexts* errors) {
    std::string bytes;
    DWORD error = 0;
    if (!ReadWholeFile(path, FILE_SHARE_READ, &bytes, &error)) throw AppError(CannotOpenFileText(path, error, errors));
    return DecodeHistory(bytes, ansi);
}

TextEncoding WriteHistoryFile(const std::u16string& path, const std::vector<std::u16string>& entries,
                              std::optional<TextEncoding> encoding, const AnsiCodePage& ansi, ErrorTexts* errors) {
    TextEncoding written = TextEncoding::Ansi;
    const std::string bytes = EncodeHistory(entries, encoding, ansi, &written);
    DWORD error = 0;
    bool created = false;
    if (!WriteWholeFile(path, bytes, &error, &created)) {
        throw AppError(created ? UnableToWriteText(path) : CannotCreateFileText(path, error, errors));
    }
    return written;
}

}  // namespace tarvenix

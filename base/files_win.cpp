#include "base/files_win.h"

#include <algorithm>

#include "base/handles_win.h"
#include "base/win_text.h"

namespace tarvenix {

namespace {

std::u16string Reason(DWORD error, ErrorTexts* errors) { return errors ? errors->Describe(error) : std::u16string(); }

bool WriteAll(HANDLE file, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr)) return false;
        if (written == 0) {
            SetLastError(ERROR_WRITE_FAULT);
            return false;
        }
        done += written;
    }
    return true;
}

}  // namespace

bool ReadWholeFile(const std::u16string& path, DWORD shareMode, std::string* bytes, DWORD* error) {
    bytes->clear();
    FileHandle file(CreateFileW(Wz(path), GENERIC_READ, shareMode, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        *error = GetLastError();
        return false;
    }
    char buffer[64 * 1024];
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file.Get(), buffer, sizeof(buffer), &read, nullptr)) {
            *error = GetLastError();
            return false;
        }
        if (read == 0) return true;
        bytes->append(buffer, read);
    }
}

std::u16string TemporaryPathFor(const std::u16string& path) { return path + u".tmp"; }

bool ReplaceWithTemporary(const std::u16string& temporary, const std::u16string& path, DWORD* error) {
    if (MoveFileExW(Wz(temporary), Wz(path), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    *error = GetLastError();
    return false;
}

bool WriteFileAtomically(const std::u16string& path, const std::string& bytes, DWORD* error, WriteStep* step) {
    const std::u16string temporary = TemporaryPathFor(path);
    {
        FileHandle file(CreateFileW(Wz(temporary), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) {
            *error = GetLastError();
            *step = WriteStep::Create;
            return false;
        }
        if (!WriteAll(file.Get(), bytes) || !FlushFileBuffers(file.Get())) {
            *error = GetLastError();
            *step = WriteStep::Write;
            file.Reset();
            DeleteFileW(Wz(temporary));
            return false;
        }
    }
    if (!ReplaceWithTemporary(temporary, path, error)) {
        *step = WriteStep::Replace;
        DeleteFileW(Wz(temporary));
        return false;
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

}  // namespace tarvenix

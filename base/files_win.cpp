#include "base/files_win.h"

#include <algorithm>
#include <atomic>
#include <cstdint>

#include "base/handles_win.h"
#include "base/text.h"
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

FileHandle CreateTemporaryBeside(const std::u16string& path, std::u16string* temporary, DWORD* error) {
    // The process ID keeps other processes' names apart, the counter this
    // process's own writes; a name still taken (left by an earlier process of
    // the same ID, or by anybody else) only moves on to the next number.
    static std::atomic<std::uint32_t> counter{0};
    const std::u16string prefix = path + u"." + DecimalU32(GetCurrentProcessId()) + u"-";
    constexpr int kAttempts = 100;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        std::u16string name = prefix + DecimalU32(counter.fetch_add(1)) + u".tmp";
        FileHandle file(CreateFileW(Wz(name), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file) {
            *temporary = std::move(name);
            return file;
        }
        *error = GetLastError();
        if (*error != ERROR_FILE_EXISTS && *error != ERROR_ALREADY_EXISTS) break;
    }
    temporary->clear();
    return FileHandle();
}

bool ReplaceWithTemporary(const std::u16string& temporary, const std::u16string& path, DWORD* error) {
    DWORD attributes = GetFileAttributesW(Wz(path));
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD missing = GetLastError();
        if (missing != ERROR_FILE_NOT_FOUND) {
            *error = missing;
            return false;
        }
        // No target: the temporary file becomes it. Made meanwhile by
        // somebody else, it is replaced as any existing target.
        if (MoveFileExW(Wz(temporary), Wz(path), MOVEFILE_WRITE_THROUGH)) return true;
        *error = GetLastError();
        if (*error != ERROR_ALREADY_EXISTS && *error != ERROR_FILE_EXISTS) return false;
        attributes = GetFileAttributesW(Wz(path));
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            *error = GetLastError();
            return false;
        }
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        *error = ERROR_ACCESS_DENIED;
        return false;
    }
    // The system does not replace a read-only file; asked first, so the answer
    // is the same wherever the program runs.
    if (attributes & FILE_ATTRIBUTE_READONLY) {
        *error = ERROR_ACCESS_DENIED;
        return false;
    }
    // A target another program holds without letting it be renamed is
    // refused here, before ReplaceFileW moves anything (Wine's moves the
    // target aside to a file of its own first, and leaves that file behind
    // when the move fails).
    {
        FileHandle target(CreateFileW(Wz(path), DELETE | FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!target) {
            *error = GetLastError();
            return false;
        }
    }
    // No backup file: whatever step fails, the target keeps its name and bytes.
    if (!ReplaceFileW(Wz(path), Wz(temporary), nullptr, 0, nullptr, nullptr)) {
        *error = GetLastError();
        return false;
    }
    // ReplaceFileW gives the result the target's attributes; where that is not
    // done (Wine), they are set again.
    constexpr DWORD kKept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    const DWORD now = GetFileAttributesW(Wz(path));
    if (now != INVALID_FILE_ATTRIBUTES && (now & kKept) != (attributes & kKept))
        SetFileAttributesW(Wz(path), (now & ~kKept & ~FILE_ATTRIBUTE_NORMAL) | (attributes & kKept));
    return true;
}

bool WriteFileAtomically(const std::u16string& path, const std::string& bytes, DWORD* error, WriteStep* step) {
    std::u16string temporary;
    {
        FileHandle file = CreateTemporaryBeside(path, &temporary, error);
        if (!file) {
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

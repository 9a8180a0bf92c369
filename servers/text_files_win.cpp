#include "servers/text_files_win.h"

#include "base/app_error.h"
#include "base/files_win.h"

namespace tarvenix {

TextEncoding WriteHistoryFile(const std::u16string& path, const std::vector<std::u16string>& entries,
                              std::optional<TextEncoding> encoding, const AnsiCodePage& ansi, ErrorTexts* errors) {
    TextEncoding written = TextEncoding::Ansi;
    const std::string bytes = EncodeHistory(entries, encoding, ansi, &written);
    DWORD error = 0;
    WriteStep step = WriteStep::Create;
    if (!WriteFileAtomically(path, bytes, &error, &step)) {
        throw AppError(step == WriteStep::Write ? UnableToWriteText(path) : CannotCreateFileText(path, error, errors));
    }
    return written;
}

}  // namespace tarvenix

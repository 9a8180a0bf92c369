#include "cli/cli_write.h"

#include "base/text.h"

namespace tarvenix {

bool ReaderWentAway(std::uint32_t error) { return error == kErrorBrokenPipe || error == kErrorNoData; }

std::u16string OutputWriteFailureText(std::uint32_t error, const DescribeError& describe) {
    return u"Не удалось записать вывод: " + SystemErrorLine(error, describe);
}

int ExitCodeAfterOutput(int exitCode, std::uint32_t writeError) {
    if (exitCode != 0 || writeError == 0 || ReaderWentAway(writeError)) return exitCode;
    return 1;
}

std::string OutputFileBytes(const std::u16string& text, OutputFormat format) {
    const std::string bytes = Utf16ToUtf8(text);
    return format == OutputFormat::Json ? bytes : "\xEF\xBB\xBF" + bytes;
}

std::u16string OutputFileFailureText(const std::u16string& path, std::uint32_t error, const DescribeError& describe) {
    return u"Не удалось записать файл \"" + path + u"\": " + SystemErrorLine(error, describe);
}

}  // namespace tarvenix

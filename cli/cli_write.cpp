#include "cli/cli_write.h"

namespace tarvenix {

bool ReaderWentAway(std::uint32_t error) { return error == kErrorBrokenPipe || error == kErrorNoData; }

std::u16string OutputWriteFailureText(std::uint32_t error, const DescribeError& describe) {
    return u"Не удалось записать вывод: " + SystemErrorLine(error, describe);
}

int ExitCodeAfterOutput(int exitCode, std::uint32_t writeError) {
    if (exitCode != 0 || writeError == 0 || ReaderWentAway(writeError)) return exitCode;
    return 1;
}

}  // namespace tarvenix

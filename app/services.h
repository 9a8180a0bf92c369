// The platform services the windows use, behind narrow portable interfaces so
// that window logic can be driven in tests without a real server, shell,
// directory or modal box. The Windows implementations live in *_win.cpp files.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarvenix {

class TerminalServices;
class AnsiCodePage;
class DirectoryService;

// Modal boxes captioned with the application title.
class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Plain message: no icon, OK only.
    virtual void ShowMessage(const std::u16string& text) = 0;
    // The Yes/Cancel question (no icon, Yes default, centred on the screen): true for Yes.
    virtual bool Confirm(const std::u16string& text) = 0;
    // The application's default error box: error icon, OK; the text as given
    // (the caller applies the full-stop rule, see app/error_text.h).
    virtual void ShowError(const std::u16string& text) = 0;

    struct OpenFileRequest {
        std::u16string title;
        std::u16string initialDirectory;
        std::u16string filter;            // "Name|pattern" pairs, as the user sees them
        std::u16string defaultExtension;  // without the dot
        int filterIndex = 1;
    };
    // The file-open dialog: the chosen file's full path, or nothing on Cancel.
    virtual std::optional<std::u16string> OpenFile(const OpenFileRequest& request) = 0;
};

// Shell execution (ShellExecuteW with the default verb).
class Shell {
public:
    virtual ~Shell() = default;
    // Returns 0 on success, else a system error code.
    virtual std::uint32_t Execute(const std::u16string& file, const std::u16string& parameters, int showCommand) = 0;
};

// System error texts (FormatMessage), without a trailing line break.
class ErrorTexts {
public:
    virtual ~ErrorTexts() = default;
    virtual std::u16string Describe(std::uint32_t code) = 0;
};

// Everything a main window needs from outside. Not owned.
struct Services {
    TerminalServices* terminal = nullptr;
    Dialogs* dialogs = nullptr;
    Shell* shell = nullptr;
    ErrorTexts* errors = nullptr;
    AnsiCodePage* ansi = nullptr;
    DirectoryService* directory = nullptr;
    // The application directory with its trailing separator: settings.ini,
    // serverslist.txt and message.txt live here.
    std::u16string appDirectory;
};

}  // namespace tarvenix

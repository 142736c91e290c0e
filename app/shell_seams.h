#pragma once
// What the application shell's commands need of a window toolkit. Each front end (the Qt window
// on Linux, the Win32 window on Windows) adapts its own controls to these; tests hand in fakes of
// them.

#include <optional>
#include <string>

namespace kestrova {

// The Open dialog: the chosen project file's path (UTF-8), or nothing when the user cancelled.
class FileSelection {
public:
    virtual ~FileSelection() = default;
    virtual std::optional<std::string> chooseProjectFile() = 0;
    // Offers the file (UTF-8) as the choice when the dialog next opens: a project checked
    // without the dialog is offered as one chosen in it would be.
    virtual void offer(const std::string& file) = 0;
};

// The application's message box: a text (CR LF starts a new line), an OK button only, no icon,
// the application title as caption, modal.
class MessageDisplay {
public:
    virtual ~MessageDisplay() = default;
    virtual void showMessage(const std::string& text) = 0;
};

// The report box: the one home of the report text (UTF-8, CR LF line breaks), read and replaced
// as a whole.
class ReportBox {
public:
    virtual ~ReportBox() = default;
    virtual std::string text() const = 0;
    virtual void setText(std::string text) = 0;
};

// The dialogs through which a window's commands ask and tell the user. Each one left empty is
// the window's own; tests hand in fakes.
struct CommandDialogs {
    FileSelection* files = nullptr;
    MessageDisplay* messages = nullptr;
};

} // namespace kestrova

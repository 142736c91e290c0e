#pragma once
// The application's one message box: a text, an OK button only, no icon, the application title
// as caption, modal to the whole application.

#include "app/shell_seams.h"

#include <QString>

#include <string>

class QWidget;

namespace kestrova::qt {

// The text as the box shows it: CR LF starts a new line.
QString MessageBoxText(const std::string& text);

// The width a box needs to show its whole caption in the window manager's frame.
int CaptionRoom(const QWidget& box);

class ApplicationMessageBox final : public MessageDisplay {
public:
    // owner: the window the box belongs to when no other modal window is open.
    explicit ApplicationMessageBox(QWidget* owner) : owner_(owner) {}

    void showMessage(const std::string& text) override;

private:
    QWidget* owner_;
};

} // namespace kestrova::qt

#pragma once
// What a check run needs from the platform. The desktop window and the command-line tool each
// supply their own adapters; tests pre-answer them.

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

namespace kestrova {

// The Open dialog: the chosen project file's path, or nothing when the user cancelled.
class FileSelection {
public:
    virtual ~FileSelection() = default;
    virtual std::optional<std::string> chooseProjectFile() = 0;
};

// The application's message box: a text (CR LF starts a new line), an OK button, modal.
class MessageDisplay {
public:
    virtual ~MessageDisplay() = default;
    virtual void showMessage(const std::string& text) = 0;
};

// The report box: the one home of the report text, read and replaced as a whole.
class ReportBox {
public:
    virtual ~ReportBox() = default;
    virtual std::string text() const = 0;
    virtual void setText(std::string text) = 0;
};

// Fractions uniformly distributed in [0, 1).
class RandomSource {
public:
    virtual ~RandomSource() = default;
    virtual double nextFraction() = 0;
};

// The classic Basic generator, never seeded: every start of the program walks the same
// sequence, and one instance keeps its position from one check run to the next.
class UnseededRandom final : public RandomSource {
public:
    double nextFraction() override;

private:
    std::uint32_t state_ = 0x50000;
};

// A report box that is only a string; the command-line tool and tests use it.
class StringReportBox final : public ReportBox {
public:
    std::string text() const override { return text_; }
    void setText(std::string text) override { text_ = std::move(text); }

private:
    std::string text_;
};

} // namespace kestrova

#pragma once
// Helpers for widget tests: waiting, driving modal windows and reading printed PDF files.

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

namespace kestrova::testing {

// Waits until `done` holds, for at most the given time, without running the event loop (so it
// also serves before the application exists).
template <typename Condition> bool WaitFor(Condition done, int timeoutMs, int stepMs = 50) {
    for (int waited = 0; !done(); waited += stepMs) {
        if (waited >= timeoutMs)
            return false;
        QThread::msleep(static_cast<unsigned long>(stepMs));
    }
    return true;
}

// Once a modal window opens, hands it to `act` (which must close it). Call before the code
// that opens the window; if no modal window opens within the time, nothing happens.
inline void WhenModalOpens(std::function<void(QWidget*)> act, int timeoutMs = 5000) {
    auto timer = std::make_shared<QTimer>();
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    timer->setInterval(10);
    QObject::connect(timer.get(), &QTimer::timeout,
                     [timer, clock, act = std::move(act), timeoutMs] {
                         QWidget* modal = QApplication::activeModalWidget();
                         if (modal != nullptr && modal->isVisible()) {
                             timer->stop();
                             act(modal);
                         } else if (clock->elapsed() > timeoutMs) {
                             timer->stop();
                         }
                     });
    timer->start();
}

// Runs a command-line tool and gives what it wrote to standard output.
inline QString ToolOutput(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(30000)) {
        return {};
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

// The text of a PDF file, laid out as on the page; pages are separated by form feeds.
inline QString PdfText(const QString& path) {
    return ToolOutput(QStringLiteral("pdftotext"),
                      {QStringLiteral("-layout"), path, QStringLiteral("-")});
}

inline QString PdfFonts(const QString& path) {
    return ToolOutput(QStringLiteral("pdffonts"), {path});
}

} // namespace kestrova::testing

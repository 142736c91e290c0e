// Printing through a real CUPS scheduler of the test's own, with cups-pdf queues that accept,
// refuse, are stopped, hold jobs or fail them: the user hears of every outcome but success.

#include "app/print_queues.h"
#include "app/qt/qt_printing.h"

#include "recording_messages.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <cups/cups.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrova::qt {
namespace {

constexpr const char* kCupsd = "/usr/sbin/cupsd";
constexpr const char* kPdfDriver = "/usr/share/ppd/cups-pdf/CUPS-PDF_noopt.ppd";

// A TCP port of 127.0.0.1 that nothing listens on at the moment; 0 when none can be found.
int FreeLocalPort() {
    const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    if (probe < 0)
        return 0;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(probe);
    return port;
}

// A scheduler listening on a free port of 127.0.0.1, with its configuration, spool and logs in
// a folder of its own; stopped and removed with the object.
class PrivateScheduler {
public:
    PrivateScheduler() {
        if (!QFile::exists(QString::fromLatin1(kCupsd)) ||
            !QFile::exists(QString::fromLatin1(kPdfDriver)) || !root_.isValid())
            return;
        for (const char* folder : {"spool", "cache", "state", "log", "tmp"})
            QDir(root_.path()).mkdir(QString::fromLatin1(folder));
        // Filters run as the scheduler's own user: they pass through the folder and write
        // their temporary files in tmp.
        ::chmod(QFile::encodeName(root_.path()).constData(), 0711);
        ::chmod(QFile::encodeName(root_.filePath("tmp")).constData(), 01777);
        const int port = FreeLocalPort();
        if (port == 0)
            return;
        address_ = QStringLiteral("127.0.0.1:%1").arg(port);
        write("cupsd.conf", "Listen " + address_ +
                                "\nLogLevel warn\nDefaultAuthType None\nWebInterface No\n"
                                "Browsing No\n<Location />\n  Order allow,deny\n  Allow all\n"
                                "</Location>\n<Policy default>\n  <Limit All>\n"
                                "    Order deny,allow\n  </Limit>\n</Policy>\n");
        const QString r = root_.path();
        // The programs of the system's CUPS, and one more backend that fails every job.
        QDir(r).mkpath(QStringLiteral("bin/backend"));
        const QDir system(QStringLiteral("/usr/lib/cups"));
        for (const QString& part : system.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            if (part != QStringLiteral("backend"))
                QFile::link(system.filePath(part), r + "/bin/" + part);
        }
        QFile::link(system.filePath(QStringLiteral("backend/cups-pdf")),
                    r + "/bin/backend/cups-pdf");
        write("bin/backend/failing", "#!/bin/sh\necho 'ERROR: fails on purpose' >&2\nexit 1\n");
        ::chmod(QFile::encodeName(r + "/bin/backend/failing").constData(), 0755);
        write("cups-files.conf", "ServerRoot " + r + "\nStateDir " + r + "/state\nCacheDir " + r +
                                     "/cache\nRequestRoot " + r + "/spool\nTempDir " + r +
                                     "/tmp\nErrorLog " + r + "/log/error_log\nAccessLog " + r +
                                     "/log/access_log\nPageLog " + r + "/log/page_log\nServerBin " +
                                     r + "/bin\n");
        cupsd_.start(QString::fromLatin1(kCupsd), {"-f", "-c", root_.filePath("cupsd.conf"), "-s",
                                                   root_.filePath("cups-files.conf")});
        if (!cupsd_.waitForStarted(5000))
            return;
        cupsSetServer(address_.toUtf8().constData());
        for (int attempt = 0; attempt < 100 && !running_; ++attempt) {
            QThread::msleep(50);
            running_ = cupsd_.state() == QProcess::Running && answers(port);
        }
    }
    ~PrivateScheduler() {
        cupsSetServer(nullptr);
        if (cupsd_.state() != QProcess::NotRunning) {
            cupsd_.terminate();
            if (!cupsd_.waitForFinished(10000)) {
                cupsd_.kill();
                cupsd_.waitForFinished();
            }
        }
    }
    PrivateScheduler(const PrivateScheduler&) = delete;
    PrivateScheduler& operator=(const PrivateScheduler&) = delete;

    bool running() const { return running_; }

    // Whether the scheduler takes connections yet.
    static bool answers(int port) {
        http_t* http = httpConnect2("127.0.0.1", port, nullptr, AF_INET,
                                    HTTP_ENCRYPTION_IF_REQUESTED, 1, 1000, nullptr);
        if (http == nullptr)
            return false;
        httpClose(http);
        return true;
    }
    QString folder() const { return root_.path(); }

    // Runs one of CUPS's administration commands against this scheduler.
    bool run(const QString& command, const QStringList& arguments) {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("CUPS_SERVER"), address_);
        process.setProcessEnvironment(environment);
        process.start(command, arguments);
        return process.waitForFinished(20000) && process.exitStatus() == QProcess::NormalExit &&
               process.exitCode() == 0;
    }

    void write(const QString& name, const QString& text) {
        QFile file(root_.filePath(name));
        if (file.open(QIODevice::WriteOnly))
            file.write(text.toUtf8());
    }

private:
    QTemporaryDir root_;
    QString address_;
    QProcess cupsd_;
    bool running_ = false;
};

// The folder cups-pdf writes to for the user the jobs run as.
QString CupsPdfOutput() {
    const passwd* user = getpwuid(getuid());
    return QString::fromLocal8Bit(user != nullptr ? user->pw_dir : "/nonexistent") +
           QStringLiteral("/PDF");
}

// Jobs of a queue, finished ones included, with their names.
QStringList JobNames(const std::string& queue) {
    cups_job_t* jobs = nullptr;
    const int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, queue.c_str(), 0, CUPS_WHICHJOBS_ALL);
    QStringList names;
    for (int i = 0; i < count; ++i)
        names.append(QString::fromUtf8(jobs[i].title));
    cupsFreeJobs(count, jobs);
    return names;
}

class CupsPrinting : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        outputBefore_ = QDir(CupsPdfOutput()).entryList(QDir::Files);
        outputExisted_ = QFileInfo::exists(CupsPdfOutput());
        scheduler_ = new PrivateScheduler;
    }
    static void TearDownTestSuite() {
        delete scheduler_;
        scheduler_ = nullptr;
        // cups-pdf writes into the user's PDF folder: take back what these queues wrote there.
        QDir output(CupsPdfOutput());
        for (const QString& name : output.entryList(QDir::Files)) {
            if (!outputBefore_.contains(name))
                output.remove(name);
        }
        if (!outputExisted_)
            output.rmdir(output.path());
    }
    void SetUp() override {
        if (!scheduler_->running())
            GTEST_SKIP() << "NOTICE: no CUPS scheduler could be started here (" << kCupsd
                         << "); printing through CUPS is not tested.";
    }

    // The project name the jobs carry; cups-pdf names its files after it.
    static QString projectName() {
        return QStringLiteral("show-%1").arg(QCoreApplication::applicationPid());
    }
    static QString prefix() {
        return QStringLiteral("kestrova-test-%1-").arg(QCoreApplication::applicationPid());
    }

    // A cups-pdf queue of the given kind, made the default.
    std::string defaultQueue(const QString& kind, const QStringList& setup = {},
                             const QString& device = QStringLiteral("cups-pdf:/")) {
        const QString queue = prefix() + kind;
        EXPECT_TRUE(scheduler_->run("lpadmin", {"-p", queue, "-E", "-v", device, "-P", driver_}));
        if (!setup.isEmpty()) {
            EXPECT_TRUE(scheduler_->run("lpadmin", QStringList{"-p", queue} + setup));
        }
        EXPECT_TRUE(scheduler_->run("lpadmin", {"-d", queue}));
        return queue.toStdString();
    }

    std::vector<std::string> print(const std::string& report = "\r\nReporting on show.kpj") {
        SystemPrinters printers(PlatformPrintQueues());
        testing::RecordingMessages messages;
        RunPrintCommand(report, kJobName.toStdString(), printers, messages);
        return messages.texts;
    }

    static inline PrivateScheduler* scheduler_ = nullptr;
    static inline bool outputExisted_ = false;
    static inline QStringList outputBefore_;
    QString driver_ = QString::fromLatin1(kPdfDriver);
    const QString kJobName = "Kestrova Checker \u2013 " + projectName() + ".kpj";
};

TEST_F(CupsPrinting, AcceptedJobIsSilentAndCarriesTheProjectsName) {
    const std::string queue = defaultQueue("accepting");
    const std::vector<std::string> said = print();
    EXPECT_TRUE(said.empty()) << said.front();
    EXPECT_EQ(JobNames(queue), QStringList{kJobName});
}

TEST_F(CupsPrinting, EveryOtherOutcomeSaysWhatHappenedOnWhichPrinter) {
    // A filter that fails every job, on a queue that aborts a job its filters fail.
    const QString failing = scheduler_->folder() + "/failing-filter";
    scheduler_->write("failing-filter", "#!/bin/sh\necho 'ERROR: fails on purpose' >&2\nexit 1\n");
    QFile::setPermissions(failing, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                       QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                       QFile::ExeOther);
    QFile pdfDriver(driver_);
    ASSERT_TRUE(pdfDriver.open(QIODevice::ReadOnly));
    QString failingDriver = QString::fromUtf8(pdfDriver.readAll());
    failingDriver.replace(QStringLiteral("*ModelName:"),
                          "*cupsFilter: \"application/pdf 0 " + failing + "\"\n*ModelName:");
    scheduler_->write("failing.ppd", failingDriver);

    const struct {
        QString kind;
        QStringList setup;
        QString afterwards; // a command that puts the queue in its state
        std::string said;
        bool jobQueued;
        QString device = QStringLiteral("cups-pdf:/");
    } cases[] = {
        {"rejecting", {}, "cupsreject", "is not accepting print jobs", false},
        {"stopped", {}, "cupsdisable", "is stopped", false},
        {"holding", {"-o", "job-hold-until-default=indefinite"}, {}, "is held", true},
        {"failing-filter", {}, {}, "stopped", true},
        {"failing-device",
         {"-o", "printer-error-policy=abort-job"},
         {},
         "aborted",
         true,
         QStringLiteral("failing:/")},
    };
    for (const auto& c : cases) {
        driver_ = c.kind == QStringLiteral("failing-filter") ? scheduler_->folder() + "/failing.ppd"
                                                             : QString::fromLatin1(kPdfDriver);
        const std::string queue = defaultQueue(c.kind, c.setup, c.device);
        if (!c.afterwards.isEmpty()) {
            ASSERT_TRUE(scheduler_->run(c.afterwards, {QString::fromStdString(queue)}));
        }
        const std::vector<std::string> said = print();
        ASSERT_EQ(said.size(), 1u) << c.kind.toStdString();
        EXPECT_NE(said[0].find(c.said), std::string::npos) << said[0];
        EXPECT_NE(said[0].find("\"" + queue + "\""), std::string::npos) << said[0];
        EXPECT_EQ(JobNames(queue).size(), c.jobQueued ? 1 : 0) << c.kind.toStdString();
    }
}

TEST_F(CupsPrinting, CancelledPrintLeavesNothingInTheQueue) {
    const std::string queue = defaultQueue("cancelled");
    std::string report;
    for (int i = 0; i < 1000; ++i)
        report += "\r\nline " + std::to_string(i);
    class CancelAtOnce final : public PrintProgress {
    public:
        void start(int) override {}
        bool pageDone(int) override { return false; }
    } cancel;
    SystemPrinters printers(PlatformPrintQueues());
    testing::RecordingMessages messages;
    RunPrintCommand(report, kJobName.toStdString(), printers, messages, &cancel);
    EXPECT_TRUE(messages.texts.empty());
    EXPECT_TRUE(JobNames(queue).isEmpty());
}

} // namespace
} // namespace kestrova::qt

// Kestrova Checker: creates and shows the main window, then answers its menu commands.

#include "about/app_info.h"
#include "app/main_window.h"
#include "check/file_access.h"

#include <QApplication>

int main(int argc, char** argv) {
    kestrova::RemoveListedFilesOnExit();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(kestrova::kApplicationTitle));
    QApplication::setApplicationVersion(QStringLiteral("%1.%2.%3")
                                            .arg(kestrova::kVersionMajor)
                                            .arg(kestrova::kVersionMinor)
                                            .arg(kestrova::kVersionRevision));
    kestrova::app::main window;
    window.show();
    return application.exec();
}

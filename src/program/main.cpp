#include "core/InterfaceFont.h"
#include "designer/DesignerControls.h"
#include "designer/Form1.h"
#include "platform/InstanceChannel.h"
#include "platform/ModalFocus.h"
#include "platform/SessionBus.h"
#include "platform/SystemPlatform.h"
#include "platform/WindowActivation.h"
#include "platform/files/DiagnosticLog.h"
#include "program/ProgramIcon.h"
#include "startup/Form2.h"
#include "startup/InterfaceLanguage.h"
#include "startup/SingleInstance.h"

#include <QApplication>
#include <QStringList>
#include <QStyleFactory>

#include <cstdio>
#include <memory>

namespace {

/// The log file the user asked for: --log FILE (or --log=FILE) on the command line, else the
/// environment's INKVALE_LOG_FILE; empty when none.
QString requestedLogFile(const QStringList& arguments) {
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (argument == QLatin1String("--log") && i + 1 < arguments.size()) {
            return arguments.at(i + 1);
        }
        if (argument.startsWith(QLatin1String("--log="))) {
            return argument.mid(6);
        }
    }
    return qEnvironmentVariable(inkvale::kLogFileVariable);
}

} // namespace

int main(int argc, char* argv[]) {
    // Read before the application object exists, which takes it from the environment.
    const QByteArray launchId = inkvale::launchFeedbackId();
    inkvale::declineAutolaunchedSessionBus();
    QApplication app(argc, argv);
    if (const QString logFile = requestedLogFile(QApplication::arguments()); !logFile.isEmpty()) {
        const inkvale::Outcome started = inkvale::startDiagnosticLog(logFile);
        if (!started.ok()) {
            std::fprintf(stderr, "inkvale: cannot write the log to %s: %s\n", qPrintable(logFile),
                         qPrintable(inkvale::englishText(started)));
        }
    }
    QApplication::setApplicationName(QStringLiteral("Inkvale"));
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setFont(inkvale::interfaceFont());
    inkvale::installChineseQtTexts(app);
    inkvale::giveModalWindowsTheKeyboard(app);
    // Every window, message boxes and dialogs too, shows the seal; the desktop matches the
    // windows to the launcher entry by this name.
    QApplication::setWindowIcon(inkvale::programIcon());
    QGuiApplication::setDesktopFileName(QStringLiteral("example.inkvale.Inkvale"));

    inkvale::SystemPlatform platform;
    // A second start from the same folder brings the running designer forward instead.
    inkvale::SingleInstance instance(platform.programFolder());
    if (instance.handOverToRunningDesigner(launchId)) {
        return 0;
    }
    std::unique_ptr<inkvale::Form1> form1;
    auto* splash = new inkvale::Form2(platform, [&platform, &form1] {
        form1 = std::make_unique<inkvale::Form1>(platform);
        form1->loadAndShow();
    });
    splash->loadAndShow();
    return QApplication::exec();
}

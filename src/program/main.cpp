#include "core/InterfaceFont.h"
#include "designer/DesignerControls.h"
#include "designer/Form1.h"
#include "platform/InstanceChannel.h"
#include "platform/ModalFocus.h"
#include "platform/SessionBus.h"
#include "platform/SystemPlatform.h"
#include "platform/WindowActivation.h"
#include "program/ProgramIcon.h"
#include "startup/Form2.h"
#include "startup/InterfaceLanguage.h"
#include "startup/SingleInstance.h"

#include <QApplication>
#include <QStyleFactory>

#include <memory>

int main(int argc, char* argv[]) {
    // Read before the application object exists, which takes it from the environment.
    const QByteArray launchId = inkvale::launchFeedbackId();
    inkvale::declineAutolaunchedSessionBus();
    QApplication app(argc, argv);
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

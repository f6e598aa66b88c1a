#include "designer/DesignerControls.h"
#include "designer/Form1.h"
#include "platform/ModalFocus.h"
#include "platform/SystemPlatform.h"
#include "startup/Form2.h"
#include "startup/InterfaceLanguage.h"

#include <QApplication>
#include <QStyleFactory>

#include <memory>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Inkvale"));
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setFont(inkvale::interfaceFont());
    inkvale::installChineseQtTexts(app);
    inkvale::giveModalWindowsTheKeyboard(app);

    inkvale::SystemPlatform platform;
    std::unique_ptr<inkvale::Form1> form1;
    auto* splash = new inkvale::Form2(platform, [&platform, &form1] {
        form1 = std::make_unique<inkvale::Form1>(platform);
        form1->loadAndShow();
    });
    splash->loadAndShow();
    return QApplication::exec();
}

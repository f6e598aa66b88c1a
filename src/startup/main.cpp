#include "designer/Form1.h"
#include "platform/SystemPlatform.h"

#include <QApplication>
#include <QStyleFactory>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Inkvale"));
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));

    inkvale::SystemPlatform platform;
    inkvale::Form1 form1(platform);
    form1.loadAndShow();
    return QApplication::exec();
}

#include "startup/InterfaceLanguage.h"

#include <QCoreApplication>
#include <QTranslator>

namespace inkvale {

bool installChineseQtTexts(QCoreApplication& app) {
    // The program's own texts are written in Chinese; only Qt's need translating. The dialogs
    // are Qt's own too, never the desktop's, which would speak the system's language.
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    // Qt's own translation, then ours of the few texts it leaves out, which is asked first.
    for (const QString& catalogue :
         {QStringLiteral("qtbase_zh_CN"), QStringLiteral("inkvale_qt_zh_CN")}) {
        auto* translator = new QTranslator(&app);
        if (!translator->load(catalogue, QStringLiteral(":/translations"))) {
            delete translator;
            return false;
        }
        QCoreApplication::installTranslator(translator);
    }
    return true;
}

} // namespace inkvale

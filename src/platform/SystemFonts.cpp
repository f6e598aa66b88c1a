#include "platform/SystemPlatform.h"

#include <QDir>
#include <QFontDatabase>

#ifdef INKVALE_HAVE_FONTCONFIG
#include <fontconfig/fontconfig.h>
#endif

namespace inkvale {

QString SystemPlatform::userFontFolder() const {
#ifdef Q_OS_WIN
    return QStringLiteral("c:\\windows\\fonts");
#else
    QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (dataHome.isEmpty()) {
        dataHome = QDir::homePath() + QStringLiteral("/.local/share");
    }
    const QString folder = dataHome + QStringLiteral("/fonts");
    QDir().mkpath(folder);
    return folder;
#endif
}

QStringList SystemPlatform::installedFontFaces() const {
#ifdef INKVALE_HAVE_FONTCONFIG
    // The system's own list, one entry per installed family, read afresh from a configuration
    // of our own: fonts the user has just installed count, and Qt's configuration is left alone.
    FcConfig* config = FcInitLoadConfigAndFonts();
    if (config == nullptr) {
        return {};
    }
    FcPattern* pattern = FcPatternCreate();
    FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, nullptr);
    FcFontSet* fonts = FcFontList(config, pattern, objects);
    QStringList faces;
    if (fonts != nullptr) {
        for (int i = 0; i < fonts->nfont; ++i) {
            FcChar8* family = nullptr;
            if (FcPatternGetString(fonts->fonts[i], FC_FAMILY, 0, &family) == FcResultMatch) {
                faces.append(QString::fromUtf8(reinterpret_cast<const char*>(family)));
            }
        }
        FcFontSetDestroy(fonts);
    }
    FcObjectSetDestroy(objects);
    FcPatternDestroy(pattern);
    FcConfigDestroy(config);
    return faces;
#else
    return QFontDatabase::families();
#endif
}

} // namespace inkvale

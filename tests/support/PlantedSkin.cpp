// A stranger's library with the skin library's entry point, as someone might plant it in the
// program's folder. It marks the environment as soon as it is loaded, before any call.

#include <QApplication>

namespace {

const bool g_loaded = qputenv("INKVALE_PLANTED_SKIN_LOADED", "1");

} // namespace

extern "C" Q_DECL_EXPORT int SkinH_AttachEx(const char* /*skinFile*/, const char* /*password*/) {
    qApp->setStyleSheet(QStringLiteral("QWidget { color: red; }"));
    return g_loaded ? 0 : 1;
}

// The skin library: a shared library the program loads at start and asks to apply a skin file.
//
// A skin file begins with the four bytes ".SHE" followed by a Qt style sheet in UTF-8.

#include <QApplication>
#include <QFile>

namespace {

constexpr qint64 kLargestSkin = 1 << 20;

enum AttachResult : int {
    Attached = 0,
    NoApplication = 1,
    Unreadable = 2,
    NotASkin = 3,
};

} // namespace

/// Applies the skin in `skinFile` (a path in the local 8-bit encoding) to the running
/// application. `password` is reserved for protected skins and may be empty. Returns 0 when
/// the skin was applied; any other value leaves the application's look as it was.
extern "C" Q_DECL_EXPORT int SkinH_AttachEx(const char* skinFile, const char* password) {
    Q_UNUSED(password);
    auto* application = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (application == nullptr || skinFile == nullptr) {
        return NoApplication;
    }
    QFile file(QString::fromLocal8Bit(skinFile));
    if (!file.open(QIODevice::ReadOnly) || file.size() > kLargestSkin) {
        return Unreadable;
    }
    const QByteArray bytes = file.readAll();
    if (!bytes.startsWith(".SHE")) {
        return NotASkin;
    }
    application->setStyleSheet(QString::fromUtf8(bytes.mid(4)));
    return Attached;
}

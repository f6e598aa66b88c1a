// Starts the way the program starts and exits as soon as the first window is on screen,
// printing the peak resident memory. With "bare" it shows an empty Qt window instead, as the
// baseline for the same measurement. With "deploy" it only writes the embedded files beside
// itself, as a start does, and exits.

#include "core/InterfaceFont.h"
#include "designer/DesignerControls.h"
#include "platform/SystemPlatform.h"
#include "startup/Deployment.h"
#include "startup/Form2.h"

#include <QApplication>
#include <QFile>
#include <QStyleFactory>
#include <QTimer>

#include <cstdio>
#include <cstring>

namespace {

/// The high-water mark of this process's resident memory. Not getrusage(): its peak carries
/// over from the parent across fork and exec.
long peakResidentKib() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:")) {
            return line.mid(6).trimmed().split(' ').value(0).toLong();
        }
    }
    return -1;
}

class ExitWhenExposed final : public QObject {
public:
    explicit ExitWhenExposed(QWidget* window)
        : m_window(window) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == m_window && event->type() == QEvent::Paint) {
            QTimer::singleShot(0, qApp, [] {
                std::printf("peak_rss_kib %ld\n", peakResidentKib());
                std::fflush(stdout);
                QCoreApplication::exit(0);
            });
        }
        return false;
    }

private:
    QWidget* m_window = nullptr;
};

} // namespace

int main(int argc, char* argv[]) {
    if (argc > 1 && std::strcmp(argv[1], "deploy") == 0) {
        // No window system and no event loop: the deployment alone, as the whole process.
        const QCoreApplication app(argc, argv);
        const inkvale::SystemPlatform platform;
        inkvale::DeployEmbeddedFiles(platform);
        std::printf("peak_rss_kib %ld\n", peakResidentKib());
        return 0;
    }
    QApplication app(argc, argv);
    const bool bare = app.arguments().contains(QStringLiteral("bare"));
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setFont(inkvale::interfaceFont());

    inkvale::SystemPlatform platform;
    QWidget* window = nullptr;
    if (bare) {
        window = new QWidget;
        window->resize(599, 394);
    } else {
        auto* splash = new inkvale::Form2(platform, [] {});
        window = splash;
    }
    ExitWhenExposed watcher(window);
    window->installEventFilter(&watcher);
    if (bare) {
        window->show();
    } else {
        static_cast<inkvale::Form2*>(window)->loadAndShow();
    }
    const int code = QApplication::exec();
    delete window;
    return code;
}

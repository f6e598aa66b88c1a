// inkvale-render: draws signatures from the command line as the designer draws them.

#include "cli/RenderCommand.h"
#include "platform/files/AtomicFile.h"
#include "platform/files/EmbeddedResource.h"
#include "platform/files/Terminal.h"

#include <QGuiApplication>

#include <cerrno>
#include <cstdio>

namespace {

inkvale::Outcome writeTo(std::FILE* stream, QByteArrayView bytes) {
    errno = 0;
    const auto size = static_cast<std::size_t>(bytes.size());
    if (std::fwrite(bytes.data(), 1, size, stream) != size || std::fflush(stream) != 0) {
        return inkvale::Outcome::ofSystemError(errno != 0 ? errno : EIO);
    }
    return {};
}

void writeTo(std::FILE* stream, const QString& text) {
    [[maybe_unused]] const inkvale::Outcome ignored =
        writeTo(stream, QByteArrayView(text.toUtf8()));
}

/// Qt's own diagnostics (a missing runtime folder, a font it could not open) are not the
/// program's messages: every failure that matters is reported in the program's words.
void dropQtMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtFatalMsg) {
        writeTo(stderr, QStringLiteral("inkvale-render: ") + message + QLatin1Char('\n'));
    }
}

} // namespace

int main(int argc, char* argv[]) {
    qInstallMessageHandler(dropQtMessages);
    inkvale::reportFileSizeLimitAsError();
    inkvale::reportBrokenPipeAsError();
    inkvale::keepFreedMemoryInProcess();
    // Stopped by Ctrl+C or a batch system's kill, a run leaves no half-written hidden file.
    inkvale::removeTemporaryFilesOnSignals();
    // Pictures are drawn offscreen and no window is ever shown, so no display is needed,
    // whatever platform the environment asks for (a desktop session exporting xcb or wayland,
    // reached over ssh without its display).
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Nor does a desktop's scaling or font resolution change the pictures: a signature's size
    // is set by the command line alone, the same in every environment.
    for (const char* variable :
         {"QT_QPA_PLATFORMTHEME", "QT_SCALE_FACTOR", "QT_SCREEN_SCALE_FACTORS", "QT_FONT_DPI",
          "QT_AUTO_SCREEN_SCALE_FACTOR", "QT_ENABLE_HIGHDPI_SCALING",
          "QT_SCALE_FACTOR_ROUNDING_POLICY", "QT_USE_PHYSICAL_DPI"}) {
        qunsetenv(variable);
    }
    // Qt would take some of our options for its own (--style, --session, --reverse), so it
    // sees only the program's name and the command line is read here, whole.
    QList<QByteArray> rawArguments;
    for (int i = 0; i < argc; ++i) {
        rawArguments.append(QByteArray(argv[i]));
    }
    const auto decoded = inkvale::decodeRenderArguments(rawArguments);
    if (const auto* problem = std::get_if<QString>(&decoded)) {
        writeTo(stderr, inkvale::badCommandLineText(*problem));
        inkvale::endCommandLineProcess(inkvale::kRenderBadCommandLine);
    }
    const QStringList& arguments = std::get<QStringList>(decoded);
    int qtArgc = 1;
    QGuiApplication app(qtArgc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("inkvale-render"));
    QGuiApplication::setApplicationVersion(QStringLiteral(INKVALE_VERSION));

    const inkvale::RenderConsole console{
        [](QByteArrayView bytes) { return writeTo(stdout, bytes); },
        [](const QString& text) { writeTo(stderr, text); },
        inkvale::standardErrorIsTerminal(),
        inkvale::standardOutputIsTerminal(),
    };
    const auto resources = [](int id) {
        return inkvale::embeddedResource(QStringLiteral("CUSTOM"), id);
    };
    inkvale::endCommandLineProcess(inkvale::runRenderCommand(arguments, resources, console));
}

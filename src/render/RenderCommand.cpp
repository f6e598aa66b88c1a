#include "render/RenderCommand.h"

#include "designer/BackgroundPicture.h"
#include "designer/StyleCatalogue.h"
#include "platform/AtomicFile.h"
#include "platform/Terminal.h"
#include "render/BatchNames.h"
#include "render/ContactSheet.h"
#include "render/EmbeddedFonts.h"
#include "render/OutputFormat.h"
#include "render/SignatureRenderer.h"
#include "render/StyleLookup.h"
#include "sizedialog/SizeEntry.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QRegularExpression>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <mutex>
#include <optional>
#include <thread>
#include <variant>
#include <vector>

namespace inkvale {

namespace {

const QString kProgram = QStringLiteral("inkvale-render");

constexpr int kSmallestCanvasSide = 2 * SignatureSurface::kDesignedBorderPixels + 1;
constexpr int kLargestCanvasSide = 10000;
constexpr double kLowestDpi = 24.0;
constexpr double kHighestDpi = 2400.0;
constexpr int kLargestPadding = 10000;

enum class Mode { Single, Batch, Sheet };

/// What the command line asks for, checked.
struct Request {
    Mode mode = Mode::Single;
    int slot = 0;
    QString name;
    QString output; ///< the file of -o or --sheet
    OutputFormat format = OutputFormat::Png;
    QString namesFile;
    QString outDir;
    bool force = false;
    std::optional<int> trim;
    QString backgroundFile;
    bool embeddedFonts = false;
    SignatureLook look;
};

/// A command line that cannot be carried out, and why.
struct BadCommandLine {
    QString message;
};

struct Help {};
struct Version {};

using Parsed = std::variant<Request, BadCommandLine, Help, Version>;

struct Options {
    QCommandLineOption style{QStringLiteral("style"),
                             QStringLiteral("The style: its number 0 to 14 (the catalogue slot, "
                                            "listed below), its caption or its face name."),
                             QStringLiteral("N")};
    QCommandLineOption name{QStringLiteral("name"), QStringLiteral("The name to draw."),
                            QStringLiteral("TEXT")};
    QCommandLineOption output{{QStringLiteral("o"), QStringLiteral("output")},
                              QStringLiteral("Write the signature to FILE; its extension sets "
                                             "the format: .bmp, .png, .svg or .pdf."),
                              QStringLiteral("FILE")};
    QCommandLineOption size{QStringLiteral("size"),
                            QStringLiteral("Text size in points, above 0 and at most 1000."),
                            QStringLiteral("POINTS"), QStringLiteral("42")};
    QCommandLineOption colour{QStringLiteral("color"),
                              QStringLiteral("Text colour (default: the designer's, black)."),
                              QStringLiteral("#RRGGBB")};
    QCommandLineOption background{
        QStringLiteral("background"),
        QStringLiteral("A picture laid under the text at its natural size, from the top left."),
        QStringLiteral("FILE")};
    QCommandLineOption canvas{
        QStringLiteral("canvas"),
        QStringLiteral("Canvas size in pixels, its 2-pixel border included; the picture is the "
                       "area inside the border."),
        QStringLiteral("WxH"), QStringLiteral("340x97")};
    QCommandLineOption transparent{
        QStringLiteral("transparent"),
        QStringLiteral("Leave the background colour out (.png, .svg, .pdf).")};
    QCommandLineOption dpi{QStringLiteral("dpi"),
                           QStringLiteral("Resolution of .bmp and .png output, 24 to 2400: the "
                                          "canvas is drawn DPI/96 times larger, not upscaled."),
                           QStringLiteral("DPI"), QStringLiteral("96")};
    QCommandLineOption trim{
        QStringLiteral("trim"),
        QStringLiteral("Crop the picture to the ink plus PADDING pixels, within the canvas."),
        QStringLiteral("PADDING")};
    QCommandLineOption namesFile{
        QStringLiteral("names-file"),
        QStringLiteral("Batch: UTF-8 text, one name a line (blank lines are skipped)."),
        QStringLiteral("FILE")};
    QCommandLineOption outDir{
        QStringLiteral("out-dir"),
        QStringLiteral("Batch: write one file per name into DIR, named after the name."),
        QStringLiteral("DIR")};
    QCommandLineOption format{
        QStringLiteral("format"),
        QStringLiteral("Batch: the format of the files: bmp, png, svg or pdf."),
        QStringLiteral("FORMAT"), QStringLiteral("png")};
    QCommandLineOption force{QStringLiteral("force"),
                             QStringLiteral("Batch: overwrite files that exist already.")};
    QCommandLineOption sheet{
        QStringLiteral("sheet"),
        QStringLiteral("Write a contact sheet of the name in all fifteen styles to FILE."),
        QStringLiteral("FILE")};
    QCommandLineOption embeddedFonts{
        QStringLiteral("fonts-from-executable"),
        QStringLiteral("Use the style fonts inside this program; nothing is installed.")};
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")},
                            QStringLiteral("Show this help.")};
    QCommandLineOption version{QStringLiteral("version"), QStringLiteral("Show the version.")};

    void addTo(QCommandLineParser& parser) const {
        parser.addOptions({style, name, output, size, colour, background, canvas, transparent, dpi,
                           trim, namesFile, outDir, format, force, sheet, embeddedFonts, help,
                           version});
    }
};

QString helpText(const QCommandLineParser& parser) {
    QString text = QStringLiteral("Usage:\n"
                                  "  %1 --style N --name TEXT -o FILE [options]\n"
                                  "  %1 --style N --names-file FILE --out-dir DIR [options]\n"
                                  "  %1 --name TEXT --sheet FILE [options]\n\n"
                                  "Draws artistic signatures as the Inkvale designer does.\n")
                       .arg(kProgram);
    // The option list of Qt's own help, without its usage line.
    const QString options = parser.helpText();
    text += options.mid(options.indexOf(QStringLiteral("\nOptions:")));
    text += QStringLiteral("\nStyles:\n");
    for (const StyleSlot& slot : styleCatalogue()) {
        if (slot.isStyle()) {
            text += QStringLiteral("  %1  %2  (face %3)\n")
                        .arg(slot.index, 2)
                        .arg(slot.caption.toString(), slot.faceName.toString());
        }
    }
    text += QStringLiteral(
        "\nExit status: 0 done; 1 a file could not be read or written, or a name could not be "
        "drawn (a batch skips such names and writes the others); 2 a bad command line.\n");
    return text;
}

std::optional<QSize> parseCanvas(const QString& text) {
    static const QRegularExpression pattern(QStringLiteral("^([0-9]{1,5})[xX]([0-9]{1,5})$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch()) {
        return std::nullopt;
    }
    const QSize size(match.captured(1).toInt(), match.captured(2).toInt());
    const auto inRange = [](int side) {
        return side >= kSmallestCanvasSide && side <= kLargestCanvasSide;
    };
    return inRange(size.width()) && inRange(size.height()) ? std::optional(size) : std::nullopt;
}

/// Pixels of the raster picture that `request` draws.
qint64 rasterPixels(const Request& request) {
    const QSize inner = request.look.canvas - QSize(2 * SignatureSurface::kDesignedBorderPixels,
                                                    2 * SignatureSurface::kDesignedBorderPixels);
    const QSize area = request.mode == Mode::Sheet ? ContactSheetLayout(inner).size() : inner;
    const qreal ratio = request.look.dotsPerInch / 96.0;
    return qint64(std::ceil(area.width() * ratio)) * qint64(std::ceil(area.height() * ratio));
}

Parsed parse(const QStringList& arguments) {
    QCommandLineParser parser;
    const Options o;
    o.addTo(parser);
    if (!parser.parse(arguments)) {
        return BadCommandLine{parser.errorText()};
    }
    if (parser.isSet(o.help)) {
        return Help{};
    }
    if (parser.isSet(o.version)) {
        return Version{};
    }
    // An empty value is never meant: it is an unset shell variable or a stray pair of quotes.
    for (const QCommandLineOption* option :
         {&o.style, &o.output, &o.size, &o.colour, &o.background, &o.canvas, &o.dpi, &o.trim,
          &o.namesFile, &o.outDir, &o.format, &o.sheet}) {
        if (parser.isSet(*option) && parser.values(*option).contains(QString())) {
            const QString name = option->names().constLast();
            return BadCommandLine{
                QStringLiteral("%1%2 is empty: give it a value")
                    .arg(name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--"), name)};
        }
    }
    if (!parser.positionalArguments().isEmpty()) {
        return BadCommandLine{
            QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first())};
    }

    Request request;
    const int modes = int(parser.isSet(o.output)) +
                      int(parser.isSet(o.outDir) || parser.isSet(o.namesFile)) +
                      int(parser.isSet(o.sheet));
    if (modes == 0) {
        return BadCommandLine{QStringLiteral(
            "say where to write: -o FILE, --names-file FILE with --out-dir DIR, or --sheet FILE")};
    }
    if (modes > 1) {
        return BadCommandLine{QStringLiteral("-o, --out-dir and --sheet exclude each other")};
    }
    if (parser.isSet(o.outDir) != parser.isSet(o.namesFile)) {
        return BadCommandLine{QStringLiteral("--names-file and --out-dir go together")};
    }
    request.mode = parser.isSet(o.output)  ? Mode::Single
                   : parser.isSet(o.sheet) ? Mode::Sheet
                                           : Mode::Batch;

    // The style.
    if (request.mode == Mode::Sheet) {
        if (parser.isSet(o.style)) {
            return BadCommandLine{
                QStringLiteral("--sheet draws all fifteen styles: leave out --style")};
        }
    } else {
        if (!parser.isSet(o.style)) {
            return BadCommandLine{QStringLiteral("choose a style with --style (see --help)")};
        }
        const std::optional<int> slot = styleNamed(parser.value(o.style));
        if (!slot) {
            return BadCommandLine{
                QStringLiteral("unknown style '%1': give 0 to 14, a caption or a face name (see "
                               "--help)")
                    .arg(parser.value(o.style))};
        }
        request.slot = *slot;
    }

    // The name or names.
    if (request.mode == Mode::Batch) {
        if (parser.isSet(o.name)) {
            return BadCommandLine{QStringLiteral("--name and --names-file exclude each other")};
        }
        request.namesFile = parser.value(o.namesFile);
        request.outDir = parser.value(o.outDir);
        request.force = parser.isSet(o.force);
    } else {
        if (!parser.isSet(o.name)) {
            return BadCommandLine{QStringLiteral("give the name to draw with --name")};
        }
        request.name = drawableName(parser.value(o.name));
        if (request.name.isEmpty()) {
            return BadCommandLine{QStringLiteral("the name is empty")};
        }
        const QString problem = nameProblem(request.name);
        if (!problem.isEmpty()) {
            return BadCommandLine{QStringLiteral("cannot draw the name %1: %2")
                                      .arg(quotedName(parser.value(o.name)), problem)};
        }
    }

    // The format.
    if (request.mode == Mode::Batch) {
        const std::optional<OutputFormat> format = formatNamed(parser.value(o.format));
        if (!format) {
            return BadCommandLine{QStringLiteral("unknown format '%1': use bmp, png, svg or pdf")
                                      .arg(parser.value(o.format))};
        }
        request.format = *format;
    } else {
        if (parser.isSet(o.format)) {
            return BadCommandLine{QStringLiteral(
                "--format is for batches; -o and --sheet take the format from the file's "
                "extension")};
        }
        request.output = parser.value(request.mode == Mode::Single ? o.output : o.sheet);
        const std::optional<OutputFormat> format = formatOfFileName(request.output);
        if (!format) {
            return BadCommandLine{
                QStringLiteral("cannot tell the format of '%1': end it in .bmp, .png, .svg or .pdf")
                    .arg(request.output)};
        }
        request.format = *format;
    }

    // The look.
    const QString sizeText = parser.value(o.size);
    bool isNumber = false;
    const double points = sizeText.toDouble(&isNumber);
    const std::optional<float> size = isNumber ? usableFontSize(points) : std::nullopt;
    if (!size) {
        return BadCommandLine{
            QStringLiteral("--size %1 is out of range: give points above 0 and at most %2")
                .arg(sizeText)
                .arg(double(kLargestFontSize))};
    }
    request.look.points = *size;

    if (parser.isSet(o.colour)) {
        static const QRegularExpression hex(QStringLiteral("^#[0-9A-Fa-f]{6}$"));
        if (!hex.match(parser.value(o.colour)).hasMatch()) {
            return BadCommandLine{QStringLiteral("--color %1 is not a colour written #RRGGBB")
                                      .arg(parser.value(o.colour))};
        }
        request.look.colour = QColor::fromString(parser.value(o.colour));
    }

    const std::optional<QSize> canvas = parseCanvas(parser.value(o.canvas));
    if (!canvas) {
        return BadCommandLine{
            QStringLiteral("--canvas %1 is not a size WxH of %2 to %3 pixels a side")
                .arg(parser.value(o.canvas))
                .arg(kSmallestCanvasSide)
                .arg(kLargestCanvasSide)};
    }
    request.look.canvas = *canvas;

    request.look.transparent = parser.isSet(o.transparent);
    if (request.look.transparent && !canBeTransparent(request.format)) {
        return BadCommandLine{QStringLiteral(
            "a bitmap cannot be transparent: write .png, .svg or .pdf with --transparent")};
    }

    if (parser.isSet(o.dpi)) {
        if (!isRaster(request.format)) {
            return BadCommandLine{QStringLiteral(
                "--dpi is for .bmp and .png; .svg and .pdf are outlines and print sharp at any "
                "size")};
        }
        const double dpi = parser.value(o.dpi).toDouble(&isNumber);
        if (!isNumber || !(dpi >= kLowestDpi && dpi <= kHighestDpi)) {
            return BadCommandLine{QStringLiteral("--dpi %1 is out of range: give %2 to %3")
                                      .arg(parser.value(o.dpi))
                                      .arg(kLowestDpi)
                                      .arg(kHighestDpi)};
        }
        request.look.dotsPerInch = dpi;
    }

    if (parser.isSet(o.trim)) {
        if (request.mode == Mode::Sheet) {
            return BadCommandLine{QStringLiteral("--trim is for single signatures and batches")};
        }
        const int padding = parser.value(o.trim).toInt(&isNumber);
        if (!isNumber || padding < 0 || padding > kLargestPadding) {
            return BadCommandLine{QStringLiteral("--trim %1 is out of range: give 0 to %2 pixels")
                                      .arg(parser.value(o.trim))
                                      .arg(kLargestPadding)};
        }
        request.trim = padding;
    }

    if (isRaster(request.format) && rasterPixels(request) > kLargestRenderPixels) {
        return BadCommandLine{
            QStringLiteral("the picture would have more than %1 million pixels: choose a smaller "
                           "canvas or resolution")
                .arg(kLargestRenderPixels / 1'000'000)};
    }

    request.backgroundFile = parser.value(o.background);
    request.embeddedFonts = parser.isSet(o.embeddedFonts);
    return request;
}

/// The background picture at `path`, or why it cannot be one. It is read and checked as the
/// designer checks a background: a picture cut short or with errors in its data is refused.
std::variant<QImage, QString> loadBackground(const QString& path) {
    if (QFileInfo(path).isDir()) {
        return QStringLiteral("it is a folder");
    }
    const ReadResult read = readWholeFile(path, kLargestPictureFile);
    if (!read.ok()) {
        switch (read.failure) {
        case WriteFailure::FolderMissing:
            return QStringLiteral("no such file");
        case WriteFailure::NoPermission:
            return QStringLiteral("permission denied: this user may not read it");
        case WriteFailure::FileTooLarge:
            return QStringLiteral("the file is larger than any picture within the pixel limit");
        default:
            return read.systemReason;
        }
    }
    DecodedPicture picture;
    {
        // The decoders' own complaints about a damaged file would stand beside ours.
        const StandardErrorSilenced quiet;
        picture = decodeIntactPicture(read.bytes);
    }
    switch (picture.problem) {
    case PictureProblem::None:
        return picture.image;
    case PictureProblem::NotAPicture:
        return QStringLiteral("it is not a picture in a format this program reads (%1)")
            .arg(QString::fromLatin1(QImageReader::supportedImageFormats().join(", ")));
    case PictureProblem::TooLarge:
        return QStringLiteral("it has more than %1 million pixels")
            .arg(kLargestBackgroundPixels / 1'000'000);
    case PictureProblem::Damaged:
        break;
    }
    return QStringLiteral("the picture is damaged: it is cut short or has errors in its data");
}

/// Output files are not waited onto the disk, as no drawing tool does: in a batch that would
/// cost more than drawing and encoding each file, and a single file would wait as long again
/// as it takes to draw. A reader still never sees a torn file, and a failed write never
/// replaces an earlier one.
constexpr WriteMode kOutputWriteMode = WriteMode::ReplaceQuickly;

/// What drawing one name gave: the write still to be done, or why there is nothing to write.
struct Drawn {
    std::function<QString()> write; ///< encodes and writes; empty on success, else why not
    QString problem;                ///< why the name cannot be drawn; empty when it can
};

/// Runs the writes of a batch on worker threads, while the drawing stays on the calling
/// thread, and hands their outcomes back by the batch's index, so that what is reported does
/// not depend on which thread finished first.
class WritePool final {
public:
    struct Outcome {
        bool written = false;
        bool dropped = false; ///< not tried: the pool was cancelled first
        QString problem;      ///< the name could not be drawn
        QString error;        ///< the write failed
    };

    explicit WritePool(qsizetype count, int threads)
        : m_outcomes(std::size_t(count))
        , m_settled(std::size_t(count), false)
        , m_queueLimit(std::size_t(4 * threads)) {
        for (int i = 0; i < threads; ++i) {
            m_threads.emplace_back([this] { work(); });
        }
    }

    ~WritePool() {
        {
            const std::lock_guard lock(m_mutex);
            m_closing = true;
        }
        m_changed.notify_all();
        for (std::thread& thread : m_threads) {
            thread.join();
        }
    }

    WritePool(const WritePool&) = delete;
    WritePool& operator=(const WritePool&) = delete;

    /// Queues the write of entry `index`; waits while the queue is full, so that the pictures
    /// waiting to be written stay few.
    void post(qsizetype index, std::function<QString()> write) {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_queue.size() < m_queueLimit; });
        m_queue.emplace_back(index, std::move(write));
        lock.unlock();
        m_changed.notify_all();
    }

    /// Settles entry `index` without a write: its name cannot be drawn.
    void skip(qsizetype index, const QString& problem) {
        const std::lock_guard lock(m_mutex);
        m_outcomes[std::size_t(index)].problem = problem;
        m_settled[std::size_t(index)] = true;
    }

    /// Drops the writes still queued; the ones under way finish.
    void cancel() {
        {
            const std::lock_guard lock(m_mutex);
            for (const auto& [index, write] : m_queue) {
                m_outcomes[std::size_t(index)].dropped = true;
                m_settled[std::size_t(index)] = true;
            }
            m_queue.clear();
        }
        m_changed.notify_all();
    }

    [[nodiscard]] bool isSettled(qsizetype index) {
        const std::lock_guard lock(m_mutex);
        return m_settled[std::size_t(index)];
    }

    /// The outcome of entry `index`, once it is settled.
    [[nodiscard]] Outcome await(qsizetype index) {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this, index] { return bool(m_settled[std::size_t(index)]); });
        return m_outcomes[std::size_t(index)];
    }

private:
    void work() {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_changed.wait(lock, [this] { return m_closing || !m_queue.empty(); });
            if (m_queue.empty()) {
                return;
            }
            auto [index, write] = std::move(m_queue.front());
            m_queue.pop_front();
            lock.unlock();
            m_changed.notify_all();
            const QString error = write();
            lock.lock();
            Outcome& outcome = m_outcomes[std::size_t(index)];
            outcome.written = error.isEmpty();
            outcome.error = error;
            m_settled[std::size_t(index)] = true;
            m_changed.notify_all();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::pair<qsizetype, std::function<QString()>>> m_queue;
    std::vector<Outcome> m_outcomes;
    std::vector<bool> m_settled;
    std::size_t m_queueLimit = 8;
    bool m_closing = false;
    std::vector<std::thread> m_threads;
};

/// Runs a checked request.
class Job final {
public:
    explicit Job(const Request& request, const RenderConsole& console)
        : m_request(request)
        , m_console(console) {}

    int run(const CustomResources& resources);

private:
    int fail(const QString& message) const;
    void warn(const QString& message) const;
    /// A line of its own on standard error, clear of the progress line.
    void say(const QString& line) const;
    /// Draws `name` for the file at `path`, leaving the writing to the caller.
    Drawn draw(SignatureRenderer& renderer, const QString& name, const QString& path,
               WriteMode mode);
    int single(SignatureRenderer& renderer);
    int batch(SignatureRenderer& renderer);
    int sheet(SignatureRenderer& renderer);
    void showProgress(qsizetype done, qsizetype total);

    Request m_request;
    const RenderConsole& m_console;
    QImage m_blank;         ///< the blank canvas trimming measures ink against, once drawn
    QString m_progressLine; ///< the progress line shown last, while it is on the terminal
};

int Job::fail(const QString& message) const {
    say(message);
    return kRenderFailed;
}

void Job::warn(const QString& message) const {
    say(QStringLiteral("warning: ") + message);
}

void Job::say(const QString& line) const {
    // On a terminal the progress line is cleared, the message written, the progress shown again.
    const QString clear = m_progressLine.isEmpty() ? QString() : QStringLiteral("\r\x1b[K");
    m_console.err(clear + kProgram + QStringLiteral(": ") + line + QLatin1Char('\n') +
                  m_progressLine);
}

int Job::run(const CustomResources& resources) {
    QList<int> styles{m_request.slot};
    if (m_request.mode == Mode::Sheet) {
        styles.clear();
        for (int slot = 0; slot < kStyleCount; ++slot) {
            styles.append(slot);
        }
    }
    if (m_request.embeddedFonts) {
        const QString error = useEmbeddedStyleFonts(resources, styles);
        if (!error.isEmpty()) {
            return fail(error);
        }
    }
    for (const QString& face : unavailableStyleFaces(styles)) {
        warn(QStringLiteral("the font \"%1\" is not installed, so a substitute font draws the "
                            "name (install the style fonts, or use --fonts-from-executable)")
                 .arg(face));
    }
    if (!m_request.backgroundFile.isEmpty()) {
        const auto background = loadBackground(m_request.backgroundFile);
        if (const auto* error = std::get_if<QString>(&background)) {
            return fail(QStringLiteral("cannot read the background picture %1: %2")
                            .arg(m_request.backgroundFile, *error));
        }
        m_request.look.background = std::get<QImage>(background);
    }

    SignatureRenderer renderer(m_request.look);
    switch (m_request.mode) {
    case Mode::Single:
        return single(renderer);
    case Mode::Batch:
        return batch(renderer);
    case Mode::Sheet:
        return sheet(renderer);
    }
    return kRenderFailed;
}

Drawn Job::draw(SignatureRenderer& renderer, const QString& name, const QString& path,
                WriteMode mode) {
    if (QFileInfo(path).isDir()) {
        return {{}, QStringLiteral("it is a folder")};
    }
    static const QString noInk = QStringLiteral("the name leaves no ink on the canvas to trim to");
    const OutputFormat format = m_request.format;
    if (isRaster(format)) {
        QImage image = renderer.image(m_request.slot, name);
        if (m_request.trim) {
            if (m_blank.isNull()) {
                m_blank = renderer.blankImage();
            }
            const QRect ink = inkRect(image, m_blank);
            if (ink.isEmpty()) {
                return {{}, noInk};
            }
            image = cropToInk(image, ink, *m_request.trim);
        }
        const PngContent content =
            m_request.look.background.isNull() ? PngContent::Drawing : PngContent::Picture;
        return {[image, format, content, path, mode] {
                    return writeRaster(image, path, format, content, mode);
                },
                {}};
    }
    VectorPicture picture = renderer.outlines(m_request.slot, name);
    if (m_request.trim) {
        if (picture.ink.isEmpty()) {
            return {{}, noInk};
        }
        picture = cropToInk(std::move(picture), *m_request.trim);
    }
    if (format == OutputFormat::Svg) {
        return {[bytes = svgDocument(picture, name), path, mode] {
                    return writeOutputFile(path, bytes, mode);
                },
                {}};
    }
    // The PDF writer paints, so it stays on this thread; its outcome is handed on.
    return {[error = writePdf(picture, path, name, mode)] { return error; }, {}};
}

int Job::single(SignatureRenderer& renderer) {
    const Drawn drawn = draw(renderer, m_request.name, m_request.output, kOutputWriteMode);
    const QString error = drawn.problem.isEmpty() ? drawn.write() : drawn.problem;
    return error.isEmpty()
               ? kRenderDone
               : fail(QStringLiteral("cannot write %1: %2").arg(m_request.output, error));
}

int Job::batch(SignatureRenderer& renderer) {
    const NameList list = readNamesFile(m_request.namesFile);
    if (!list.error.isEmpty()) {
        return fail(QStringLiteral("cannot read the names file %1: %2")
                        .arg(m_request.namesFile, list.error));
    }
    const qsizetype total = list.names.size();
    showProgress(0, total);

    // Names that cannot be drawn get no file, so that they take no number from the others.
    QStringList problems;
    QStringList drawable;
    for (const QString& name : list.names) {
        problems.append(nameProblem(name));
        if (problems.back().isEmpty()) {
            drawable.append(name);
        }
    }
    const QStringList drawableFiles = batchFileNames(drawable, extensionOf(m_request.format));
    QStringList files;
    for (qsizetype i = 0, next = 0; i < total; ++i) {
        files.append(problems.at(i).isEmpty() ? drawableFiles.at(next++) : QString());
    }

    const QFileInfo folderInfo(m_request.outDir);
    if (folderInfo.exists() && !folderInfo.isDir()) {
        return fail(QStringLiteral("the output folder %1 is not a folder").arg(m_request.outDir));
    }
    const QDir folder(m_request.outDir);
    if (!m_request.force && folderInfo.exists()) {
        QStringList existing;
        for (const QString& file : drawableFiles) {
            if (QFileInfo::exists(folder.filePath(file))) {
                existing.append(file);
            }
        }
        if (!existing.isEmpty()) {
            return fail(QStringLiteral("%1 exists already%2; nothing was written (--force "
                                       "overwrites)")
                            .arg(folder.filePath(existing.first()),
                                 existing.size() > 1
                                     ? QStringLiteral(", and %1 more of the batch's files")
                                           .arg(existing.size() - 1)
                                     : QString()));
        }
    }
    const bool created = !folderInfo.exists();
    if (created) {
        std::error_code error;
        std::filesystem::create_directory(
            std::filesystem::path(QFile::encodeName(m_request.outDir).toStdString()), error);
        if (error) {
            return fail(QStringLiteral("cannot create the output folder %1: %2")
                            .arg(m_request.outDir, QString::fromStdString(error.message())));
        }
    }

    qsizetype reported = 0;
    qsizetype written = 0;
    qsizetype skipped = 0;
    QString stopped; ///< why the batch stopped early
    {
        WritePool pool(total, std::max(1, QThread::idealThreadCount()));
        const auto report = [&](qsizetype index, const WritePool::Outcome& outcome) {
            if (outcome.written) {
                ++written;
            } else if (!outcome.problem.isEmpty()) {
                ++skipped;
                say(QStringLiteral("skipped the name %1 on line %2: %3")
                        .arg(quotedName(list.names.at(index)))
                        .arg(list.lines.at(index))
                        .arg(outcome.problem));
            } else if (!outcome.dropped && stopped.isEmpty()) {
                stopped = QStringLiteral("cannot write %1: %2")
                              .arg(folder.filePath(files.at(index)), outcome.error);
                pool.cancel();
            }
            showProgress(index + 1, total);
        };
        qsizetype posted = 0;
        for (; posted < total && stopped.isEmpty(); ++posted) {
            if (!problems.at(posted).isEmpty()) {
                pool.skip(posted, problems.at(posted));
            } else {
                const QString path = folder.filePath(files.at(posted));
                Drawn drawn = draw(renderer, list.names.at(posted), path, kOutputWriteMode);
                if (drawn.problem.isEmpty()) {
                    pool.post(posted, std::move(drawn.write));
                } else {
                    pool.skip(posted, drawn.problem);
                }
            }
            while (reported <= posted && pool.isSettled(reported)) {
                report(reported, pool.await(reported));
                ++reported;
            }
        }
        for (; reported < posted; ++reported) {
            report(reported, pool.await(reported));
        }
    }
    if (!m_progressLine.isEmpty()) {
        m_console.err(QStringLiteral("\n"));
        m_progressLine.clear();
    }
    if (created && written == 0) {
        QDir().rmdir(m_request.outDir);
    }
    if (!stopped.isEmpty()) {
        return fail(QStringLiteral("%1; the batch stopped, %2 of %3 names were written")
                        .arg(stopped)
                        .arg(written)
                        .arg(total));
    }
    if (skipped > 0) {
        return fail(QStringLiteral("%1 of %2 names were skipped; the other %3 were written")
                        .arg(skipped)
                        .arg(total)
                        .arg(written));
    }
    return kRenderDone;
}

int Job::sheet(SignatureRenderer& renderer) {
    const QString& path = m_request.output;
    QString error;
    if (QFileInfo(path).isDir()) {
        error = QStringLiteral("it is a folder");
    } else if (isRaster(m_request.format)) {
        error = writeRaster(renderContactSheet(renderer, m_request.name), path, m_request.format,
                            m_request.look.background.isNull() ? PngContent::Drawing
                                                               : PngContent::Picture,
                            kOutputWriteMode);
    } else {
        const VectorPicture picture = outlineContactSheet(renderer, m_request.name);
        error = m_request.format == OutputFormat::Svg
                    ? writeOutputFile(path, svgDocument(picture, m_request.name), kOutputWriteMode)
                    : writePdf(picture, path, m_request.name, kOutputWriteMode);
    }
    return error.isEmpty() ? kRenderDone
                           : fail(QStringLiteral("cannot write %1: %2").arg(path, error));
}

void Job::showProgress(qsizetype done, qsizetype total) {
    if (!m_console.progress) {
        return;
    }
    // A terminal line rewritten in place, at most once per percent.
    const qsizetype percent = total == 0 ? 100 : done * 100 / total;
    if (done != 0 && done != total && percent == (done - 1) * 100 / total) {
        return;
    }
    m_progressLine =
        QStringLiteral("%1: %2 of %3 names (%4%)").arg(kProgram).arg(done).arg(total).arg(percent);
    m_console.err(QLatin1Char('\r') + m_progressLine);
}

} // namespace

int runRenderCommand(const QStringList& arguments, const CustomResources& resources,
                     const RenderConsole& console) {
    const Parsed parsed = parse(arguments);
    if (const auto* bad = std::get_if<BadCommandLine>(&parsed)) {
        console.err(
            QStringLiteral("%1: %2\nTry '%1 --help' for more.\n").arg(kProgram, bad->message));
        return kRenderBadCommandLine;
    }
    if (std::holds_alternative<Help>(parsed)) {
        QCommandLineParser parser;
        Options().addTo(parser);
        console.out(helpText(parser));
        return kRenderDone;
    }
    if (std::holds_alternative<Version>(parsed)) {
        console.out(
            QStringLiteral("%1 %2\n").arg(kProgram, QCoreApplication::applicationVersion()));
        return kRenderDone;
    }
    Job job(std::get<Request>(parsed), console);
    return job.run(resources);
}

} // namespace inkvale

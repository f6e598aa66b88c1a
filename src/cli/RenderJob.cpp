#include "cli/RenderJob.h"

#include "cli/RenderBatch.h"
#include "cli/Reporter.h"
#include "cli/StrokesJob.h"
#include "core/AnimatedExport.h"
#include "core/ContactSheet.h"
#include "core/GifAnimation.h"
#include "core/MemoryHeadroom.h"
#include "core/OutputFormat.h"
#include "core/PictureDecoding.h"
#include "core/PracticeSheet.h"
#include "core/StyleCatalogue.h"
#include "core/SvgAnimation.h"
#include "core/VectorPicture.h"
#include "core/WebpAnimation.h"
#include "platform/files/Terminal.h"

#include <QFile>
#include <QFileInfo>
#include <QPageSize>

#include <algorithm>
#include <cmath>
#include <new>

namespace inkvale {

namespace {

/// The background picture at `path`, or why it cannot be one. It is read and checked as the
/// designer checks a background: a picture cut short or with errors in its data is refused.
/// All of standard input, or why not: more than `maxBytes` is refused as too large, after
/// reading no more than one byte past it.
Result<QByteArray> readStandardInput(qint64 maxBytes) {
    QFile input;
    if (!input.open(stdin, QIODevice::ReadOnly)) {
        return {{}, Outcome::failed(Cause::Other, input.errorString(), Access::Read)};
    }
    QByteArray bytes;
    while (bytes.size() <= maxBytes) {
        const QByteArray piece = input.read(std::min<qint64>(1 << 20, maxBytes + 1 - bytes.size()));
        if (piece.isEmpty()) {
            break;
        }
        bytes += piece;
    }
    if (input.error() != QFileDevice::NoError) {
        return {{}, Outcome::failed(Cause::Other, input.errorString(), Access::Read)};
    }
    if (bytes.size() > maxBytes) {
        return {{}, Outcome::failed(Cause::FileTooLarge, {}, Access::Read)};
    }
    return {bytes, {}};
}

Result<QImage> loadBackground(const QString& path) {
    const bool fromInput = path == kStandardStream;
    if (!fromInput && QFileInfo(path).isDir()) {
        return {{}, Outcome::failed(Cause::IsFolder, {}, Access::Read)};
    }
    const Result<QByteArray> read = fromInput ? readStandardInput(kLargestPictureFile)
                                              : readWholeFile(path, kLargestPictureFile);
    if (!read.ok()) {
        return {{}, read.outcome};
    }
    // The decoders' own complaints about a damaged file would stand beside ours.
    const StandardErrorSilenced quiet;
    const DecodedPicture picture = decodeIntactPicture(read.value);
    return {picture.image, picture.outcome};
}

/// Room kept free before fontconfig is entered: more than a face's set-up ever takes.
constexpr qsizetype kFontLibraryHeadroom = 4 * 1024 * 1024;

const QString& notEnoughMemory() {
    static const QString text = englishText(Outcome::failed(Cause::NoMemory));
    return text;
}

/// "not enough memory to open the font ...", when a face of the chain that `origins` looked in
/// could not be opened: a picture without it would draw its characters in a substitute.
QString unopenedProblem(const GlyphOrigins& origins) {
    if (origins.unopened.isEmpty()) {
        return {};
    }
    return QStringLiteral("%1 to open the font \"%2\"")
        .arg(notEnoughMemory(), origins.unopened.join(QStringLiteral("\", \"")));
}

/// `write`, with memory that runs out while it encodes or writes reported as such.
template <typename Write>
std::function<Outcome()> guarded(Write write) {
    return [write = std::move(write)]() -> Outcome {
        try {
            return write();
        } catch (const std::bad_alloc&) {
            return Outcome::failed(Cause::NoMemory);
        }
    };
}

/// `path` as messages name it: "-" is standard output.
QString shownPath(const QString& path) {
    return path == kStandardStream ? QStringLiteral("to standard output") : path;
}

/// "cannot write PATH: why", or nothing when `outcome` is a success.
int reportWrite(const Outcome& outcome, const QString& path, const Reporter& reporter) {
    return outcome.ok()
               ? kRenderDone
               : reporter.fail(
                     QStringLiteral("cannot write %1: %2").arg(path, englishText(outcome)));
}

/// Writes the finished `bytes` to `path`, or to standard output for "-".
Outcome writeBytes(const QString& path, const QByteArray& bytes, const Reporter& reporter) {
    return path == kStandardStream ? reporter.writeToStandardOutput(bytes)
                                   : writeOutputFile(path, bytes, kOutputWriteMode);
}

/// "cannot write PATH: why" for a failed write; for a finished one, the file named on standard
/// output when the user asked for it, and a failure when that could not be written.
int reportWritten(const Outcome& outcome, const WrittenFile& file, const Reporter& reporter) {
    if (outcome.ok() && file.path != kStandardStream) {
        const Outcome listed = reporter.wrote(file);
        if (!listed.ok()) {
            return reporter.fail(
                QStringLiteral("cannot write to standard output: %1").arg(englishText(listed)));
        }
    }
    return reportWrite(outcome, shownPath(file.path), reporter);
}

/// What --json tells of the file of `request`, but its size and faces.
WrittenFile writtenFile(const RenderRequest& request) {
    WrittenFile file;
    file.path = request.output;
    file.name = request.name;
    if (request.mode != RenderMode::Sheet) {
        file.slot = request.slot;
    }
    file.format = extensionOf(request);
    file.dotsPerInch = request.look.dotsPerInch;
    return file;
}

/// The single signature of -o.
int single(const RenderRequest& request, SignatureDrawer& drawer, Reporter& reporter) {
    WrittenFile file = writtenFile(request);
    const GlyphOrigins origins = drawer.origins(request.name);
    file.notes = glyphNotes(request.slot, origins);
    file.faces = facesUsed(request.slot, origins);
    for (const QString& note : file.notes) {
        reporter.note(note);
    }
    const DrawnSignature drawn = drawer.draw(request.name, request.output);
    if (!drawn.problem.isEmpty()) {
        return reporter.fail(
            QStringLiteral("cannot write %1: %2").arg(shownPath(request.output), drawn.problem));
    }
    file.pixels = drawn.pixels;
    const Outcome written = drawn.write();
    // The frames' count is gone before anything else is said: the terminal is as it was.
    reporter.clearFrames();
    return reportWritten(written, file, reporter);
}

int sheetUnguarded(const RenderRequest& request, SignatureRenderer& renderer,
                   const Reporter& reporter, WrittenFile& file);

/// The contact sheet of --sheet.
int sheet(const RenderRequest& request, SignatureRenderer& renderer, const Reporter& reporter) {
    WrittenFile file = writtenFile(request);
    for (int slot = 0; slot < kStyleCount; ++slot) {
        const GlyphOriginFinder finder(styleSlot(slot).faceName.toString());
        const GlyphOrigins origins = finder.of(request.name);
        for (const QString& note : glyphNotes(slot, origins)) {
            reporter.note(note);
            file.notes.append(note);
        }
        for (const QString& face : facesUsed(slot, origins)) {
            if (!file.faces.contains(face)) {
                file.faces.append(face);
            }
        }
        if (const QString problem = unopenedProblem(origins); !problem.isEmpty()) {
            return reportWrite(Outcome::failed(Cause::Other, problem), shownPath(request.output),
                               reporter);
        }
    }
    const QString& path = request.output;
    if (path != kStandardStream && QFileInfo(path).isDir()) {
        return reportWrite(Outcome::failed(Cause::IsFolder), path, reporter);
    }
    try {
        return sheetUnguarded(request, renderer, reporter, file);
    } catch (const std::bad_alloc&) {
        return reportWrite(Outcome::failed(Cause::NoMemory), shownPath(path), reporter);
    }
}

/// The contact sheet of --sheet, once its notes are told.
int sheetUnguarded(const RenderRequest& request, SignatureRenderer& renderer,
                   const Reporter& reporter, WrittenFile& file) {
    const QString& path = request.output;
    QByteArray bytes;
    if (isRaster(request.format)) {
        // A null sheet is one there was no memory for.
        const QImage sheet = renderContactSheet(renderer, request.name);
        if (sheet.isNull()) {
            return reportWrite(Outcome::failed(Cause::NoMemory), shownPath(path), reporter);
        }
        file.pixels = sheet.size();
        bytes = encodeRaster(sheet, request.format,
                             request.look.background.isNull() ? PngContent::Drawing
                                                              : PngContent::Picture,
                             request.jpegQuality);
        if (bytes.isEmpty()) {
            return reportWrite(Outcome::failed(Cause::NotEncoded), shownPath(path), reporter);
        }
    } else {
        VectorPicture picture = outlineContactSheet(renderer, request.name);
        picture.printedWidth = request.printedWidth;
        file.pixels = picture.viewport.size();
        bytes = request.format == OutputFormat::Svg
                    ? svgDocument(picture, documentTitle(request.name))
                    : pdfDocument(picture, documentTitle(request.name));
        if (bytes.isEmpty()) {
            return reportWrite(
                Outcome::failed(Cause::Other, QStringLiteral("the PDF could not be made")),
                shownPath(path), reporter);
        }
    }
    return reportWritten(writeBytes(path, bytes, reporter), file, reporter);
}

/// The practice sheet of --practice-sheet.
int practice(const RenderRequest& request, SignatureDrawer& drawer, const Reporter& reporter) {
    const QString& path = request.output;
    if (path != kStandardStream && QFileInfo(path).isDir()) {
        return reportWrite(Outcome::failed(Cause::IsFolder), path, reporter);
    }
    const GlyphOrigins origins = drawer.origins(request.name);
    if (const QString problem = unopenedProblem(origins); !problem.isEmpty()) {
        return reportWrite(Outcome::failed(Cause::Other, problem), shownPath(path), reporter);
    }
    const QByteArray sheet =
        practiceSheetPdf(request.look, request.slot, request.name, request.practice);
    if (sheet.isEmpty()) {
        return reportWrite(
            Outcome::failed(Cause::Other, QStringLiteral("the PDF could not be made")),
            shownPath(path), reporter);
    }
    WrittenFile file = writtenFile(request);
    file.notes = glyphNotes(request.slot, origins);
    file.faces = facesUsed(request.slot, origins);
    file.pixels = QPageSize(QPageSize::A4).size(QPageSize::Inch) * 96.0;
    return reportWritten(writeBytes(path, sheet, reporter), file, reporter);
}

int runUnguarded(RenderRequest request, const CustomResources& resources, Reporter& reporter);

} // namespace

namespace {

/// "王 喆": the characters apart, so that each can be read.
QString apart(const QString& characters) {
    QStringList each;
    for (const char32_t c : characters.toUcs4()) {
        each.append(QString::fromUcs4(&c, 1));
    }
    return each.join(QLatin1Char(' '));
}

} // namespace

QStringList glyphNotes(int slot, const GlyphOrigins& origins) {
    const QString style =
        QStringLiteral("style %1 (%2)").arg(slot).arg(styleSlot(slot).caption.toString());
    QStringList notes;
    for (auto donor = origins.fromDonor.begin(); donor != origins.fromDonor.end(); ++donor) {
        notes.append(QStringLiteral("%1 draws %2 with glyphs borrowed from %3")
                         .arg(style, apart(donor.value()), donor.key()));
    }
    for (auto face = origins.fromChain.begin(); face != origins.fromChain.end(); ++face) {
        notes.append(
            QStringLiteral("%1 lacks %2, drawn in %3").arg(style, apart(face.value()), face.key()));
    }
    if (!origins.undrawn.isEmpty()) {
        notes.append(QStringLiteral("no font of %1 draws %2").arg(style, apart(origins.undrawn)));
    }
    return notes;
}

QStringList facesUsed(int slot, const GlyphOrigins& origins) {
    QStringList faces{styleSlot(slot).faceName.toString()};
    for (const QString& face : origins.fromChain.keys() + origins.fromDonor.keys()) {
        if (!faces.contains(face)) {
            faces.append(face);
        }
    }
    return faces;
}

QSizeF untrimmedPixels(const SignatureLook& look, bool raster) {
    const QSizeF inner = look.canvas - QSize(2 * SignatureSurface::kDesignedBorderPixels,
                                             2 * SignatureSurface::kDesignedBorderPixels);
    if (!raster) {
        return inner;
    }
    const qreal ratio = look.dotsPerInch / 96.0;
    return {std::ceil(inner.width() * ratio), std::ceil(inner.height() * ratio)};
}

GlyphOrigins SignatureDrawer::origins(const QString& name) {
    if (!m_origins) {
        m_origins =
            std::make_unique<GlyphOriginFinder>(styleSlot(m_request.slot).faceName.toString());
    }
    return m_origins->of(name);
}

QStringList SignatureDrawer::notes(const QString& name) {
    return glyphNotes(m_request.slot, origins(name));
}

DrawnSignature SignatureDrawer::draw(const QString& name, const QString& path) {
    if (path != kStandardStream && QFileInfo(path).isDir()) {
        return {{}, QStringLiteral("it is a folder"), {}};
    }
    if (const QString problem = unopenedProblem(origins(name)); !problem.isEmpty()) {
        return {{}, problem, {}};
    }
    try {
        return drawUnguarded(name, path);
    } catch (const std::bad_alloc&) {
        return {{}, notEnoughMemory(), {}};
    }
}

std::function<Outcome()> SignatureDrawer::writer(std::function<QByteArray()> bytes,
                                                 const QString& path) const {
    return guarded([bytes = std::move(bytes), path, mode = m_writeMode,
                    standardOutput = m_standardOutput] {
        const QByteArray finished = bytes();
        if (finished.isEmpty()) {
            return Outcome::failed(Cause::NotEncoded);
        }
        return path == kStandardStream && standardOutput ? standardOutput(finished)
                                                         : writeOutputFile(path, finished, mode);
    });
}

DrawnSignature SignatureDrawer::drawAnimation(const QString& name, const QString& path) {
    if (m_request.animation == AnimationFormat::Svg) {
        Result<QByteArray> document = animatedSignature(m_renderer, m_request.slot, name,
                                                        AnimationFormat::Svg, m_request.pace);
        if (document.outcome.cause == Cause::NoMemory) {
            return {{}, notEnoughMemory(), {}};
        }
        return {writer([document = std::move(document.value)] { return document; }, path),
                {},
                untrimmedPixels(m_renderer.look(), false)};
    }
    auto animation = std::make_shared<const SignatureAnimation>(m_renderer, m_request.slot, name,
                                                                m_request.pace);
    if (animation->isNull()) {
        return {{}, notEnoughMemory(), {}};
    }
    const bool gif = m_request.animation == AnimationFormat::Gif;
    return {writer(
                [animation, gif, loop = m_request.loop, progress = m_frameProgress] {
                    return gif ? encodeGifAnimation(*animation, loop, progress)
                               : encodeWebpAnimation(*animation, loop, progress);
                },
                path),
            {},
            untrimmedPixels(m_renderer.look(), true)};
}

DrawnSignature SignatureDrawer::drawUnguarded(const QString& name, const QString& path) {
    if (m_request.animate) {
        return drawAnimation(name, path);
    }
    ExportDrawing drawing = m_export.draw({m_request.slot, name, m_request.format, m_request.trim,
                                           m_request.jpegQuality, m_request.printedWidth});
    if (drawing.noInk || drawing.noMemory) {
        return {{}, englishText(drawing.problem()), {}};
    }
    const QSizeF pixels = drawing.pixels;
    // Raster pictures are encoded where they are written, on the writers' threads.
    return {guarded([drawing = std::move(drawing), path, mode = m_writeMode,
                     standardOutput = m_standardOutput] {
                const QByteArray bytes = drawing.bytes();
                if (bytes.isEmpty()) {
                    return drawing.notMade ? drawing.problem() : Outcome::failed(Cause::NotEncoded);
                }
                return path == kStandardStream && standardOutput
                           ? standardOutput(bytes)
                           : writeOutputFile(path, bytes, mode);
            }),
            {},
            pixels};
}

int runRenderJob(RenderRequest request, const CustomResources& resources, Reporter& reporter) {
    // Font libraries that crash when an allocation fails are entered only with room to spare.
    setMemoryHeadroom(kFontLibraryHeadroom);
    try {
        if (!request.strokesFile.isEmpty()) {
            return runStrokesJob(request, reporter);
        }
        return runUnguarded(std::move(request), resources, reporter);
    } catch (const std::bad_alloc&) {
        // Whatever ran out (a document's buffer, a names file's list), nothing was written.
        return reporter.fail(notEnoughMemory());
    }
}

namespace {

int runUnguarded(RenderRequest request, const CustomResources& resources, Reporter& reporter) {
    if (request.output == kStandardStream && reporter.standardOutputIsTerminal()) {
        return reporter.fail(QStringLiteral("standard output is a terminal, not a place for a "
                                            "picture: redirect it to a file or a pipe"));
    }
    QList<int> styles{request.slot};
    if (request.mode == RenderMode::Sheet) {
        styles.clear();
        for (int slot = 0; slot < kStyleCount; ++slot) {
            styles.append(slot);
        }
    }
    if (request.look.seal != SealText::None && !styles.contains(sealSlot())) {
        styles.append(sealSlot()); // the seal's characters are in seal script
    }
    if (request.embeddedFonts) {
        const Outcome fonts = useEmbeddedStyleFonts(resources, styles);
        if (!fonts.ok()) {
            return reporter.fail(englishText(fonts));
        }
    }
    for (const QString& face : unavailableStyleFaces(styles)) {
        reporter.warn(QStringLiteral("the font \"%1\" is not installed, so a substitute font "
                                     "draws the name (install the style fonts, or use "
                                     "--fonts-from-executable)")
                          .arg(face));
    }
    if (!request.backgroundFile.isEmpty()) {
        const Result<QImage> background = loadBackground(request.backgroundFile);
        if (!background.ok()) {
            return reporter.fail(QStringLiteral("cannot read the background picture %1: %2")
                                     .arg(request.backgroundFile == kStandardStream
                                              ? QStringLiteral("from standard input")
                                              : request.backgroundFile,
                                          englishText(background.outcome)));
        }
        request.look.background = background.value;
    }

    SignatureRenderer renderer(request.look);
    SignatureDrawer drawer(request, renderer, [&reporter](QByteArrayView bytes) {
        return reporter.writeToStandardOutput(bytes);
    });
    switch (request.mode) {
    case RenderMode::Single:
        // A long animation takes minutes to encode: its frames are counted on the terminal.
        drawer.setFrameProgress(
            [&reporter](int done, int total) { reporter.showFrames(done, total); });
        return single(request, drawer, reporter);
    case RenderMode::Batch:
        return runBatch(request, drawer, reporter);
    case RenderMode::Sheet:
        return sheet(request, renderer, reporter);
    case RenderMode::Practice:
        return practice(request, drawer, reporter);
    }
    return kRenderFailed;
}

} // namespace

} // namespace inkvale

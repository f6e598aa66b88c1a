#include "cli/RenderJob.h"

#include "cli/RenderBatch.h"
#include "cli/Reporter.h"
#include "core/ContactSheet.h"
#include "core/OutputFormat.h"
#include "core/PictureDecoding.h"
#include "core/StyleCatalogue.h"
#include "core/VectorPicture.h"
#include "platform/files/Terminal.h"

#include <QFileInfo>

#include <new>

namespace inkvale {

namespace {

/// The background picture at `path`, or why it cannot be one. It is read and checked as the
/// designer checks a background: a picture cut short or with errors in its data is refused.
Result<QImage> loadBackground(const QString& path) {
    if (QFileInfo(path).isDir()) {
        return {{}, Outcome::failed(Cause::IsFolder, {}, Access::Read)};
    }
    const Result<QByteArray> read = readWholeFile(path, kLargestPictureFile);
    if (!read.ok()) {
        return {{}, read.outcome};
    }
    // The decoders' own complaints about a damaged file would stand beside ours.
    const StandardErrorSilenced quiet;
    const DecodedPicture picture = decodeIntactPicture(read.value);
    return {picture.image, picture.outcome};
}

const QString& notEnoughMemory() {
    static const QString text = englishText(Outcome::failed(Cause::NoMemory));
    return text;
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

/// The title a vector document carries for `name`: the name, its first thousand characters
/// when it is longer, so that a file's size follows what it shows.
QString documentTitle(const QString& name) {
    constexpr qsizetype kLongestTitle = 1000;
    if (name.size() <= kLongestTitle) {
        return name;
    }
    const qsizetype cut =
        name.at(kLongestTitle - 1).isHighSurrogate() ? kLongestTitle - 1 : kLongestTitle;
    return name.left(cut) + QChar(0x2026);
}

/// "cannot write PATH: why", or nothing when `outcome` is a success.
int reportWrite(const Outcome& outcome, const QString& path, const Reporter& reporter) {
    return outcome.ok()
               ? kRenderDone
               : reporter.fail(
                     QStringLiteral("cannot write %1: %2").arg(path, englishText(outcome)));
}

/// The single signature of -o.
int single(const RenderRequest& request, SignatureDrawer& drawer, const Reporter& reporter) {
    const DrawnSignature drawn = drawer.draw(request.name, request.output);
    if (!drawn.problem.isEmpty()) {
        return reporter.fail(
            QStringLiteral("cannot write %1: %2").arg(request.output, drawn.problem));
    }
    return reportWrite(drawn.write(), request.output, reporter);
}

/// The contact sheet of --sheet.
int sheet(const RenderRequest& request, SignatureRenderer& renderer, const Reporter& reporter) {
    const QString& path = request.output;
    Outcome outcome;
    if (QFileInfo(path).isDir()) {
        outcome = Outcome::failed(Cause::IsFolder);
    } else if (isRaster(request.format)) {
        // A null sheet (no memory for it) is reported as such by the writer.
        outcome = writeRaster(renderContactSheet(renderer, request.name), path, request.format,
                              request.look.background.isNull() ? PngContent::Drawing
                                                               : PngContent::Picture,
                              kOutputWriteMode);
    } else {
        const VectorPicture picture = outlineContactSheet(renderer, request.name);
        outcome = request.format == OutputFormat::Svg
                      ? writeOutputFile(path, svgDocument(picture, documentTitle(request.name)),
                                        kOutputWriteMode)
                      : writePdf(picture, path, documentTitle(request.name), kOutputWriteMode);
    }
    return reportWrite(outcome, path, reporter);
}

int runUnguarded(RenderRequest request, const CustomResources& resources, Reporter& reporter);

} // namespace

DrawnSignature SignatureDrawer::draw(const QString& name, const QString& path) {
    if (QFileInfo(path).isDir()) {
        return {{}, QStringLiteral("it is a folder")};
    }
    try {
        return drawUnguarded(name, path);
    } catch (const std::bad_alloc&) {
        return {{}, notEnoughMemory()};
    }
}

DrawnSignature SignatureDrawer::drawUnguarded(const QString& name, const QString& path) {
    static const QString noInk = QStringLiteral("the name leaves no ink on the canvas to trim to");
    const OutputFormat format = m_request.format;
    if (isRaster(format)) {
        QImage image = m_renderer.image(m_request.slot, name);
        if (image.isNull()) {
            return {{}, notEnoughMemory()};
        }
        if (m_request.trim) {
            if (m_blank.isNull()) {
                m_blank = m_renderer.blankImage();
            }
            if (m_blank.isNull()) {
                return {{}, notEnoughMemory()};
            }
            const QRect ink = inkRect(image, m_blank);
            if (ink.isEmpty()) {
                return {{}, noInk};
            }
            image = cropToInk(image, ink, *m_request.trim);
            if (image.isNull()) {
                return {{}, notEnoughMemory()};
            }
        }
        const PngContent content =
            m_request.look.background.isNull() ? PngContent::Drawing : PngContent::Picture;
        return {guarded([image, format, content, path, mode = m_writeMode] {
                    return writeRaster(image, path, format, content, mode);
                }),
                {}};
    }
    VectorPicture picture = m_renderer.outlines(m_request.slot, name);
    if (m_request.trim) {
        if (picture.ink.isEmpty()) {
            return {{}, noInk};
        }
        picture = cropToInk(std::move(picture), *m_request.trim);
    }
    // Both documents are made here, the PDF because its writer paints; only the write waits.
    if (format == OutputFormat::Svg) {
        return {guarded([bytes = svgDocument(picture, documentTitle(name)), path,
                         mode = m_writeMode] { return writeOutputFile(path, bytes, mode); }),
                {}};
    }
    const QByteArray document = pdfDocument(picture, documentTitle(name));
    if (document.isEmpty()) {
        return {[] {
                    return Outcome::failed(Cause::Other,
                                           QStringLiteral("the PDF could not be made"));
                },
                {}};
    }
    return {guarded([document, path, mode = m_writeMode] {
                return writeOutputFile(path, document, mode);
            }),
            {}};
}

int runRenderJob(RenderRequest request, const CustomResources& resources, Reporter& reporter) {
    try {
        return runUnguarded(std::move(request), resources, reporter);
    } catch (const std::bad_alloc&) {
        // Whatever ran out (a document's buffer, a names file's list), nothing was written.
        return reporter.fail(notEnoughMemory());
    }
}

namespace {

int runUnguarded(RenderRequest request, const CustomResources& resources, Reporter& reporter) {
    QList<int> styles{request.slot};
    if (request.mode == RenderMode::Sheet) {
        styles.clear();
        for (int slot = 0; slot < kStyleCount; ++slot) {
            styles.append(slot);
        }
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
                                     .arg(request.backgroundFile, englishText(background.outcome)));
        }
        request.look.background = background.value;
    }

    SignatureRenderer renderer(request.look);
    SignatureDrawer drawer(request, renderer);
    switch (request.mode) {
    case RenderMode::Single:
        return single(request, drawer, reporter);
    case RenderMode::Batch:
        return runBatch(request, drawer, reporter);
    case RenderMode::Sheet:
        return sheet(request, renderer, reporter);
    }
    return kRenderFailed;
}

} // namespace

} // namespace inkvale

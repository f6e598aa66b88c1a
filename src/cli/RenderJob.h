#pragma once

#include "cli/RenderOptions.h"
#include "core/EmbeddedFonts.h"
#include "core/FaceChain.h"
#include "core/SignatureAnimation.h"
#include "core/SignatureExport.h"
#include "platform/files/AtomicFile.h"

#include <QImage>
#include <QString>

#include <functional>
#include <memory>

namespace inkvale {

class Reporter;

/// Output files are not waited onto the disk, as no drawing tool does: in a batch that would
/// cost more than drawing and encoding each file, and a single file would wait as long again
/// as it takes to draw. A reader still never sees a torn file, and a failed write never
/// replaces an earlier one. A file the user named is replaced as `cp` would replace it: through
/// a symbolic link, never against its own permission, keeping its owner.
inline constexpr WriteMode kOutputWriteMode = WriteMode::ReplaceNamedFile;

/// How a batch's files take their names: without --force each name is claimed only when it is
/// free, in one step, so that a batch run at the same time into the same folder cannot have
/// its files overwritten.
[[nodiscard]] constexpr WriteMode batchWriteMode(bool force) {
    return force ? kOutputWriteMode : WriteMode::ClaimNewNameQuickly;
}

/// What drawing one name gave: the finished file still to be written, or why there is none.
struct DrawnSignature {
    /// Writes the file: safe on any thread, since the drawing and the encoding are done.
    std::function<Outcome()> write;
    QString problem; ///< why the name cannot be drawn; empty when it can
    QSizeF pixels;   ///< the picture's size: in pixels, or in CSS pixels for SVG and PDF
};

/// Draws the names of one request, each into the bytes of its file, on the calling thread.
class SignatureDrawer final {
public:
    /// `renderer` draws at the request's look; both must outlive the drawer. A file drawn for
    /// the path "-" is written through `standardOutput`.
    SignatureDrawer(const RenderRequest& request, SignatureRenderer& renderer,
                    std::function<Outcome(QByteArrayView)> standardOutput = {})
        : m_request(request)
        , m_renderer(renderer)
        , m_export(renderer)
        , m_standardOutput(std::move(standardOutput))
        , m_writeMode(request.mode == RenderMode::Batch ? batchWriteMode(request.force)
                                                        : kOutputWriteMode) {}

    /// `name` drawn and encoded for the file at `path`, in the request's style and format, trimmed
    /// as it asks; the write is left to the caller. Memory that runs out while drawing or later
    /// while writing is reported as "not enough memory", never as a wrong picture.
    [[nodiscard]] DrawnSignature draw(const QString& name, const QString& path);

    /// What to tell the user about the characters of `name` that the style does not draw in
    /// its own hand: those borrowed from a donor font, those drawn by a later face of the
    /// style's chain, those nothing draws. Empty when the style draws all of them itself.
    [[nodiscard]] QStringList notes(const QString& name);
    /// Where the characters of `name` come from in the request's style.
    [[nodiscard]] GlyphOrigins origins(const QString& name);

    /// From now on the encoders of animated GIF and WebP files tell `progress` of every frame,
    /// on the thread that writes the file.
    void setFrameProgress(FrameProgress progress) { m_frameProgress = std::move(progress); }

private:
    [[nodiscard]] DrawnSignature drawUnguarded(const QString& name, const QString& path);
    /// The animation of `name`: an SVG made here, a GIF or WebP whose frames are drawn and
    /// encoded where the file is written.
    [[nodiscard]] DrawnSignature drawAnimation(const QString& name, const QString& path);
    /// The write of the finished `bytes()` to `path`, on any thread.
    [[nodiscard]] std::function<Outcome()> writer(std::function<QByteArray()> bytes,
                                                  const QString& path) const;

    const RenderRequest& m_request;
    SignatureRenderer& m_renderer;
    SignatureExport m_export; ///< the window's export draws with the same code
    std::function<Outcome(QByteArrayView)> m_standardOutput;
    WriteMode m_writeMode = kOutputWriteMode;
    std::unique_ptr<GlyphOriginFinder> m_origins; ///< made when first asked
    FrameProgress m_frameProgress;
};

/// The notes for the characters of a name in style `slot` that `origins` tells of, one a line.
[[nodiscard]] QStringList glyphNotes(int slot, const GlyphOrigins& origins);

/// The faces that draw a name in style `slot`, the style's own first, as `origins` tells.
[[nodiscard]] QStringList facesUsed(int slot, const GlyphOrigins& origins);

/// The size of a picture drawn at `look`, untrimmed: in pixels for a `raster` format, else in
/// CSS pixels.
[[nodiscard]] QSizeF untrimmedPixels(const SignatureLook& look, bool raster);

/// Carries out a checked request: the fonts, the background, then one signature, a batch or a
/// contact sheet. Returns the exit status; every failure has been reported through `reporter`.
[[nodiscard]] int runRenderJob(RenderRequest request, const CustomResources& resources,
                               Reporter& reporter);

} // namespace inkvale

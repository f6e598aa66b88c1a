#pragma once

#include "core/AnimationFrames.h"
#include "core/RevealTimeline.h"
#include "core/SignatureRenderer.h"
#include "core/StrokeReveal.h"

#include <QImage>
#include <QString>

#include <functional>
#include <memory>

namespace inkvale {

/// The signature written before the eyes, as frames: each is the blank canvas with the
/// finished signature copied in where it has been written, stroke by stroke (StrokeReveal) or
/// glyph box by glyph box as the pace's reveal asks, so that the first frame
/// is blankImage() and every finished frame, the last among them, is image() pixel for pixel.
/// Once made it needs the renderer no more: frames may be drawn and encoded on any thread.
class SignatureAnimation final : public AnimationFrames {
public:
    /// `name` in the style of `slot`, drawn by `renderer` at its look and paced by `pace`.
    SignatureAnimation(SignatureRenderer& renderer, int slot, const QString& name,
                       const AnimationPace& pace);

    /// True when there was no memory for the finished or the blank picture.
    [[nodiscard]] bool isNull() const override { return m_finished.isNull() || m_blank.isNull(); }
    [[nodiscard]] const RevealTimeline& timeline() const { return m_timeline; }
    [[nodiscard]] int frameCount() const override { return m_timeline.frameCount(); }
    /// The finished signature, as image() draws it.
    [[nodiscard]] const QImage& finished() const override { return m_finished; }
    /// Frame `index`, 0 to frameCount() - 1, in the format and resolution of finished(). Null
    /// when there is no memory for it.
    [[nodiscard]] QImage frame(int index) const override;
    [[nodiscard]] qint64 frameStartMs(int index) const override {
        return m_timeline.frameStartMs(index);
    }
    /// When each pixel is written, for a stroke-by-stroke reveal; null for a wipe.
    [[nodiscard]] const StrokeReveal* strokes() const { return m_strokes.get(); }

private:
    SignatureAnimation(SignatureRenderer& renderer, int slot, const QString& name,
                       const NameLayout& layout, const AnimationPace& pace);

    QImage m_finished;
    QImage m_blank;
    std::shared_ptr<const StrokeReveal> m_strokes;
    RevealTimeline m_timeline;
};

} // namespace inkvale

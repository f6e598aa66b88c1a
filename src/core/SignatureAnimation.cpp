#include "core/SignatureAnimation.h"

#include <QRegion>

#include <cmath>
#include <cstring>

namespace inkvale {

namespace {

/// The device pixels of `box` (canvas pixels) at `ratio`: each edge on the nearest pixel edge,
/// so that a box's growth never uncovers a pixel twice or skips one.
QRect deviceRect(const QRectF& box, qreal ratio) {
    const int left = int(std::lround(box.left() * ratio));
    const int top = int(std::lround(box.top() * ratio));
    const int right = int(std::lround(box.right() * ratio));
    const int bottom = int(std::lround(box.bottom() * ratio));
    return {left, top, right - left, bottom - top};
}

} // namespace

SignatureAnimation::SignatureAnimation(SignatureRenderer& renderer, int slot, const QString& name,
                                       const AnimationPace& pace)
    : SignatureAnimation(renderer, slot, name, renderer.layout(slot, name), pace) {}

SignatureAnimation::SignatureAnimation(SignatureRenderer& renderer, int slot, const QString& name,
                                       const NameLayout& layout, const AnimationPace& pace)
    : m_finished(renderer.image(slot, name))
    , m_blank(renderer.blankImage())
    , m_strokes(pace.reveal == RevealKind::Strokes && !isNull()
                    ? std::make_shared<const StrokeReveal>(m_finished, m_blank, layout, name)
                    : nullptr)
    , m_timeline(m_strokes ? RevealTimeline(m_strokes->writingSeconds(), pace)
                           : RevealTimeline(layout, pace)) {}

QImage SignatureAnimation::frame(int index) const {
    if (isNull()) {
        return {};
    }
    if (m_timeline.isFinished(index)) {
        return m_finished;
    }
    QImage frame = m_blank.copy();
    if (frame.isNull()) {
        return {};
    }
    frame.setDevicePixelRatio(m_finished.devicePixelRatio());
    frame.setDotsPerMeterX(m_finished.dotsPerMeterX());
    frame.setDotsPerMeterY(m_finished.dotsPerMeterY());
    if (m_strokes) {
        m_strokes->uncover(frame, m_finished, m_timeline.naturalMoment(index));
        return frame;
    }
    QRegion uncovered;
    const qreal ratio = m_finished.devicePixelRatio();
    for (const QRectF& box : m_timeline.uncovered(index)) {
        uncovered += deviceRect(box, ratio);
    }
    // Pixels copied as they are, so that uncovered ink is the finished ink exactly.
    const int bytesPerPixel = m_finished.depth() / 8;
    for (const QRect& rect : uncovered.intersected(m_finished.rect())) {
        for (int y = rect.top(); y <= rect.bottom(); ++y) {
            std::memcpy(frame.scanLine(y) + qsizetype(rect.left()) * bytesPerPixel,
                        m_finished.constScanLine(y) + qsizetype(rect.left()) * bytesPerPixel,
                        std::size_t(rect.width()) * std::size_t(bytesPerPixel));
        }
    }
    return frame;
}

} // namespace inkvale

#include "core/RevealTimeline.h"

#include <algorithm>
#include <cmath>

namespace inkvale {

namespace {

/// Slack for times that are whole frames in exact arithmetic but not in floating point.
constexpr double kTimeSlack = 1e-9;

} // namespace

RevealTimeline::RevealTimeline(const NameLayout& layout, const AnimationPace& pace)
    : m_fps(std::max(1, pace.fps)) {
    double time = 0;
    for (const GraphemePlace& grapheme : layout.graphemes) {
        if (grapheme.blank) {
            time += kWordPauseSeconds;
            continue;
        }
        const double width = layout.emPixels > 0 ? grapheme.advance / layout.emPixels : 0;
        const double duration =
            std::clamp(width * kSecondsPerEm, kShortestGlyphSeconds, kLongestGlyphSeconds);
        m_strokes.push_back({grapheme.box, grapheme.rightToLeft, time, duration});
        time += duration;
    }
    // Pauses after the last glyph write nothing.
    m_writing = m_strokes.empty() ? 0 : m_strokes.back().begin + m_strokes.back().duration;
    applyPace(pace);
}

RevealTimeline::RevealTimeline(double naturalSeconds, const AnimationPace& pace)
    : m_fps(std::max(1, pace.fps))
    , m_writing(std::max(0.0, naturalSeconds)) {
    applyPace(pace, true);
}

void RevealTimeline::applyPace(const AnimationPace& pace, bool wholeHold) {
    double hold = kHoldSeconds;
    if (pace.seconds && *pace.seconds > 0) {
        const double scale = *pace.seconds / (m_writing + hold);
        for (GlyphStroke& stroke : m_strokes) {
            stroke.begin *= scale;
            stroke.duration *= scale;
        }
        m_writing *= scale;
        hold *= scale;
        m_scale = scale;
    }
    // Writing frames sample the moments before the writing ends; at least one frame follows.
    const int writingFrames = std::max(1, int(std::ceil(m_writing * m_fps - kTimeSlack)));
    m_frames = std::max(writingFrames + 1, int(std::lround((m_writing + hold) * m_fps)));
    if (wholeHold && !pace.seconds) {
        // At the natural pace the hold follows the last writing frame whole, however the
        // writing's end falls between frames.
        m_frames = writingFrames + std::max(1, int(std::lround(hold * m_fps)));
    }
}

qint64 RevealTimeline::frameStartMs(int index) const {
    return std::llround(index * 1000.0 / m_fps);
}

bool RevealTimeline::isFinished(int index) const {
    return double(index) / m_fps >= m_writing - kTimeSlack;
}

std::vector<QRectF> RevealTimeline::uncovered(int index) const {
    const double time = double(index) / m_fps;
    std::vector<QRectF> boxes;
    for (const GlyphStroke& stroke : m_strokes) {
        if (time <= stroke.begin) {
            break;
        }
        const double done = std::min(1.0, (time - stroke.begin) / stroke.duration);
        QRectF part = stroke.box;
        const qreal width = stroke.box.width() * done;
        if (stroke.rightToLeft) {
            part.setLeft(stroke.box.right() - width);
        } else {
            part.setWidth(width);
        }
        boxes.push_back(part);
    }
    return boxes;
}

} // namespace inkvale

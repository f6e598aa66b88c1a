#include "core/HandExport.h"

#include "core/GifAnimation.h"
#include "core/SignatureSurface.h"
#include "core/WebpAnimation.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <new>

namespace inkvale {

namespace {

constexpr double kMetresPerInch = 0.0254;
constexpr double kCanvasDotsPerInch = 96.0;

/// The frames of a hand drawing being written: each shows the drawing as it was at its moment,
/// on the drawing's own clock, and starts at its place in the animation's.
class HandFrames final : public AnimationFrames {
public:
    HandFrames(const HandExport& hand, std::vector<double> moments, std::vector<double> starts,
               double holdMs)
        : m_hand(hand)
        , m_moments(std::move(moments))
        , m_starts(std::move(starts))
        , m_finished(hand.image())
        , m_holdMs(holdMs) {}

    bool isNull() const override { return m_finished.isNull(); }
    const QImage& finished() const override { return m_finished; }
    int frameCount() const override { return int(m_moments.size()); }
    QImage frame(int index) const override {
        return index + 1 == frameCount() ? m_finished
                                         : m_hand.image(m_moments.at(std::size_t(index)));
    }
    qint64 frameStartMs(int index) const override {
        return index >= frameCount() ? qint64(std::llround(m_starts.back() + m_holdMs))
                                     : qint64(std::llround(m_starts.at(std::size_t(index))));
    }

private:
    const HandExport& m_hand;
    std::vector<double> m_moments;
    std::vector<double> m_starts;
    QImage m_finished;
    double m_holdMs = 0;
};

} // namespace

HandExport::HandExport(const HandDrawing& drawing, const SignatureLook& look)
    : m_drawing(drawing)
    , m_look(look) {
    const int border = SignatureSurface::kDesignedBorderPixels;
    m_inner = look.canvas - QSize(2 * border, 2 * border);
    const QRectF ink = inkBounds(drawing);
    if (ink.isEmpty()) {
        return;
    }
    const QRectF room =
        QRectF(QPointF(0, 0), QSizeF(m_inner))
            .adjusted(m_inner.width() * kHandMargin, m_inner.height() * kHandMargin,
                      -m_inner.width() * kHandMargin, -m_inner.height() * kHandMargin);
    m_scale = std::min(room.width() / ink.width(), room.height() / ink.height());
    m_fit = QTransform::fromTranslate(-ink.center().x(), -ink.center().y()) *
            QTransform::fromScale(m_scale, m_scale) *
            QTransform::fromTranslate(room.center().x(), room.center().y());
}

QColor HandExport::inkColour() const {
    return m_look.colour.value_or(m_drawing.colour);
}

double HandExport::penWidth() const {
    return m_drawing.penWidth;
}

VectorPicture HandExport::outlines() const {
    const QRectF canvas(QPointF(0, 0), QSizeF(m_inner));
    VectorPicture picture;
    picture.viewport = canvas;
    if (!m_look.transparent) {
        QPainterPath area;
        area.addRect(canvas);
        picture.fill(area, m_look.canvasColour.value_or(QColor(Qt::white)));
    }
    QRectF ink;
    for (const HandStroke& stroke : m_drawing.strokes) {
        QPainterPath path = m_fit.map(strokeOutline(stroke, penWidth()));
        path.setFillRule(Qt::WindingFill);
        ink |= path.boundingRect();
        picture.fill(path, inkColour(), canvas);
        picture.items.back().isText = true;
    }
    picture.ink = ink.intersected(canvas).toAlignedRect();
    return picture;
}

QImage HandExport::image(std::optional<double> untilMs) const {
    const qreal ratio = m_look.dotsPerInch / kCanvasDotsPerInch;
    QImage image((QSizeF(m_inner) * ratio).toSize(),
                 m_look.transparent ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    if (image.isNull()) {
        return {};
    }
    image.fill(m_look.transparent ? QColor(Qt::transparent)
                                  : m_look.canvasColour.value_or(QColor(Qt::white)));
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(ratio, ratio);
        painter.setPen(Qt::NoPen);
        painter.setBrush(inkColour());
        for (const HandStroke& stroke : m_drawing.strokes) {
            const QPainterPath path = untilMs ? strokeOutlineUntil(stroke, penWidth(), *untilMs)
                                              : strokeOutline(stroke, penWidth());
            painter.drawPath(m_fit.map(path));
        }
    }
    image.setDevicePixelRatio(ratio);
    const int dotsPerMetre = qRound(m_look.dotsPerInch / kMetresPerInch);
    image.setDotsPerMeterX(dotsPerMetre);
    image.setDotsPerMeterY(dotsPerMetre);
    return image;
}

ExportDrawing HandExport::draw(OutputFormat format, std::optional<int> trim, const QString& title,
                               int jpegQuality) const {
    ExportDrawing drawing;
    drawing.format = format;
    drawing.jpegQuality = jpegQuality;
    try {
        if (isRaster(format)) {
            QImage image = this->image();
            if (image.isNull()) {
                drawing.noMemory = true;
                return drawing;
            }
            if (trim) {
                QImage blank(image.size(), image.format());
                blank.fill(m_look.transparent ? QColor(Qt::transparent)
                                              : m_look.canvasColour.value_or(QColor(Qt::white)));
                const QRect ink = inkRect(image, blank);
                if (ink.isEmpty()) {
                    drawing.noInk = true;
                    return drawing;
                }
                image = cropToInk(image, ink, *trim);
            }
            drawing.pixels = image.size();
            drawing.image = std::move(image);
            return drawing;
        }
        VectorPicture picture = outlines();
        if (trim) {
            if (picture.ink.isEmpty()) {
                drawing.noInk = true;
                return drawing;
            }
            picture = cropToInk(std::move(picture), *trim);
        }
        drawing.pixels = picture.viewport.size();
        if (format == OutputFormat::Svg) {
            drawing.document = svgDocument(picture, documentTitle(title));
        } else {
            drawing.document = pdfDocument(picture, documentTitle(title));
            drawing.notMade = drawing.document.isEmpty();
        }
    } catch (const std::bad_alloc&) {
        drawing.noMemory = true;
    }
    return drawing;
}

double HandExport::playedMs(double ms) const {
    // Pauses between strokes longer than kLongestHandPauseMs are cut to it.
    double cut = 0;
    double lastEnd = 0;
    bool first = true;
    for (const HandStroke& stroke : m_drawing.strokes) {
        if (stroke.points.empty() || stroke.points.front().ms > ms) {
            break;
        }
        const double start = stroke.points.front().ms;
        const double pause = first ? start : start - lastEnd;
        cut += std::max(0.0, pause - (first ? 0.0 : kLongestHandPauseMs));
        lastEnd = std::max(lastEnd, stroke.points.back().ms);
        first = false;
    }
    return std::max(0.0, ms - cut);
}

QByteArray HandExport::animated(AnimationFormat format, int fps, const QString& title) const {
    constexpr double kHoldMs = 1000;
    fps = std::clamp(fps, 1, 60);
    try {
        if (format == AnimationFormat::Svg) {
            VectorPicture picture = outlines();
            TextReveal reveal;
            const double reach = penWidth() * m_scale;
            for (const HandStroke& stroke : m_drawing.strokes) {
                TextStroke text;
                for (const InkSample& sample : strokeSamples(stroke, penWidth())) {
                    text.path << m_fit.map(sample.at);
                }
                text.reach = reach;
                text.spread = text.path.size() == 1;
                text.begin = playedMs(stroke.points.front().ms) / 1000;
                text.duration =
                    std::max(0.02, (playedMs(stroke.points.back().ms) / 1000) - text.begin);
                reveal.complete = std::max(reveal.complete, text.begin + text.duration);
                reveal.strokes.push_back(std::move(text));
            }
            return svgDocument(picture, documentTitle(title), reveal);
        }
        // Frames sample the drawing's own clock at the animation's pace, pauses shortened.
        std::vector<double> moments;
        double played = 0;
        double original = 0;
        const double end = m_drawing.lastMs();
        const double step = 1000.0 / fps;
        while (original < end) {
            moments.push_back(original);
            played += step;
            // The moment of the drawing whose shortened time is `played`.
            double low = original;
            double high = end;
            for (int i = 0; i < 40 && high - low > 0.01; ++i) {
                const double middle = (low + high) / 2;
                (playedMs(middle) < played ? low : high) = middle;
            }
            original = high;
        }
        moments.push_back(end);
        std::vector<double> starts;
        starts.reserve(moments.size());
        for (std::size_t i = 0; i < moments.size(); ++i) {
            starts.push_back(double(i) * step);
        }
        const HandFrames frames(*this, std::move(moments), std::move(starts), kHoldMs);
        if (frames.isNull()) {
            return {};
        }
        return format == AnimationFormat::Gif ? encodeGifAnimation(frames)
                                              : encodeWebpAnimation(frames);
    } catch (const std::bad_alloc&) {
        return {};
    }
}

} // namespace inkvale

#include "core/TraceScore.h"

#include "core/SignatureAnimation.h"
#include "core/SignatureRenderer.h"

#include <QLineF>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace inkvale {

namespace {

constexpr int kInkAlpha = 64;
/// How far a stroke may start and end from its median's ends: this share of the distance
/// between them, never less than kLeastOrderReach pixels nor more than the caller's tolerance.
constexpr double kOrderReachShare = 0.4;
constexpr double kLeastOrderReach = 3;

/// Where `image` has ink, one byte a pixel.
std::vector<std::uint8_t> inkMask(const QImage& image) {
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    std::vector<std::uint8_t> mask(std::size_t(argb.width()) * std::size_t(argb.height()));
    for (int y = 0; y < argb.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x) {
            mask[std::size_t(y) * std::size_t(argb.width()) + std::size_t(x)] =
                qAlpha(row[x]) > kInkAlpha ? 1 : 0;
        }
    }
    return mask;
}

/// `mask` grown by `reach` pixels in every direction (a square), by a running count along the
/// rows and then the columns.
std::vector<std::uint8_t> grown(const std::vector<std::uint8_t>& mask, int width, int height,
                                int reach) {
    std::vector<std::uint8_t> rows(mask.size());
    for (int y = 0; y < height; ++y) {
        const std::size_t base = std::size_t(y) * std::size_t(width);
        int count = 0;
        for (int x = -reach; x < width; ++x) {
            if (x + reach < width) {
                count += mask[base + std::size_t(x + reach)];
            }
            if (x - reach - 1 >= 0) {
                count -= mask[base + std::size_t(x - reach - 1)];
            }
            if (x >= 0) {
                rows[base + std::size_t(x)] = count > 0 ? 1 : 0;
            }
        }
    }
    std::vector<std::uint8_t> out(mask.size());
    for (int x = 0; x < width; ++x) {
        int count = 0;
        for (int y = -reach; y < height; ++y) {
            if (y + reach < height) {
                count += rows[std::size_t(y + reach) * std::size_t(width) + std::size_t(x)];
            }
            if (y - reach - 1 >= 0) {
                count -= rows[std::size_t(y - reach - 1) * std::size_t(width) + std::size_t(x)];
            }
            if (y >= 0) {
                out[std::size_t(y) * std::size_t(width) + std::size_t(x)] = count > 0 ? 1 : 0;
            }
        }
    }
    return out;
}

bool near(QPointF a, QPointF b, double tolerance) {
    return QLineF(a, b).length() <= tolerance;
}

} // namespace

TracingModel tracingModel(const SignatureLook& look, int slot, const QString& name, double scale) {
    SignatureLook clear = look;
    clear.transparent = true;
    clear.background = QImage();
    clear.dotsPerInch = 96.0 * scale;
    SignatureRenderer renderer(clear);
    TracingModel model;
    const NameLayout layout = renderer.layout(slot, name);
    model.tolerance = layout.emPixels * scale / 6;
    const SignatureAnimation animation(renderer, slot, name, AnimationPace{});
    model.ink = animation.finished();
    model.ink.setDevicePixelRatio(1);
    if (animation.strokes() == nullptr) {
        return model;
    }
    for (const PenStroke& stroke : animation.strokes()->strokes()) {
        if (stroke.spread) {
            // A glyph without a stroke order: the order cannot be checked.
            model.medians.clear();
            return model;
        }
        QPolygonF median;
        for (const QPointF& point : stroke.path) {
            median << point * scale;
        }
        model.medians.push_back(median);
    }
    return model;
}

void compareStrokeOrder(const std::vector<QPolygonF>& model, const std::vector<QPolygonF>& attempt,
                        double tolerance, TraceScore& score) {
    score.orderKnown = !model.empty();
    score.strokesRight = 0;
    score.wrongStrokes.clear();
    score.strokesCompared = int(std::max(model.size(), attempt.size()));
    for (std::size_t i = 0; i < attempt.size(); ++i) {
        if (i >= model.size() || model[i].isEmpty() || attempt[i].isEmpty()) {
            score.wrongStrokes.push_back(int(i));
            continue;
        }
        // A short stroke is held to less, so that writing it backwards still shows.
        const double reach =
            std::min(tolerance, std::max(kLeastOrderReach,
                                         kOrderReachShare *
                                             QLineF(model[i].front(), model[i].back()).length()));
        const bool right = near(attempt[i].front(), model[i].front(), reach) &&
                           near(attempt[i].back(), model[i].back(), reach);
        if (right) {
            ++score.strokesRight;
        } else {
            score.wrongStrokes.push_back(int(i));
        }
    }
}

void scoreTrace(const QImage& model, const QImage& attempt, int reach, TraceScore& score) {
    const int width = model.width();
    const int height = model.height();
    const std::vector<std::uint8_t> modelInk = inkMask(model);
    const std::vector<std::uint8_t> attemptInk = inkMask(attempt.scaled(model.size()));
    const std::vector<std::uint8_t> modelGrown = grown(modelInk, width, height, reach);
    const std::vector<std::uint8_t> attemptGrown = grown(attemptInk, width, height, reach);
    qint64 modelCount = 0;
    qint64 covered = 0;
    qint64 attemptCount = 0;
    qint64 outside = 0;
    QImage picture(model.size(), QImage::Format_RGB32);
    picture.fill(Qt::white);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(picture.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const std::size_t i = std::size_t(y) * std::size_t(width) + std::size_t(x);
            if (modelInk[i] != 0) {
                ++modelCount;
                const bool hit = attemptGrown[i] != 0;
                covered += hit ? 1 : 0;
                row[x] = (hit ? kTraceModelColour : kTraceMissColour).rgb();
            }
            if (attemptInk[i] != 0) {
                ++attemptCount;
                const bool beside = modelGrown[i] == 0;
                outside += beside ? 1 : 0;
                row[x] = beside ? kTraceOutsideColour.rgb() : qRgb(40, 40, 40);
            }
        }
    }
    score.coverage = modelCount == 0 ? 0 : double(covered) / double(modelCount);
    score.outside = attemptCount == 0 ? 0 : double(outside) / double(attemptCount);
    score.picture = picture;
    if (attemptCount == 0) {
        score.score = 0;
        return;
    }
    double total = 0;
    if (score.orderKnown && score.strokesCompared > 0) {
        total = 0.6 * score.coverage + 0.25 * (1 - score.outside) +
                0.15 * double(score.strokesRight) / double(score.strokesCompared);
    } else {
        total = 0.7 * score.coverage + 0.3 * (1 - score.outside);
    }
    score.score = int(std::lround(100 * total));
}

} // namespace inkvale

#include "core/PracticeSheet.h"

#include "core/InterfaceFont.h"
#include "core/SignatureExport.h"
#include "core/StyleCatalogue.h"
#include "core/VectorPicture.h"

#include <QBuffer>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include <algorithm>
#include <exception>
#include <memory>

namespace inkvale {

namespace {

/// A PDF writer and its painter. When memory runs out while they work, the exception that
/// unwinds through them leaves both behind: a painter that failed to end tries again when
/// destroyed, and would throw out of its destructor, ending the process.
struct PdfPainting {
    std::unique_ptr<QPdfWriter> writer;
    std::unique_ptr<QPainter> painter = std::make_unique<QPainter>();
    int exceptions = std::uncaught_exceptions();

    explicit PdfPainting(QIODevice* device)
        : writer(std::make_unique<QPdfWriter>(device)) {}
    PdfPainting(const PdfPainting&) = delete;
    PdfPainting& operator=(const PdfPainting&) = delete;
    ~PdfPainting() {
        if (std::uncaught_exceptions() > exceptions) {
            [[maybe_unused]] QPainter* const unfinished = painter.release();
            [[maybe_unused]] QPdfWriter* const writing = writer.release();
        }
    }
};

constexpr qreal kPointsPerPixel = 72.0 / 96.0;
constexpr qreal kMargin = 48.0;      ///< around the page, in points
constexpr qreal kTitleHeight = 64.0; ///< title and subtitle, in points
constexpr qreal kRowGap = 14.0;      ///< below each row's signature, in points
constexpr int kPaddingPixels = 6;    ///< around the ink, in canvas pixels
const QColor kGuideColour(150, 160, 175);

/// `ink` mixed with white paper: `share` of ink.
QColor onPaper(const QColor& ink, qreal share) {
    const auto mix = [share](int channel) {
        return qRound(channel * share + 255 * (1 - share));
    };
    return QColor(mix(ink.red()), mix(ink.green()), mix(ink.blue()));
}

/// Fills `text` in the window's CJK font at `pixels` points with its baseline at `baseline`.
void drawTitleText(QPainter& painter, const QString& text, int pixels, QPointF baseline,
                   const QColor& colour) {
    QFont font = interfaceFont();
    font.setPixelSize(pixels);
    QPainterPath path;
    path.addText(baseline, font, text);
    path.setFillRule(Qt::WindingFill);
    painter.fillPath(path, colour);
}

/// The row's guides across the writing width: a dashed line at the signature's top and a
/// baseline at its foot.
void drawGuides(QPainter& painter, qreal left, qreal right, qreal top, qreal foot) {
    QPen pen(kGuideColour, 0.6);
    pen.setDashPattern({4.0, 3.0});
    painter.setPen(pen);
    painter.drawLine(QPointF(left, top), QPointF(right, top));
    pen.setStyle(Qt::SolidLine);
    pen.setWidthF(0.9);
    painter.setPen(pen);
    painter.drawLine(QPointF(left, foot), QPointF(right, foot));
    painter.setPen(Qt::NoPen);
}

} // namespace

QSizeF paperPoints(Paper paper) {
    return QPageSize(paper == Paper::Letter ? QPageSize::Letter : QPageSize::A4)
        .size(QPageSize::Point);
}

qreal traceInkShare(int row, int rows) {
    constexpr qreal kFirst = 0.34;
    constexpr qreal kLast = 0.10;
    return rows <= 1 ? kFirst : kFirst - (kFirst - kLast) * row / (rows - 1);
}

QByteArray practiceSheetPdf(const SignatureLook& look, int slot, const QString& name,
                            const PracticeSheetLayout& layout) {
    SignatureLook paperLook = look;
    paperLook.transparent = true;
    paperLook.background = QImage();
    paperLook.dotsPerInch = 96.0;
    paperLook.fitWholeName = true; // a sheet to copy from shows the whole name
    SignatureRenderer renderer(paperLook);
    VectorPicture signature = renderer.outlines(slot, name);
    const bool hasInk = !signature.ink.isEmpty();
    if (hasInk) {
        signature = cropToInk(std::move(signature), kPaddingPixels);
    }
    QPainterPath text;
    QColor ink = Qt::black;
    for (const VectorItem& item : signature.items) {
        if (item.image.isNull()) {
            text.addPath(item.path);
            ink = item.colour;
        }
    }
    text.setFillRule(Qt::WindingFill);

    const QSizeF page = paperPoints(layout.paper);
    const int traceRows = std::clamp(layout.traceRows, 0, kMostPracticeRows);
    const int guideRows = std::clamp(layout.guideRows, 0, kMostPracticeRows);
    const int rows = 1 + traceRows + guideRows;
    const qreal width = page.width() - 2 * kMargin;
    const qreal rowsTop = kMargin + kTitleHeight;
    const qreal rowHeight = (page.height() - kMargin - rowsTop) / rows;
    // The signature at its size on the canvas, smaller only where the page has no room.
    const QRectF box = signature.viewport;
    const qreal scale = std::min({kPointsPerPixel, width / box.width(),
                                  (rowHeight - kRowGap) / std::max(1.0, box.height())});
    const QRectF inkBox = hasInk ? signature.ink : box;

    QByteArray document;
    QBuffer buffer(&document);
    buffer.open(QIODevice::WriteOnly);
    {
        const PdfPainting pdf(&buffer);
        QPdfWriter& writer = *pdf.writer;
        writer.setTitle(name);
        writer.setCreator(QStringLiteral("Inkvale"));
        writer.setPageSize(QPageSize(page, QPageSize::Point, QString(), QPageSize::ExactMatch));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        writer.setResolution(72);
        QPainter& painter = *pdf.painter;
        if (!painter.begin(&writer)) {
            return {};
        }
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        drawTitleText(painter, name + QStringLiteral(" · 签名练习字帖"), 20,
                      QPointF(kMargin, kMargin + 20), Qt::black);
        drawTitleText(painter,
                      QStringLiteral("样式:%1    第一行为范例,其后描红渐淡,最后几行独立书写")
                          .arg(styleSlot(slot).caption.toString()),
                      11, QPointF(kMargin, kMargin + 42), QColor(80, 80, 80));

        for (int row = 0; row < rows; ++row) {
            const qreal top =
                rowsTop + row * rowHeight + (rowHeight - kRowGap - box.height() * scale);
            const auto toPage = [&](qreal y) {
                return top + (y - box.top()) * scale;
            };
            drawGuides(painter, kMargin, kMargin + width, toPage(inkBox.top()),
                       toPage(inkBox.bottom()));
            const bool model = row == 0;
            const bool trace = row >= 1 && row <= traceRows;
            if (!model && !trace) {
                continue;
            }
            const QColor colour = model ? ink : onPaper(ink, traceInkShare(row - 1, traceRows));
            painter.save();
            painter.translate(kMargin, top);
            painter.scale(scale, scale);
            painter.translate(-box.topLeft());
            painter.setClipRect(box);
            painter.fillPath(text, colour);
            painter.restore();
        }
        if (!painter.end()) {
            return {};
        }
    }
    return reproduciblePdf(document);
}

} // namespace inkvale

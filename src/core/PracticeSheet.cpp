#include "core/PracticeSheet.h"

#include "core/InterfaceFont.h"
#include "core/SignatureExport.h"
#include "core/StrokeOrder.h"
#include "core/StyleCatalogue.h"
#include "core/VectorPicture.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QPageSize>
#include <QPainter>
#include <QPainterPathStroker>
#include <QPdfWriter>

#include <algorithm>
#include <cmath>
#include <exception>
#include <memory>

namespace inkvale {

namespace {

/// How many canvases wide a whole name may grow on a practice sheet before it keeps to one.
constexpr int kMostFittedCanvases = 3;

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

constexpr qreal kPointsPerMillimetre = 72.0 / 25.4;
/// The height a hand writes a signature at, in millimetres: a tenth of the paper's width,
/// within these bounds.
constexpr qreal kLowestWriting = 20.0;
constexpr qreal kHighestWriting = 25.0;
/// A grid square's side against the signature's height: room above and below the ink.
constexpr qreal kCellPerWriting = 1.2;
constexpr qreal kRowGap = 2.0 * kPointsPerMillimetre;
constexpr qreal kStripGap = 1.2 * kPointsPerMillimetre;
constexpr qreal kStripLineGap = 2.0 * kPointsPerMillimetre;
/// The share of the page's rows area that stroke-order strips may take on the first page.
constexpr qreal kMostStripsShare = 0.4;
constexpr qreal kSubtitlePixels = 10;
constexpr qreal kNotePixels = 9;
const QColor kGuideColour(150, 160, 175);
const QColor kInnerGuideColour(190, 198, 210);
const QColor kDoneStroke(175, 175, 175);
const QColor kNoteColour(80, 80, 80);

/// `ink` mixed with white paper: `share` of ink.
/// The strokes of `character` in its stroke order as a brush of even width draws them along
/// the stroke data's medians, on the em square: a plain regular-script (楷书) form.
std::vector<QPainterPath> strokePaths(char32_t character) {
    QPainterPathStroker brush;
    brush.setWidth(0.075);
    brush.setCapStyle(Qt::RoundCap);
    brush.setJoinStyle(Qt::RoundJoin);
    std::vector<QPainterPath> strokes;
    for (const StrokeMedian& median : strokeMedians(character)) {
        QPainterPath line(median.front());
        for (std::size_t at = 1; at < median.size(); ++at) {
            line.lineTo(median.at(at));
        }
        if (median.size() == 1) {
            line.lineTo(median.front() + QPointF(0.001, 0));
        }
        QPainterPath stroke = brush.createStroke(line);
        stroke.setFillRule(Qt::WindingFill);
        strokes.push_back(stroke.simplified());
    }
    return strokes;
}

QColor onPaper(const QColor& ink, qreal share) {
    const auto mix = [share](int channel) {
        return qRound(channel * share + 255 * (1 - share));
    };
    return QColor(mix(ink.red()), mix(ink.green()), mix(ink.blue()));
}

QFont fontOf(qreal pixels) {
    QFont font = interfaceFont();
    font.setPixelSize(std::max(1, qRound(pixels)));
    return font;
}

/// Fills `text` in the window's CJK font at `pixels` points with its baseline at `baseline`,
/// cut at the end with an ellipsis where it is wider than `width`.
void drawText(QPainter& painter, const QString& text, qreal pixels, QPointF baseline, qreal width,
              const QColor& colour) {
    const QFont font = fontOf(pixels);
    const QString shown = QFontMetricsF(font).elidedText(text, Qt::ElideRight, width);
    QPainterPath path;
    path.addText(baseline, font, shown);
    path.setFillRule(Qt::WindingFill);
    painter.fillPath(path, colour);
}

/// A 田字格 or 米字格 square at `square`: its border, and dashed lines across, down and (米)
/// along the diagonals.
void drawSquare(QPainter& painter, const QRectF& square, SheetGrid grid, qreal line) {
    QPen inner(kInnerGuideColour, line * 0.7);
    inner.setDashPattern({3.0, 2.5});
    painter.setPen(inner);
    painter.setBrush(Qt::NoBrush);
    const QPointF middle = square.center();
    painter.drawLine(QPointF(square.left(), middle.y()), QPointF(square.right(), middle.y()));
    painter.drawLine(QPointF(middle.x(), square.top()), QPointF(middle.x(), square.bottom()));
    if (grid == SheetGrid::Mi) {
        painter.drawLine(square.topLeft(), square.bottomRight());
        painter.drawLine(square.topRight(), square.bottomLeft());
    }
    painter.setPen(QPen(kGuideColour, line));
    painter.drawRect(square);
    painter.setPen(Qt::NoPen);
}

} // namespace

QSizeF paperPoints(Paper paper) {
    switch (paper) {
    case Paper::Letter:
        return QPageSize(QPageSize::Letter).size(QPageSize::Point);
    case Paper::A5:
        return QPageSize(QPageSize::A5).size(QPageSize::Point);
    case Paper::A4:
        break;
    }
    return QPageSize(QPageSize::A4).size(QPageSize::Point);
}

qreal traceInkShare(int row, int rows) {
    constexpr qreal kFirst = 0.34;
    constexpr qreal kLast = 0.10;
    return rows <= 1 ? kFirst : kFirst - (kFirst - kLast) * row / (rows - 1);
}

PracticeSheet::PracticeSheet(const SignatureLook& look, int slot, const QString& name,
                             const PracticeSheetLayout& layout)
    : m_layout(layout)
    , m_name(name)
    , m_caption(styleSlot(slot).caption.toString()) {
    m_layout.traceRows = std::clamp(m_layout.traceRows, 0, kMostPracticeRows);
    m_layout.guideRows = std::clamp(m_layout.guideRows, 0, kMostPracticeRows);
    SignatureLook paperLook = look;
    paperLook.transparent = true;
    paperLook.background = QImage();
    paperLook.dotsPerInch = 96.0;
    // A sheet to copy from shows the whole name, as long as it stays large enough to write
    // over: a name longer than a few canvases keeps to the canvas, as the designer shows it.
    SignatureLook fitted = paperLook;
    fitted.fitWholeName = true;
    paperLook.fitWholeName = SignatureRenderer(fitted).canvasFor(slot, name).width() <=
                             kMostFittedCanvases * look.canvas.width();
    SignatureRenderer renderer(paperLook);
    const VectorPicture signature = renderer.outlines(slot, name);
    for (const VectorItem& item : signature.items) {
        if (item.image.isNull()) {
            m_text.addPath(item.path);
            m_colour = item.colour;
        }
    }
    m_text.setFillRule(Qt::WindingFill);
    // Only what the canvas shows: a name longer than the canvas is cut at its edge there too.
    m_ink = m_text.isEmpty() ? QRectF() : m_text.boundingRect().intersected(signature.viewport);
    if (m_ink.isEmpty()) {
        m_text = QPainterPath();
    }

    // The stroke-order strips: each Chinese character once, in the order of the name.
    QString seen;
    for (const char32_t character : name.toUcs4()) {
        if (QChar::script(character) != QChar::Script_Han) {
            continue;
        }
        const QString text = QString::fromUcs4(&character, 1);
        if (seen.contains(text)) {
            continue;
        }
        seen += text;
        std::vector<QPainterPath> strokes = strokePaths(character);
        if (strokes.empty()) {
            m_withoutStrokeOrder += text;
        } else {
            m_strips.push_back({text, std::move(strokes)});
        }
    }
    layOut();
}

void PracticeSheet::layOut() {
    const QSizeF paper = paperPoints(m_layout.paper);
    m_page = m_layout.landscape ? paper.transposed() : paper;
    m_margin = std::round(std::min(m_page.width(), m_page.height()) * 0.065);
    const qreal width = m_page.width() - 2 * m_margin;
    const qreal widthMillimetres = m_page.width() / kPointsPerMillimetre;
    m_writing =
        std::clamp(widthMillimetres / 10, kLowestWriting, kHighestWriting) * kPointsPerMillimetre;
    m_cell = m_writing * kCellPerWriting;
    m_rowPitch = m_cell + kRowGap;
    m_columns = std::max(1, int(width / m_cell));
    // The signature at the height a hand writes it, smaller only where it is wider than a row.
    const qreal inkHeight = std::max(1.0, m_ink.height());
    const qreal inkWidth = std::max(1.0, m_ink.width());
    m_scale = std::min(m_writing / inkHeight, m_columns * m_cell / inkWidth);
    m_writing = inkHeight * m_scale;
    m_span = std::clamp(int(std::ceil(inkWidth * m_scale / m_cell + 0.25)), 1, m_columns);
    m_stripSquare = std::clamp(widthMillimetres * 0.045, 7.0, 10.0) * kPointsPerMillimetre;

    std::vector<Row> rows{{RowKind::Model, 0}};
    for (int trace = 0; trace < m_layout.traceRows; ++trace) {
        rows.push_back({RowKind::Trace, trace});
    }
    for (int guide = 0; guide < m_layout.guideRows; ++guide) {
        rows.push_back({RowKind::Guide, 0});
    }
    m_totalTraceRows = m_layout.traceRows;

    // The first page: title, the strips that fit in their share, then rows.
    const qreal rowsArea = m_page.height() - 2 * m_margin - (20 + 2 * kSubtitlePixels + 12);
    const auto rowsIn = [this](qreal height) {
        return std::max(1, int((height + kRowGap) / m_rowPitch));
    };
    std::size_t shown = m_strips.size();
    while (shown > 0 && stripsHeight(stripLines(shown)) > rowsArea * kMostStripsShare) {
        --shown;
    }
    m_stripsLeftOut = int(m_strips.size() - shown);
    m_strips.resize(shown);
    const bool strips = !m_strips.empty() || m_stripsLeftOut > 0 || !m_withoutStrokeOrder.isEmpty();
    const int firstRows = rowsIn(rowsArea - (strips ? stripsHeight(stripLines(shown)) : 0));
    const int laterRows = rowsIn(rowsArea);
    // A later page starts with the model again, where it leaves room for a row more.
    const bool repeatModel = laterRows >= 2;

    m_pages.clear();
    std::size_t next = 0;
    while (next < rows.size()) {
        Page page;
        page.strips = m_pages.empty() && strips;
        int room = m_pages.empty() ? firstRows : laterRows;
        if (!m_pages.empty() && repeatModel) {
            page.rows.push_back(rows.front());
            --room;
        }
        for (; room > 0 && next < rows.size(); --room) {
            page.rows.push_back(rows.at(next++));
        }
        m_pages.push_back(std::move(page));
    }
}

int PracticeSheet::stripLines(std::size_t strips) const {
    const qreal width = m_page.width() - 2 * m_margin;
    const int across = std::max(1, int((width + kStripGap) / (m_stripSquare + kStripGap)));
    int lines = 0;
    for (std::size_t strip = 0; strip < strips; ++strip) {
        lines += (int(m_strips.at(strip).strokes.size()) + across - 1) / across;
    }
    return lines;
}

qreal PracticeSheet::stripsHeight(int lines) const {
    // A caption above, the lines, and a line of notes below.
    return kNotePixels + 6 + lines * (m_stripSquare + kStripLineGap) + kNotePixels + 8;
}

QColor PracticeSheet::traceColour(int row) const {
    const qreal share = traceInkShare(row, m_totalTraceRows);
    return m_layout.tracing == TraceColour::Red ? onPaper(kTracingRed, std::min(1.0, share * 1.8))
                                                : onPaper(m_colour, share);
}

void PracticeSheet::paintTitle(QPainter& painter, const Page& page, int number) const {
    const qreal width = m_page.width() - 2 * m_margin;
    const QString suffix = QStringLiteral(" · 签名练习字帖");
    const QFont titleFont = fontOf(20);
    const QString name = QFontMetricsF(titleFont).elidedText(
        m_name, Qt::ElideRight, width - QFontMetricsF(titleFont).horizontalAdvance(suffix));
    drawText(painter, name + suffix, 20, QPointF(m_margin, m_margin + 20), width, Qt::black);

    int traces = 0;
    int guides = 0;
    for (const Row& row : page.rows) {
        traces += row.kind == RowKind::Trace ? 1 : 0;
        guides += row.kind == RowKind::Guide ? 1 : 0;
    }
    QStringList parts{QStringLiteral("范例 1 行")};
    if (traces > 0) {
        parts << QStringLiteral("%1 %2 行,由深到浅")
                     .arg(m_layout.tracing == TraceColour::Red ? QStringLiteral("描红")
                                                               : QStringLiteral("描摹"))
                     .arg(traces);
    }
    if (guides > 0) {
        parts << QStringLiteral("独立书写 %1 行").arg(guides);
    }
    QString subtitle =
        QStringLiteral("样式:%1    本页:%2").arg(m_caption, parts.join(QStringLiteral(" · ")));
    if (m_pages.size() > 1) {
        subtitle += QStringLiteral("    第 %1 / %2 页").arg(number + 1).arg(m_pages.size());
    }
    drawText(painter, subtitle, kSubtitlePixels, QPointF(m_margin, m_margin + 20 + 18), width,
             kNoteColour);
}

void PracticeSheet::paintStrips(QPainter& painter, qreal top) const {
    const qreal width = m_page.width() - 2 * m_margin;
    drawText(painter, QStringLiteral("笔顺(楷书,灰色为已写笔画,红色为新的一笔)"), kNotePixels,
             QPointF(m_margin, top + kNotePixels), width, kNoteColour);
    const QColor newStroke = m_layout.tracing == TraceColour::Red ? kTracingRed : m_colour;
    const int across = std::max(1, int((width + kStripGap) / (m_stripSquare + kStripGap)));
    qreal y = top + kNotePixels + 6;
    const qreal inset = m_stripSquare * 0.06;
    const qreal em = m_stripSquare - 2 * inset;
    for (const Strip& strip : m_strips) {
        for (std::size_t step = 0; step < strip.strokes.size(); ++step) {
            const int column = int(step) % across;
            if (column == 0 && step > 0) {
                y += m_stripSquare + kStripLineGap;
            }
            const QRectF square(m_margin + column * (m_stripSquare + kStripGap), y, m_stripSquare,
                                m_stripSquare);
            drawSquare(painter, square, SheetGrid::Tian, 0.6);
            painter.save();
            painter.translate(square.left() + inset, square.top() + inset);
            painter.scale(em, em);
            for (std::size_t done = 0; done < step; ++done) {
                painter.fillPath(strip.strokes.at(done), kDoneStroke);
            }
            painter.fillPath(strip.strokes.at(step), newStroke);
            painter.restore();
            drawText(painter, QString::number(step + 1), m_stripSquare * 0.22,
                     QPointF(square.left() + 1.2, square.top() + m_stripSquare * 0.22), width,
                     kNoteColour);
        }
        y += m_stripSquare + kStripLineGap;
    }
    QStringList notes;
    if (m_stripsLeftOut > 0) {
        notes << QStringLiteral("另有 %1 个字的笔顺未列出").arg(m_stripsLeftOut);
    }
    if (!m_withoutStrokeOrder.isEmpty()) {
        notes << QStringLiteral("无笔顺数据:%1").arg(m_withoutStrokeOrder);
    }
    if (!notes.isEmpty()) {
        drawText(painter, notes.join(QStringLiteral(";")), kNotePixels,
                 QPointF(m_margin, y + kNotePixels), width, kNoteColour);
    }
}

void PracticeSheet::paintCells(QPainter& painter, qreal top) const {
    const qreal width = m_page.width() - 2 * m_margin;
    const qreal left = m_margin + (width - m_columns * m_cell) / 2;
    if (m_layout.grid == SheetGrid::None) {
        // A dashed line at the signature's top and a baseline at its foot.
        const qreal inkTop = top + (m_cell - m_writing) / 2;
        QPen pen(kGuideColour, 0.6);
        pen.setDashPattern({4.0, 3.0});
        painter.setPen(pen);
        painter.drawLine(QPointF(m_margin, inkTop), QPointF(m_margin + width, inkTop));
        pen.setStyle(Qt::SolidLine);
        pen.setWidthF(0.9);
        painter.setPen(pen);
        painter.drawLine(QPointF(m_margin, inkTop + m_writing),
                         QPointF(m_margin + width, inkTop + m_writing));
        painter.setPen(Qt::NoPen);
        return;
    }
    for (int column = 0; column < m_columns; ++column) {
        drawSquare(painter, QRectF(left + column * m_cell, top, m_cell, m_cell), m_layout.grid,
                   0.8);
    }
}

void PracticeSheet::paintRow(QPainter& painter, const Row& row, qreal top) const {
    paintCells(painter, top);
    if (row.kind == RowKind::Guide || m_text.isEmpty()) {
        return;
    }
    const qreal width = m_page.width() - 2 * m_margin;
    const qreal left = m_margin + (width - m_columns * m_cell) / 2;
    const qreal copyWidth = m_ink.width() * m_scale;
    const int copies = row.kind == RowKind::Model ? 1 : std::max(1, m_columns / m_span);
    const QColor colour = row.kind == RowKind::Model ? m_colour : traceColour(row.trace);
    for (int copy = 0; copy < copies; ++copy) {
        painter.save();
        painter.translate(left + copy * m_span * m_cell + (m_span * m_cell - copyWidth) / 2,
                          top + (m_cell - m_writing) / 2);
        painter.scale(m_scale, m_scale);
        painter.translate(-m_ink.topLeft());
        painter.setClipRect(m_ink);
        painter.fillPath(m_text, colour);
        painter.restore();
    }
}

void PracticeSheet::paintPage(QPainter& painter, int page) const {
    if (page < 0 || page >= pageCount()) {
        return;
    }
    const Page& sheet = m_pages.at(std::size_t(page));
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    paintTitle(painter, sheet, page);
    qreal top = m_margin + 20 + 2 * kSubtitlePixels + 12;
    if (sheet.strips) {
        paintStrips(painter, top);
        top += stripsHeight(stripLines(m_strips.size()));
    }
    for (const Row& row : sheet.rows) {
        paintRow(painter, row, top);
        top += m_rowPitch;
    }
    painter.restore();
}

QImage PracticeSheet::pageImage(int page, int width) const {
    const int height = qRound(width * m_page.height() / m_page.width());
    QImage image(std::max(1, width), std::max(1, height), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.scale(image.width() / m_page.width(), image.width() / m_page.width());
    paintPage(painter, page);
    painter.end();
    return image;
}

QByteArray PracticeSheet::pdf() const {
    QByteArray document;
    QBuffer buffer(&document);
    buffer.open(QIODevice::WriteOnly);
    {
        const PdfPainting pdf(&buffer);
        QPdfWriter& writer = *pdf.writer;
        writer.setTitle(m_name);
        writer.setCreator(QStringLiteral("Inkvale"));
        writer.setPageSize(QPageSize(m_page, QPageSize::Point, QString(), QPageSize::ExactMatch));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        writer.setResolution(72);
        QPainter& painter = *pdf.painter;
        if (!painter.begin(&writer)) {
            return {};
        }
        for (int page = 0; page < pageCount(); ++page) {
            if (page > 0 && !writer.newPage()) {
                return {};
            }
            paintPage(painter, page);
        }
        if (!painter.end()) {
            return {};
        }
    }
    return reproduciblePdf(document);
}

QByteArray practiceSheetPdf(const SignatureLook& look, int slot, const QString& name,
                            const PracticeSheetLayout& layout) {
    return PracticeSheet(look, slot, name, layout).pdf();
}

} // namespace inkvale

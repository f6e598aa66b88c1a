#pragma once

#include "core/SignatureRenderer.h"

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QPainterPath>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <vector>

class QPainter;

namespace inkvale {

/// The paper a practice sheet is printed on.
enum class Paper {
    A4,     ///< 210 x 297 mm, 595 x 842 points
    Letter, ///< 8.5 x 11 in, 612 x 792 points
    A5,     ///< 148 x 210 mm, 420 x 595 points
};

/// The character grid behind a practice sheet's rows.
enum class SheetGrid {
    None, ///< a dashed line at the signature's top and a baseline at its foot
    Tian, ///< 田字格: squares halved across and down by dashed lines
    Mi,   ///< 米字格: 田字格 with the diagonals too
};

/// The colour the copies to trace are printed in.
enum class TraceColour {
    Red, ///< 描红: red, as bought practice books print them
    Ink, ///< the signature's own ink, lightened
};

/// The paper's size in points, portrait.
[[nodiscard]] QSizeF paperPoints(Paper paper);

/// How a practice sheet is laid out: after the title, a stroke-order strip for each Chinese
/// character and one model row in full ink come `traceRows` rows of copies to trace over,
/// fainter row by row, then `guideRows` rows of the grid alone. No guide rows make pages of
/// tracing only, no trace rows pages of grids only. Rows that do not fit on a page go on to
/// the next, which starts with the model row again: the signature is never shrunk to fit.
struct PracticeSheetLayout {
    Paper paper = Paper::A4;
    bool landscape = false;
    SheetGrid grid = SheetGrid::Tian;
    TraceColour tracing = TraceColour::Red;
    int traceRows = 4;
    int guideRows = 3;

    friend bool operator==(const PracticeSheetLayout&, const PracticeSheetLayout&) = default;
};

/// The most trace rows and guide rows a sheet takes, each.
inline constexpr int kMostPracticeRows = 12;

/// The faintness of trace row `row` (0 the first) of `rows`: the share of ink in the mix of ink
/// and paper, from a third on the first row down to a tenth on the last.
[[nodiscard]] qreal traceInkShare(int row, int rows);

/// The red of 描红 copies and of the new stroke in a stroke-order strip.
inline const QColor kTracingRed(214, 40, 40);

/// A practice sheet for a name in one style, laid out on its pages: the window previews a page
/// of it, the PDF prints them all, with the same drawing.
class PracticeSheet final {
public:
    /// The sheet for `name` in the style of catalogue slot `slot`, in `look`'s colour (its size,
    /// background and transparency are left out: the signature is printed at the height a hand
    /// writes it, on paper).
    PracticeSheet(const SignatureLook& look, int slot, const QString& name,
                  const PracticeSheetLayout& layout);

    /// The page's size in points, turned as the layout says.
    [[nodiscard]] QSizeF pageSize() const { return m_page; }
    [[nodiscard]] int pageCount() const { return int(m_pages.size()); }
    /// The height the signature is written at, in points.
    [[nodiscard]] qreal writingHeight() const { return m_writing; }

    /// Paints page `page` (0 the first) with `painter`, whose unit is the point and whose
    /// origin is the page's top left. Every text is filled as outlines.
    void paintPage(QPainter& painter, int page) const;

    /// Page `page` on white paper, `width` pixels wide, for a preview.
    [[nodiscard]] QImage pageImage(int page, int width) const;

    /// The sheet as a vector PDF of its pages, text as outlines and no font embedded; the same
    /// arguments always give the same bytes. Empty when the PDF could not be made.
    [[nodiscard]] QByteArray pdf() const;

private:
    enum class RowKind { Model, Trace, Guide };
    struct Row {
        RowKind kind = RowKind::Guide;
        int trace = 0; ///< for a trace row, its number among them, 0 the first
    };
    struct Strip {
        QString character;
        std::vector<QPainterPath> strokes;
    };
    struct Page {
        std::vector<Row> rows;
        bool strips = false; ///< the stroke-order strips are above its rows
    };

    void layOut();
    [[nodiscard]] qreal stripsHeight(int lines) const;
    [[nodiscard]] int stripLines(std::size_t strips) const;
    void paintTitle(QPainter& painter, const Page& page, int number) const;
    void paintStrips(QPainter& painter, qreal top) const;
    void paintRow(QPainter& painter, const Row& row, qreal top) const;
    void paintCells(QPainter& painter, qreal top) const;
    [[nodiscard]] QColor traceColour(int row) const;

    PracticeSheetLayout m_layout;
    QString m_name;
    QString m_caption;
    QPainterPath m_text; ///< the signature's outlines, in canvas pixels
    QRectF m_ink;        ///< their box
    QColor m_colour = Qt::black;
    QSizeF m_page;
    qreal m_margin = 0;
    qreal m_writing = 0;  ///< the signature's ink height on paper, in points
    qreal m_scale = 1;    ///< canvas pixels to points
    qreal m_cell = 0;     ///< a row's height and a grid square's side, in points
    qreal m_rowPitch = 0; ///< from one row's top to the next's
    int m_columns = 1;    ///< grid squares across a row
    int m_span = 1;       ///< grid squares a copy of the signature takes
    qreal m_stripSquare = 0;
    std::vector<Strip> m_strips;  ///< the characters with a stroke order, as far as they fit
    int m_stripsLeftOut = 0;      ///< characters with a stroke order that did not fit
    QString m_withoutStrokeOrder; ///< the Chinese characters without one
    int m_totalTraceRows = 0;
    std::vector<Page> m_pages;
};

/// The practice sheet for `name` in the style of catalogue slot `slot` as a vector PDF (see
/// PracticeSheet::pdf()).
[[nodiscard]] QByteArray practiceSheetPdf(const SignatureLook& look, int slot, const QString& name,
                                          const PracticeSheetLayout& layout);

} // namespace inkvale

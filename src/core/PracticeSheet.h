#pragma once

#include "core/SignatureRenderer.h"

#include <QByteArray>
#include <QSizeF>
#include <QString>

namespace inkvale {

/// The paper a practice sheet is printed on.
enum class Paper {
    A4,     ///< 210 x 297 mm, 595 x 842 points
    Letter, ///< 8.5 x 11 in, 612 x 792 points
};

/// The paper's size in points, portrait.
[[nodiscard]] QSizeF paperPoints(Paper paper);

/// How a practice sheet is laid out: after the title and one model row in full ink come
/// `traceRows` rows of copies to trace over, fainter row by row, then `guideRows` rows with
/// only the writing guides.
struct PracticeSheetLayout {
    Paper paper = Paper::A4;
    int traceRows = 4;
    int guideRows = 3;
};

/// The most trace rows and guide rows a sheet takes, each.
inline constexpr int kMostPracticeRows = 12;

/// The faintness of trace row `row` (0 the first) of `rows`: the share of ink in the mix of ink
/// and paper, from a third on the first row down to a tenth on the last.
[[nodiscard]] qreal traceInkShare(int row, int rows);

/// A practice sheet for `name` in the style of catalogue slot `slot`, drawn at `look`'s size and
/// colour (its background and transparency are left out: the sheet is on paper), as a one-page
/// vector PDF: every text, the title included, is outlines, and no font is embedded. The title
/// names the name and the style's caption. Empty when the PDF could not be made; the same
/// arguments always give the same bytes.
[[nodiscard]] QByteArray practiceSheetPdf(const SignatureLook& look, int slot, const QString& name,
                                          const PracticeSheetLayout& layout);

} // namespace inkvale

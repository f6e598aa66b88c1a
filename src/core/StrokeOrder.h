#pragma once

#include <QPointF>

#include <vector>

namespace inkvale {

/// One stroke of a character as a hand writes it: its median, the line the brush's centre
/// follows from where it touches the paper to where it leaves it.
using StrokeMedian = std::vector<QPointF>;

/// The strokes of `character` in its standard stroke order (笔顺), each its median on the em
/// square of a regular-script form: x from 0 at the left to 1 at the right, y from 0 at the
/// em's top to 1 at its foot. Empty for a character the program has no stroke order for.
///
/// The data is that of hanzi-writer-data, derived from Make Me a Hanzi (Arphic Public License),
/// carried inside the program: 9,574 characters, on a 256-step grid.
[[nodiscard]] std::vector<StrokeMedian> strokeMedians(char32_t character);

/// The simplified and traditional variants of `character` that have a stroke order, from the
/// Unicode Han Database: a style may draw 张 as 張, to be written with 張's strokes.
[[nodiscard]] std::vector<char32_t> strokeVariants(char32_t character);

/// How many characters have a stroke order.
[[nodiscard]] int strokeOrderCharacters();

} // namespace inkvale

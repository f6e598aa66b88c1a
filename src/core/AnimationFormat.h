#pragma once

#include <QString>
#include <QStringView>

#include <optional>

namespace inkvale {

/// The kinds of animated file the renderer writes.
enum class AnimationFormat {
    Gif,  ///< animated GIF, a palette of the signature's colours
    Webp, ///< animated WebP, lossless
    Svg,  ///< SVG outlines uncovered by SMIL animation
};

/// The animation format named by the extension of `fileName` (".gif", ".webp" or ".svg", in
/// any case); nothing for any other name.
[[nodiscard]] std::optional<AnimationFormat> animationFormatOfFileName(const QString& fileName);

/// The animation format named `name` ("gif", "webp" or "svg", in any case); nothing otherwise.
[[nodiscard]] std::optional<AnimationFormat> animationFormatNamed(QStringView name);

/// The file name extension of `format`, without the dot, e.g. "gif".
[[nodiscard]] QString extensionOf(AnimationFormat format);

} // namespace inkvale

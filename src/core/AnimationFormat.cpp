#include "core/AnimationFormat.h"

#include <QFileInfo>

#include <array>
#include <utility>

namespace inkvale {

namespace {

constexpr std::array<std::pair<AnimationFormat, QStringView>, 3> kExtensions{{
    {AnimationFormat::Gif, u"gif"},
    {AnimationFormat::Webp, u"webp"},
    {AnimationFormat::Svg, u"svg"},
}};

} // namespace

std::optional<AnimationFormat> animationFormatOfFileName(const QString& fileName) {
    const QString suffix = QFileInfo(fileName).suffix();
    return suffix.isEmpty() ? std::nullopt : animationFormatNamed(suffix);
}

std::optional<AnimationFormat> animationFormatNamed(QStringView name) {
    for (const auto& [format, extension] : kExtensions) {
        if (name.compare(extension, Qt::CaseInsensitive) == 0) {
            return format;
        }
    }
    return std::nullopt;
}

QString extensionOf(AnimationFormat format) {
    for (const auto& [known, extension] : kExtensions) {
        if (known == format) {
            return extension.toString();
        }
    }
    return {};
}

} // namespace inkvale

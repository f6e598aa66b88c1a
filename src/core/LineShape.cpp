#include "core/LineShape.h"

namespace inkvale {

const std::vector<LineShapePreset>& lineShapePresets() {
    // The classic forms of a written signature: a line that climbs towards its end, a surname
    // set above the given name, a quick hand whose characters lean and run into each other,
    // and a column as signed on forms and scrolls.
    static const std::vector<LineShapePreset> presets{
        {QStringLiteral("rising"), QStringLiteral("上扬签"),
         LineShape{.spacingEm = 0.05, .slantDegrees = 6.0, .riseDegrees = 12.0}},
        {QStringLiteral("big-surname"), QStringLiteral("姓大名小"),
         LineShape{.spacingEm = 0.05, .firstScale = 1.5}},
        {QStringLiteral("compact"), QStringLiteral("紧凑连写"),
         LineShape{.spacingEm = -0.15, .slantDegrees = 15.0}},
        {QStringLiteral("vertical"), QStringLiteral("竖排落款"), LineShape{.vertical = true}},
    };
    return presets;
}

} // namespace inkvale

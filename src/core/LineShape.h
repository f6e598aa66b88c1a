#pragma once

#include <QString>

#include <vector>

namespace inkvale {

/// How the characters of a name stand on their line. Every member at its default draws the
/// name exactly as the canvas does; the drawing core applies the shape, so every output of the
/// same look draws the same.
struct LineShape {
    /// Extra room between characters in ems, from -0.3 (overlapping) to +1 (open).
    double spacingEm = 0.0;
    /// A shear that keeps the baseline, -30 to +30 degrees; positive leans right.
    double slantDegrees = 0.0;
    /// The line turned about its start, -20 to +20 degrees; positive rises towards its end.
    double riseDegrees = 0.0;
    /// The first character's size over the others', 0.5 to 2, bottoms aligned.
    double firstScale = 1.0;
    /// Written top to bottom.
    bool vertical = false;

    static constexpr double kMinSpacingEm = -0.3;
    static constexpr double kMaxSpacingEm = 1.0;
    static constexpr double kMaxSlantDegrees = 30.0;
    static constexpr double kMaxRiseDegrees = 20.0;
    static constexpr double kMinFirstScale = 0.5;
    static constexpr double kMaxFirstScale = 2.0;

    /// True when every member is at its default, so that the canvas's own drawing applies.
    [[nodiscard]] bool isPlain() const { return *this == LineShape{}; }
    friend bool operator==(const LineShape&, const LineShape&) = default;
};

/// A seal (印章) stamped beside the signature, in the seal-script style's face.
enum class SealText {
    None,    ///< no seal
    Surname, ///< the name's first character
    Name,    ///< the whole name
};

/// A named combination of line shapes offered to the user.
struct LineShapePreset {
    QString id;      ///< as the command line takes it, e.g. "rising"
    QString caption; ///< as the window shows it, e.g. "上扬签"
    LineShape shape;
};

/// The presets the window and the command line offer, in the order the window lists them.
[[nodiscard]] const std::vector<LineShapePreset>& lineShapePresets();

} // namespace inkvale

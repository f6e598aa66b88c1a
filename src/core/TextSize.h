#pragma once

namespace inkvale {

/// A text size in points that can be read and changed: all the size dialog knows of the canvas.
class TextSize {
public:
    virtual ~TextSize() = default;

    /// The size in points (single precision, as the canvas stores it).
    [[nodiscard]] virtual float fontSize() const = 0;
    /// Sets the size in points for what is drawn next; `points` must be positive.
    virtual void setFontSize(float points) = 0;
};

} // namespace inkvale

#pragma once

#include "core/TextSize.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPointF>
#include <QSizeF>
#include <QString>

namespace inkvale {

/// The drawing model of the signature canvas: a picture box with a font, a text colour, a
/// background picture, a print position and a persistent image that holds everything drawn.
///
/// Positions and sizes are in twips measured from the top left of the inner drawing area, which
/// lies inside a border of `borderPixels` on every side. The persistent image covers the inner
/// area at the device pixel ratio the surface is drawn for.
class SignatureSurface : public TextSize {
public:
    /// The designed canvas: 340 x 97 pixels outside, a two-pixel sunken border.
    static constexpr QSize kDesignedOuterPixels{340, 97};
    static constexpr int kDesignedBorderPixels = 2;

    explicit SignatureSurface(QSize outerPixels = kDesignedOuterPixels,
                              int borderPixels = kDesignedBorderPixels);
    ~SignatureSurface() override;
    SignatureSurface(const SignatureSurface&) = delete;
    SignatureSurface& operator=(const SignatureSurface&) = delete;

    [[nodiscard]] QString fontName() const { return m_fontName; }
    /// Sets the face name; the size stays as it is.
    void setFontName(const QString& faceName) { m_fontName = faceName; }
    /// The font size in points (single precision, as the canvas stores it).
    [[nodiscard]] float fontSize() const override { return m_fontSize; }
    /// Sets the size in points; the face name stays as it is. `points` must be positive.
    void setFontSize(float points) override { m_fontSize = points; }
    /// The font that measuring and printing use.
    [[nodiscard]] QFont font() const;

    [[nodiscard]] QColor foreColor() const { return m_foreColor; }
    /// The colour of text printed from now on.
    void setForeColor(const QColor& colour) { m_foreColor = colour; }
    [[nodiscard]] QColor backColor() const { return m_backColor; }

    [[nodiscard]] QImage picture() const { return m_picture; }
    /// Lays `picture` under everything else, at its natural size from the top left corner. The
    /// persistent image is redrawn with the new background and loses what was printed.
    void setPicture(const QImage& picture);

    /// The print position in twips.
    [[nodiscard]] QPointF currentPosition() const { return m_current; }
    void setCurrentPosition(QPointF twips) { m_current = twips; }

    /// Outer size (border included) in twips.
    [[nodiscard]] QSizeF outerSize() const;
    /// Width of `text` in the current font, in twips.
    [[nodiscard]] qreal textWidth(const QString& text) const;
    /// Height of one line of text in the current font, in twips.
    [[nodiscard]] qreal textHeight(const QString& text) const;

    /// Erases everything printed: background colour and picture stay, print position is (0, 0).
    void cls();
    /// Prints `text` as one line with the top left of its text cell at the print position, with
    /// a transparent background. The print position moves to the start of the next line.
    void print(const QString& text);

    /// The persistent image: background, picture and printed text of the inner drawing area.
    [[nodiscard]] const QImage& image() const { return m_image; }
    /// Inner drawing area in device-independent pixels.
    [[nodiscard]] QSize innerPixels() const;
    [[nodiscard]] int borderPixels() const { return m_border; }

protected:
    /// The device pixel ratio the persistent image should have; the canvas widget answers with
    /// its screen's ratio.
    [[nodiscard]] virtual qreal targetDevicePixelRatio() const { return 1.0; }
    /// Called after the persistent image has changed.
    virtual void imageChanged() {}

private:
    void repaintBackground();

    QSize m_outer;
    int m_border = kDesignedBorderPixels;
    QString m_fontName = QStringLiteral("宋体");
    float m_fontSize = 42.0F;
    QColor m_foreColor;
    QColor m_backColor;
    QImage m_picture;
    QPointF m_current;
    QImage m_image;
};

/// Where a text of `textSize` is printed so that it is centred on a canvas of `outerSize` (both
/// in twips). The outer size is used, border included, so the text lands one border width right
/// of and below the exact centre of the drawing area. Negative for text larger than the canvas.
[[nodiscard]] QPointF centredPrintPosition(QSizeF outerSize, QSizeF textSize);

/// Clears `surface` and prints `name` centred on it in the face `faceName`, at the surface's
/// current size and colour.
void drawSignature(SignatureSurface& surface, const QString& faceName, const QString& name);

} // namespace inkvale

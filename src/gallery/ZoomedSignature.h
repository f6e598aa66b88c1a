#pragma once

#include "core/SignatureRenderer.h"

#include <QImage>
#include <QString>
#include <QWidget>

#include <optional>

class QLabel;
class QPushButton;
class QScrollArea;
class QSlider;

namespace inkvale {

/// A signature as the gallery shows it large: style, name and look.
struct GallerySignature {
    int slot = 0;
    QString name;
    SignatureLook look;
};

/// The picture of the large preview: drawn by the core at the zoom and the screen's pixel
/// ratio, so that it is sharp at any size and scale, never a smaller picture scaled up.
class ZoomedPicture final : public QWidget {
    Q_OBJECT

public:
    explicit ZoomedPicture(QWidget* parent = nullptr);

    /// Shows `picture` (device pixels, its pixel ratio set) at its size in logical pixels.
    void setPicture(const QImage& picture);
    [[nodiscard]] const QImage& picture() const { return m_picture; }
    [[nodiscard]] QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_picture;
};

/// The large, zoomable preview of the design: the zoom is set with the − and + buttons, the
/// slider, or Ctrl and the mouse wheel over the picture.
class ZoomedSignature final : public QWidget {
    Q_OBJECT

public:
    static constexpr int kMinZoom = 50;  ///< per cent
    static constexpr int kMaxZoom = 800; ///< per cent
    static constexpr int kZoomStep = 25; ///< per cent, for the buttons and the wheel

    explicit ZoomedSignature(QWidget* parent = nullptr);

    /// Shows `signature`, or, when there is none, a line saying that nothing is designed yet.
    void setSignature(const std::optional<GallerySignature>& signature);
    /// The zoom in per cent of the canvas's size.
    [[nodiscard]] int zoom() const;
    void setZoom(int percent);

    [[nodiscard]] ZoomedPicture* picture() const { return m_picture; }
    [[nodiscard]] QSlider* slider() const { return m_slider; }
    [[nodiscard]] QPushButton* zoomOutButton() const { return m_zoomOut; }
    [[nodiscard]] QPushButton* zoomInButton() const { return m_zoomIn; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void redraw();

    std::optional<GallerySignature> m_signature;
    QScrollArea* m_scroll = nullptr;
    ZoomedPicture* m_picture = nullptr;
    QLabel* m_nothing = nullptr;
    QPushButton* m_zoomOut = nullptr;
    QSlider* m_slider = nullptr;
    QPushButton* m_zoomIn = nullptr;
    QLabel* m_percent = nullptr;
};

} // namespace inkvale

#pragma once

#include "core/SignatureSurface.h"

#include <QFrame>

namespace inkvale {

/// The signature canvas on the main window: a sunken picture box that shows its persistent
/// image, drawn at the device pixel ratio of the screen it is on.
class SignatureCanvas final : public QFrame, public SignatureSurface {
    Q_OBJECT

public:
    explicit SignatureCanvas(QWidget* parent = nullptr);

    /// Where a child control designed at `designed` (twips, inside the drawing area) goes, in
    /// this widget's coordinates.
    [[nodiscard]] QRect childRect(QRect designed) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    [[nodiscard]] qreal targetDevicePixelRatio() const override;
    void imageChanged() override;
};

} // namespace inkvale

#pragma once

#include <QtGlobal>

class QRegion;
class QWidget;

namespace inkvale {

/// The extended window style bit that makes a window layered: its opacity can be set.
inline constexpr qint32 kLayeredWindowStyle = 0x80000;

/// What top-level windows look like beyond Qt's own means: style words, opacity, shape.
class WindowEffects {
public:
    virtual ~WindowEffects() = default;

    /// The extended style word of a top-level window.
    [[nodiscard]] virtual qint32 extendedWindowStyle(const QWidget& window) const = 0;

    /// Replaces the extended style word. Setting kLayeredWindowStyle makes the window layered:
    /// it shows nothing until its first setWindowAlpha.
    virtual void setExtendedWindowStyle(QWidget& window, qint32 style) = 0;

    /// Sets the opacity of a layered window: 0 fully transparent, 255 opaque. Where the system
    /// cannot make windows translucent this has no visible effect.
    virtual void setWindowAlpha(QWidget& window, quint8 alpha) = 0;

    /// Clips a top-level window to `devicePixels`, a region in the window's device pixels.
    virtual void setWindowRegion(QWidget& window, const QRegion& devicePixels) = 0;
};

} // namespace inkvale

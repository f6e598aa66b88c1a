#pragma once

#include <QImage>
#include <QRegion>
#include <QWidget>

#include <functional>

class QTimer;

namespace inkvale {

class Platform;

/// The window's outer size in device pixels at `ratio`, each side rounded to the nearest pixel
/// (halves to the even neighbour).
[[nodiscard]] QSize sizeInDevicePixels(QSize logical, qreal ratio);

/// A rectangle of `size` device pixels whose corners are rounded by an ellipse of
/// `cornerWidth` x `cornerHeight` pixels.
[[nodiscard]] QRegion roundedRectRegion(QSize size, int cornerWidth, int cornerHeight);

/// The start-up splash: written files first, then a rounded window that fades in, waits for a
/// click, fades out and hands over to the main window. Return, Enter, Space and Escape do what
/// a click does.
class Form2 final : public QWidget {
    Q_OBJECT

public:
    /// Designed size of the splash: 8985 x 5910 twips.
    static constexpr QSize kSize{599, 394};

    /// A splash that calls `showMainWindow` when it hands over, then unloads itself.
    Form2(Platform& platform, std::function<void()> showMainWindow);

    /// Runs the load handler, then shows the splash centred on its screen.
    void loadAndShow();

    /// Makes the window layered and writes the embedded files.
    void Form_Load();
    /// Clips the splash to its rounded shape.
    void Form_Activate();
    /// One fade-in step.
    void Timer1_Timer();
    /// A click: the fade-in stops and the fade-out starts.
    void Form_Click();
    /// One fade-out step; the last one hands over.
    void Timer2_Timer();

    /// Clips `form` to a rectangle of its own size in device pixels with rounded corners.
    void ApplyRoundRegion(QWidget& form, int cornerWidth, int cornerHeight);

    [[nodiscard]] QTimer* timer1() const { return m_timer1; }
    [[nodiscard]] QTimer* timer2() const { return m_timer2; }
    [[nodiscard]] qint32 exStyle() const { return ExStyle; }

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    Platform& m_platform;
    std::function<void()> m_showMainWindow;
    QImage m_picture;
    QTimer* m_timer1 = nullptr;
    QTimer* m_timer2 = nullptr;
    bool m_handingOver = false;
    QRegion m_region; ///< the shape last given to the window, in device pixels

    qint32 ExStyle = 0;
    quint8 FadeInLevel = 0;
    quint8 FadeOutLevel = 0;
};

} // namespace inkvale

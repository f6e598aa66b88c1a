#pragma once

#include "core/OutputFormat.h"
#include "core/SignatureRenderer.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

class QAction;
class QLineEdit;
class QMenu;
class QMimeData;
class QPushButton;
class QWidget;

namespace inkvale {

class PadWindow;
class Platform;
class SignatureCanvas;
class TemporaryFolder;
struct SaveQuestion;

/// What the canvas shows since "设计签名": the style, the name and how it was drawn.
struct DesignedSignature {
    int slot = 0;
    QString name;
    SignatureLook look; ///< size, colour and background picture of the canvas at the time
};

/// The look of what `canvas` draws now: its size, colour and background picture.
[[nodiscard]] SignatureLook lookOf(const SignatureCanvas& canvas);

/// Padding around the ink, in canvas pixels, of a copied signature and of "裁剪到笔迹".
inline constexpr int kUsePadding = 4;
/// The resolution of a copied or dragged picture: sharp on paper at its size on screen.
inline constexpr qreal kCopyDotsPerInch = 300.0;
/// How much larger than on the canvas the designed signature is shown to trace over.
inline constexpr double kTracingScale = 2.0;

/// What "复制签名" and a drag out of the canvas hand to other programs: a PNG (transparent
/// without a background picture) cut to the ink plus kUsePadding, at kCopyDotsPerInch and
/// stamped with that resolution, so that it prints at its size on screen; the same as SVG
/// ("image/svg+xml"); and the picture as a plain image, on white where it is clear.
[[nodiscard]] std::unique_ptr<QMimeData> signatureMimeData(const DesignedSignature& signature);

/// The ways to use a designed signature elsewhere, beside "保存签名": the canvas's context menu
/// (right click, the menu key, Shift+F10) and the window's shortcuts for 复制签名 (Ctrl+C),
/// 导出签名… (Ctrl+Shift+S), 导出动态签名…, 打印签名… (Ctrl+P) and 生成练习字帖…, and dragging
/// the signature out of the canvas. They are enabled exactly when "保存签名" is.
class SignatureUse final : public QObject {
    Q_OBJECT

public:
    /// Adds the actions to `window`, the menu to `canvas`, and follows `saveButton`'s state.
    SignatureUse(Platform& platform, QWidget& window, SignatureCanvas& canvas,
                 QPushButton& saveButton);
    ~SignatureUse() override;

    /// Records what the canvas now shows.
    void setDesigned(const DesignedSignature& signature);
    [[nodiscard]] const DesignedSignature& designed() const { return m_signature; }
    /// The line's shape and the seal of every output from now on; the canvas draws as it does.
    void setLayout(const LineShape& shape, SealText seal);
    /// What the outputs draw: the design with the line's shape and the seal, the whole name fitted.
    [[nodiscard]] DesignedSignature output() const;

    [[nodiscard]] QMenu* menu() const { return m_menu; }
    [[nodiscard]] QAction* copyAction() const { return m_copy; }
    [[nodiscard]] QAction* exportAction() const { return m_export; }
    [[nodiscard]] QAction* animationAction() const { return m_animation; }
    [[nodiscard]] QAction* printAction() const { return m_print; }
    [[nodiscard]] QAction* practiceAction() const { return m_practice; }
    [[nodiscard]] QAction* handAction() const { return m_hand; }
    /// The window "手写签名" while it is open.
    [[nodiscard]] PadWindow* padWindow() const;

    /// "复制签名": puts signatureMimeData() on the clipboard.
    void copySignature();
    /// Lets Ctrl+C in `box` copy the signature while no text is selected there; with a
    /// selection it copies the text, as a text box does.
    void copyFromWhileNothingSelected(QLineEdit& box);
    /// "导出签名…": asks for the file, its format, resolution and trim, and writes it.
    void exportSignature();
    /// "导出动态签名…": the same question, with the first animated format chosen.
    void exportAnimation();
    /// "打印签名…": prints the signature at its real size through the print dialog.
    void printSignature();
    /// "生成练习字帖…": asks for the paper and the rows, then for the file, and writes it.
    void makePracticeSheet();
    /// "手写签名…" (Ctrl+Shift+H, enabled always): opens the window of the drawing pad, with
    /// the designed signature to trace when there is one, or brings it to the front.
    void openDrawingPad();

    /// What a drag out of the canvas carries: signatureMimeData() and a PNG file of it, in a
    /// folder of the program's own that goes when the program ends or the next drag starts.
    [[nodiscard]] std::unique_ptr<QMimeData> dragMimeData();

signals:
    /// What the outputs draw has changed: a new design, or a new shape of its line.
    void designChanged();
    /// The signature has been put on the clipboard.
    void copied();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QAction* addAction(const QString& text, const QString& objectName);
    void followSaveButton();
    /// Asks for the file with the format `firstFilter` of the list chosen, and writes it.
    void exportAs(int firstFilter);
    void popUpAt(const QPoint& global);
    /// Writes `bytes` to `path`, or tells why it failed as "保存签名" tells it.
    void writeChosenFile(const QString& path, const QByteArray& bytes, const Outcome& drawn);
    /// Adds to `question` the preview of the name being written, for the animated formats.
    void addAnimationPreview(SaveQuestion& question) const;

    Platform& m_platform;
    QWidget& m_window;
    SignatureCanvas& m_canvas;
    QPushButton& m_saveButton;
    DesignedSignature m_signature;
    LineShape m_shape;
    SealText m_seal = SealText::None;
    QMenu* m_menu = nullptr;
    QAction* m_copy = nullptr;
    QAction* m_export = nullptr;
    QAction* m_animation = nullptr;
    QAction* m_print = nullptr;
    QAction* m_practice = nullptr;
    QAction* m_hand = nullptr;
    QPointer<PadWindow> m_pad;
    QAction* m_menuKey = nullptr;
    QLineEdit* m_nameBox = nullptr;
    QPoint m_pressedAt;
    bool m_pressed = false;
    std::unique_ptr<TemporaryFolder> m_dragFolder;
};

/// A Chinese sentence on why writing `path` failed, for a box that begins "签名图片保存失败!".
[[nodiscard]] QString fileWriteFailureText(const Outcome& result, const QString& path);

} // namespace inkvale

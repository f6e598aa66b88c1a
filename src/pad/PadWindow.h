#pragma once

#include "core/PenStrokes.h"
#include "core/TraceScore.h"

#include <QWidget>

#include <memory>
#include <optional>
#include <vector>

class QLabel;
class QListWidget;
class QMimeData;
class QPushButton;
class QSpinBox;
class QTabWidget;

namespace inkvale {

class DrawingPad;
class Platform;
class TemporaryFolder;

/// A tracing kept for the window's life: its strokes, on the model's pixels, and its score.
struct KeptAttempt {
    HandDrawing drawing;
    TraceScore score;
};

/// How many of the best tracings the window keeps.
inline constexpr int kKeptAttempts = 5;

/// What "复制" hands to other programs for a hand drawing, as 复制签名 does for a designed one:
/// a PNG at 300 dpi on a clear canvas cut to the ink, the same as SVG, and a plain image on white.
[[nodiscard]] std::unique_ptr<QMimeData> handMimeData(const HandDrawing& drawing);

/// The window "手写签名": a drawing pad ("手写签名" page) and tracing practice over the designed
/// signature ("描红练习" page). The drawing leaves it as a designed signature does: copied,
/// exported in every format (vectors as filled outlines) and printed, through the core's
/// export (HandExport), and it is saved and opened as a strokes file. Files and dialogs go
/// through the platform.
class PadWindow final : public QWidget {
    Q_OBJECT

public:
    /// `model`: the designed signature to trace; none leaves the tracing page without one.
    PadWindow(Platform& platform, std::optional<TracingModel> model, QWidget* parent = nullptr);
    ~PadWindow() override;

    [[nodiscard]] DrawingPad& pad() const { return *m_pad; }
    [[nodiscard]] DrawingPad& tracingPad() const { return *m_tracing; }
    [[nodiscard]] QTabWidget& pages() const { return *m_pages; }
    [[nodiscard]] const std::vector<KeptAttempt>& kept() const { return m_kept; }

    /// "复制": handMimeData() of the drawing onto the clipboard.
    void copyDrawing();
    /// What dragging "拖出签名" hands over: handMimeData(), and the PNG as a file in a folder of
    /// the program's own (for file managers), which goes when the window does or the next drag
    /// starts. Null when there is nothing drawn.
    [[nodiscard]] std::unique_ptr<QMimeData> dragMimeData();
    /// "导出…": asks for the file and its format, and writes it.
    void exportDrawing();
    /// "打印…": prints the drawing at the canvas's size through the print dialog.
    void printDrawing();
    /// "保存笔迹…" and "打开笔迹…".
    void saveStrokes();
    void openStrokes();
    /// "评分": scores the tracing on the tracing pad, keeps it among the best, and clears the pad.
    void scoreAttempt();
    /// "导出最佳…": exports the best tracing kept.
    void exportBest();

private:
    QWidget* drawingPage();
    QWidget* tracingPage();
    void exportHand(const HandDrawing& drawing, const QString& name);
    void followDrawing();

    Platform& m_platform;
    std::optional<TracingModel> m_model;
    QTabWidget* m_pages = nullptr;
    DrawingPad* m_pad = nullptr;
    DrawingPad* m_tracing = nullptr;
    QSpinBox* m_width = nullptr;
    std::vector<QWidget*> m_needInk;
    QLabel* m_result = nullptr;
    QLabel* m_resultPicture = nullptr;
    QListWidget* m_best = nullptr;
    QPushButton* m_exportBest = nullptr;
    std::vector<KeptAttempt> m_kept;
    std::unique_ptr<TemporaryFolder> m_dragFolder;
};

} // namespace inkvale

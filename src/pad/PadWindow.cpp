#include "pad/PadWindow.h"

#include "core/HandExport.h"
#include "pad/DrawingPad.h"
#include "platform/Platform.h"
#include "platform/files/AtomicFile.h"
#include "platform/files/TemporaryFolder.h"

#include <QAction>
#include <QApplication>
#include <QBoxLayout>
#include <QClipboard>
#include <QDir>
#include <QDrag>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTabWidget>
#include <QUrl>

#include <algorithm>
#include <array>

namespace inkvale {

namespace {

/// "拖出签名": pressed and moved, it hands the drawing to another program as a drag.
class DragHandle final : public QLabel {
public:
    DragHandle(PadWindow& window, QWidget* parent)
        : QLabel(QStringLiteral("⠿ 拖出签名"), parent)
        , m_window(window) {
        setObjectName(QStringLiteral("DragDrawing"));
        setAccessibleName(QStringLiteral("拖出签名"));
        setAccessibleDescription(QStringLiteral("按住并拖到其他程序或文件夹,即放入手写签名"));
        setToolTip(accessibleDescription());
        setCursor(Qt::OpenHandCursor);
        setFrameShape(QFrame::StyledPanel);
        setMargin(4);
    }

protected:
    void mousePressEvent(QMouseEvent* event) override {
        m_pressedAt = event->button() == Qt::LeftButton ? event->position().toPoint() : QPoint();
        m_pressed = event->button() == Qt::LeftButton;
    }
    void mouseReleaseEvent(QMouseEvent* /*event*/) override { m_pressed = false; }
    void mouseMoveEvent(QMouseEvent* event) override {
        if (!m_pressed || (event->position().toPoint() - m_pressedAt).manhattanLength() <
                              QApplication::startDragDistance()) {
            return;
        }
        m_pressed = false;
        std::unique_ptr<QMimeData> handed = m_window.dragMimeData();
        if (!handed) {
            return;
        }
        auto* drag = new QDrag(this);
        const QImage shown = qvariant_cast<QImage>(handed->imageData());
        drag->setMimeData(handed.release());
        if (!shown.isNull()) {
            drag->setPixmap(QPixmap::fromImage(
                shown.scaled(shown.size() / 4, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
        }
        drag->exec(Qt::CopyAction);
    }

private:
    PadWindow& m_window;
    QPoint m_pressedAt;
    bool m_pressed = false;
};

/// Padding around the ink of a copied or trimmed drawing, in canvas pixels.
constexpr int kHandPadding = 4;
constexpr qreal kCopyDpi = 300.0;
/// Frames per second of an animated export, inkvale-render's default.
constexpr int kHandFps = 25;
/// The pen of the tracing pad, about as wide as the model's strokes shown large.
constexpr double kTracingPenWidth = 8;

/// The formats of "导出…", in the order the dialog lists them.
struct HandFormat {
    QStringView filter;
    OutputFormat format;
    bool transparent;
    std::optional<AnimationFormat> animation;
};
constexpr std::array<HandFormat, 8> kHandFormats{{
    {u"透明背景 PNG (*.png)", OutputFormat::Png, true, std::nullopt},
    {u"PNG (*.png)", OutputFormat::Png, false, std::nullopt},
    {u"JPEG (*.jpg)", OutputFormat::Jpeg, false, std::nullopt},
    {u"SVG (矢量) (*.svg)", OutputFormat::Svg, false, std::nullopt},
    {u"PDF (矢量) (*.pdf)", OutputFormat::Pdf, false, std::nullopt},
    {u"动态签名 GIF (*.gif)", OutputFormat::Png, false, AnimationFormat::Gif},
    {u"动态签名 WebP (*.webp)", OutputFormat::Png, false, AnimationFormat::Webp},
    {u"动态签名 SVG (*.svg)", OutputFormat::Svg, false, AnimationFormat::Svg},
}};

const QString kStrokesFilter = QStringLiteral("笔迹文件 (*.json)");

QString picturesFolder() {
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    return pictures.isEmpty() ? QDir::homePath() : pictures;
}

QPushButton* button(const QString& text, const QString& objectName, QWidget* parent) {
    auto* made = new QPushButton(text, parent);
    made->setObjectName(objectName);
    made->setAccessibleName(text.endsWith(QChar(0x2026)) ? text.chopped(1) : text);
    return made;
}

/// The look of a drawing that leaves the window: the designed canvas, white, at 300 dpi.
SignatureLook handLook(qreal dpi, bool transparent) {
    SignatureLook look;
    look.dotsPerInch = dpi;
    look.transparent = transparent;
    return look;
}

} // namespace

std::unique_ptr<QMimeData> handMimeData(const HandDrawing& drawing) {
    const HandExport hand(drawing, handLook(kCopyDpi, true));
    const ExportDrawing png =
        hand.draw(OutputFormat::Png, kHandPadding, QStringLiteral("手写签名"));
    const ExportDrawing svg =
        hand.draw(OutputFormat::Svg, kHandPadding, QStringLiteral("手写签名"));
    auto data = std::make_unique<QMimeData>();
    data->setData(QStringLiteral("image/png"), png.bytes());
    data->setData(QStringLiteral("image/svg+xml"), svg.bytes());
    QImage plain(png.image.size(), QImage::Format_RGB32);
    plain.fill(Qt::white);
    {
        QPainter painter(&plain);
        painter.drawImage(0, 0, png.image);
    }
    plain.setDotsPerMeterX(png.image.dotsPerMeterX());
    plain.setDotsPerMeterY(png.image.dotsPerMeterY());
    data->setImageData(plain);
    return data;
}

PadWindow::PadWindow(Platform& platform, std::optional<TracingModel> model, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_platform(platform)
    , m_model(std::move(model)) {
    setObjectName(QStringLiteral("PadWindow"));
    setWindowTitle(QStringLiteral("手写签名"));
    setAccessibleName(QStringLiteral("手写签名"));
    setAttribute(Qt::WA_DeleteOnClose);
    m_pages = new QTabWidget(this);
    m_pages->setObjectName(QStringLiteral("PadPages"));
    m_pages->setAccessibleName(QStringLiteral("手写签名页面"));
    m_pages->addTab(drawingPage(), QStringLiteral("手写签名"));
    m_pages->addTab(tracingPage(), QStringLiteral("描红练习"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pages);
    // Ctrl+Z undoes the last stroke of the page shown.
    auto* undo = new QAction(QStringLiteral("撤销"), this);
    undo->setShortcut(QKeySequence::Undo);
    connect(undo, &QAction::triggered, this,
            [this] { (m_pages->currentIndex() == 0 ? m_pad : m_tracing)->undo(); });
    addAction(undo);
    auto* copy = new QAction(QStringLiteral("复制"), this);
    copy->setShortcut(QKeySequence::Copy);
    connect(copy, &QAction::triggered, this, &PadWindow::copyDrawing);
    addAction(copy);
    followDrawing();
    m_pad->setFocus();
}

PadWindow::~PadWindow() = default;

QWidget* PadWindow::drawingPage() {
    auto* page = new QWidget(this);
    m_pad = new DrawingPad(page);
    m_pad->setObjectName(QStringLiteral("DrawingPad"));
    m_pad->setAccessibleName(QStringLiteral("手写板"));
    m_pad->setAccessibleDescription(QStringLiteral("用鼠标、触屏或手写笔在此书写签名"));
    auto* undo = button(QStringLiteral("撤销"), QStringLiteral("UndoStroke"), page);
    auto* clear = button(QStringLiteral("清除"), QStringLiteral("ClearPad"), page);
    auto* colour = button(QStringLiteral("颜色…"), QStringLiteral("PenColour"), page);
    auto* widthLabel = new QLabel(QStringLiteral("笔宽(&W):"), page);
    m_width = new QSpinBox(page);
    m_width->setObjectName(QStringLiteral("PenWidth"));
    m_width->setAccessibleName(QStringLiteral("笔宽"));
    m_width->setRange(1, 32);
    m_width->setValue(int(m_pad->drawing().penWidth));
    widthLabel->setBuddy(m_width);
    auto* copy = button(QStringLiteral("复制"), QStringLiteral("CopyDrawing"), page);
    auto* exportButton = button(QStringLiteral("导出…"), QStringLiteral("ExportDrawing"), page);
    auto* print = button(QStringLiteral("打印…"), QStringLiteral("PrintDrawing"), page);
    auto* save = button(QStringLiteral("保存笔迹…"), QStringLiteral("SaveStrokes"), page);
    auto* open = button(QStringLiteral("打开笔迹…"), QStringLiteral("OpenStrokes"), page);
    m_needInk = {undo, clear, copy, exportButton, print, save};

    connect(undo, &QPushButton::clicked, m_pad, &DrawingPad::undo);
    connect(clear, &QPushButton::clicked, m_pad, &DrawingPad::clear);
    connect(colour, &QPushButton::clicked, this, [this] {
        if (const std::optional<QColor> chosen = m_platform.chooseColour(this)) {
            m_pad->setPenColour(*chosen);
        }
    });
    connect(m_width, &QSpinBox::valueChanged, m_pad,
            [this](int width) { m_pad->setPenWidth(width); });
    connect(copy, &QPushButton::clicked, this, &PadWindow::copyDrawing);
    connect(exportButton, &QPushButton::clicked, this, &PadWindow::exportDrawing);
    connect(print, &QPushButton::clicked, this, &PadWindow::printDrawing);
    connect(save, &QPushButton::clicked, this, &PadWindow::saveStrokes);
    connect(open, &QPushButton::clicked, this, &PadWindow::openStrokes);
    connect(m_pad, &DrawingPad::drawingChanged, this, &PadWindow::followDrawing);

    auto* pen = new QHBoxLayout;
    for (QWidget* widget :
         std::initializer_list<QWidget*>{undo, clear, colour, widthLabel, m_width}) {
        pen->addWidget(widget);
    }
    pen->addStretch();
    auto* drag = new DragHandle(*this, page);
    m_needInk.push_back(drag);
    auto* out = new QHBoxLayout;
    for (QWidget* widget :
         std::initializer_list<QWidget*>{copy, drag, exportButton, print, save, open}) {
        out->addWidget(widget);
    }
    out->addStretch();
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(m_pad);
    layout->addLayout(pen);
    layout->addLayout(out);
    return page;
}

QWidget* PadWindow::tracingPage() {
    auto* page = new QWidget(this);
    m_tracing = new DrawingPad(page);
    m_tracing->setObjectName(QStringLiteral("TracingPad"));
    m_tracing->setAccessibleName(QStringLiteral("描红板"));
    m_tracing->setAccessibleDescription(QStringLiteral("沿着淡色的设计签名描写"));
    if (m_model && !m_model->ink.isNull()) {
        HandDrawing blank;
        blank.area = QSizeF(m_model->ink.size());
        blank.penWidth = kTracingPenWidth;
        m_tracing->setDrawing(blank);
        m_tracing->setModel(m_model->ink);
    }
    auto* score = button(QStringLiteral("评分"), QStringLiteral("ScoreAttempt"), page);
    auto* again = button(QStringLiteral("重写"), QStringLiteral("ClearAttempt"), page);
    m_exportBest = button(QStringLiteral("导出最佳…"), QStringLiteral("ExportBest"), page);
    m_exportBest->setEnabled(false);
    m_result = new QLabel(m_model ? QStringLiteral("沿着淡色的签名书写,写完后点“评分”。")
                                  : QStringLiteral("请先设计签名,再来描红练习。"),
                          page);
    m_result->setObjectName(QStringLiteral("TraceResult"));
    m_result->setWordWrap(true);
    m_resultPicture = new QLabel(page);
    m_resultPicture->setObjectName(QStringLiteral("TracePicture"));
    m_resultPicture->setAccessibleName(QStringLiteral("评分图:红色为漏描,蓝色为描出界"));
    m_best = new QListWidget(page);
    m_best->setObjectName(QStringLiteral("BestAttempts"));
    m_best->setAccessibleName(QStringLiteral("最佳练习"));
    m_best->setMaximumHeight(90);
    score->setEnabled(m_model.has_value());
    connect(score, &QPushButton::clicked, this, &PadWindow::scoreAttempt);
    connect(again, &QPushButton::clicked, m_tracing, &DrawingPad::clear);
    connect(m_exportBest, &QPushButton::clicked, this, &PadWindow::exportBest);
    auto* buttons = new QHBoxLayout;
    for (QWidget* widget : {static_cast<QWidget*>(score), static_cast<QWidget*>(again),
                            static_cast<QWidget*>(m_exportBest)}) {
        buttons->addWidget(widget);
    }
    buttons->addStretch();
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(m_tracing);
    layout->addLayout(buttons);
    layout->addWidget(m_result);
    layout->addWidget(m_resultPicture);
    layout->addWidget(new QLabel(QStringLiteral("最佳练习:"), page));
    layout->addWidget(m_best);
    return page;
}

void PadWindow::followDrawing() {
    const bool ink = !m_pad->drawing().isEmpty();
    for (QWidget* needing : m_needInk) {
        needing->setEnabled(ink);
    }
}

void PadWindow::copyDrawing() {
    if (m_pad->drawing().isEmpty()) {
        return;
    }
    QApplication::clipboard()->setMimeData(handMimeData(m_pad->drawing()).release());
}

std::unique_ptr<QMimeData> PadWindow::dragMimeData() {
    if (m_pad->drawing().isEmpty()) {
        return nullptr;
    }
    std::unique_ptr<QMimeData> handed = handMimeData(m_pad->drawing());
    // A file manager takes files: the PNG goes into a folder of the program's own.
    m_dragFolder = std::make_unique<TemporaryFolder>(kDragFolderPrefix.toString());
    if (m_dragFolder->isValid()) {
        const QString path = m_dragFolder->filePath(QStringLiteral("手写签名.png"));
        if (writeFileAtomically(path, handed->data(QStringLiteral("image/png")),
                                WriteMode::ReplaceQuickly)
                .ok()) {
            handed->setUrls({QUrl::fromLocalFile(path)});
        }
    }
    return handed;
}

void PadWindow::exportDrawing() {
    exportHand(m_pad->drawing(), QStringLiteral("手写签名"));
}

void PadWindow::exportHand(const HandDrawing& drawing, const QString& name) {
    if (drawing.isEmpty()) {
        return;
    }
    SaveQuestion question;
    question.title = QStringLiteral("导出签名");
    question.folder = picturesFolder();
    question.suggestedName = name;
    for (const HandFormat& format : kHandFormats) {
        question.filters.append(format.filter.toString());
    }
    question.switchLabel = QStringLiteral("裁剪到笔迹");
    question.switchOn = true;
    const std::optional<SaveAnswer> answer = m_platform.chooseFileToSave(this, question);
    if (!answer) {
        return;
    }
    const HandFormat& format =
        kHandFormats.at(std::size_t(std::clamp(answer->filter, 0, int(kHandFormats.size()) - 1)));
    const HandExport hand(
        drawing,
        handLook(format.animation || !isRaster(format.format) ? 96.0 : 300.0, format.transparent));
    // Documents are titled by the file's name, as inkvale-render titles them.
    const QString title = QFileInfo(answer->path).completeBaseName();
    QByteArray bytes;
    if (format.animation) {
        bytes = hand.animated(*format.animation, kHandFps, title);
    } else {
        bytes = hand.draw(format.format,
                          answer->switchOn ? std::optional(kHandPadding) : std::nullopt, title)
                    .bytes();
    }
    const Outcome written =
        bytes.isEmpty() ? Outcome::failed(Cause::NotEncoded)
                        : writeOutputFile(answer->path, bytes, WriteMode::ReplaceNamedFileDurably);
    if (!written.ok()) {
        m_platform.showMessage(
            this, QStringLiteral("签名图片保存失败!\r\n请检查文件夹是否可写、磁盘是否已满。"),
            MessageStyle::Warning);
        return;
    }
    m_platform.showMessage(this,
                           QStringLiteral("签名已保存:") + QDir::toNativeSeparators(answer->path),
                           MessageStyle::Information);
}

void PadWindow::printDrawing() {
    if (m_pad->drawing().isEmpty()) {
        return;
    }
    const HandExport hand(m_pad->drawing(), handLook(96.0, true));
    VectorPicture picture = hand.outlines();
    if (!picture.ink.isEmpty()) {
        picture = cropToInk(std::move(picture), kHandPadding);
    }
    const PrintResult printed =
        m_platform.print(this, QStringLiteral("手写签名"), [&picture](QPagedPaintDevice& pages) {
            return paintAtRealSize(pages, picture);
        });
    if (!printed.written.ok()) {
        m_platform.showMessage(this, QStringLiteral("签名打印失败!"), MessageStyle::Warning);
    }
}

void PadWindow::saveStrokes() {
    if (m_pad->drawing().isEmpty()) {
        return;
    }
    SaveQuestion question;
    question.title = QStringLiteral("保存笔迹");
    question.folder = picturesFolder();
    question.suggestedName = QStringLiteral("手写签名");
    question.filters = {kStrokesFilter};
    const std::optional<SaveAnswer> answer = m_platform.chooseFileToSave(this, question);
    if (!answer) {
        return;
    }
    const Outcome written = writeOutputFile(answer->path, handDrawingJson(m_pad->drawing()),
                                            WriteMode::ReplaceNamedFileDurably);
    if (!written.ok()) {
        m_platform.showMessage(
            this, QStringLiteral("笔迹保存失败!\r\n请检查文件夹是否可写、磁盘是否已满。"),
            MessageStyle::Warning);
    }
}

void PadWindow::openStrokes() {
    const std::optional<QString> path =
        m_platform.chooseFileToOpen(this, QStringLiteral("笔迹文件"), QStringLiteral("*.json"));
    if (!path) {
        return;
    }
    const Result<QByteArray> read = m_platform.readFile(*path, kLargestStrokesFileBytes + 1);
    const HandReading reading =
        read.ok() ? readHandDrawing(read.value) : HandReading{std::nullopt, {}};
    if (!reading.drawing) {
        m_platform.showMessage(
            this,
            QStringLiteral("笔迹文件无法打开!\r\n它不是本程序保存的笔迹文件,或者已经损坏、过大。"),
            MessageStyle::Warning);
        return;
    }
    m_pad->setDrawing(*reading.drawing);
    m_width->setValue(int(std::lround(reading.drawing->penWidth)));
}

void PadWindow::scoreAttempt() {
    if (!m_model) {
        return;
    }
    const HandDrawing& attempt = m_tracing->drawing();
    QImage ink(m_model->ink.size(), QImage::Format_ARGB32_Premultiplied);
    ink.fill(Qt::transparent);
    std::vector<QPolygonF> lines;
    {
        // Where the pen went, at its full width: a quick stroke that thins on the pad still
        // covers what it passed over.
        QPainter painter(&ink);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(
            QPen(Qt::black, attempt.penWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        for (const HandStroke& stroke : attempt.strokes) {
            QPolygonF path;
            for (const InkSample& sample : strokeSamples(stroke, attempt.penWidth)) {
                path << sample.at;
            }
            painter.drawPolyline(path);
            QPolygonF line;
            for (const HandPoint& point : stroke.points) {
                line << point.at;
            }
            lines.push_back(line);
        }
    }
    TraceScore score;
    if (!m_model->medians.empty()) {
        compareStrokeOrder(m_model->medians, lines, m_model->tolerance, score);
    }
    // Ink within half a pen width of the model counts as on it.
    scoreTrace(m_model->ink, ink, std::max(2, int(attempt.penWidth / 2)), score);
    QString text = QStringLiteral("得分 %1:覆盖 %2%,出界 %3%")
                       .arg(score.score)
                       .arg(qRound(score.coverage * 100))
                       .arg(qRound(score.outside * 100));
    if (score.orderKnown) {
        text += score.wrongStrokes.empty()
                    ? QStringLiteral(",笔顺和方向正确")
                    : QStringLiteral(",%1 笔的笔顺或方向不对").arg(score.wrongStrokes.size());
    }
    m_result->setText(text);
    m_resultPicture->setPixmap(QPixmap::fromImage(score.picture));
    if (!attempt.isEmpty()) {
        m_kept.push_back({attempt, score});
        std::stable_sort(m_kept.begin(), m_kept.end(),
                         [](const KeptAttempt& a, const KeptAttempt& b) {
                             return a.score.score > b.score.score;
                         });
        if (m_kept.size() > std::size_t(kKeptAttempts)) {
            m_kept.resize(std::size_t(kKeptAttempts));
        }
        m_best->clear();
        for (const KeptAttempt& kept : m_kept) {
            m_best->addItem(QStringLiteral("%1 分").arg(kept.score.score));
        }
        m_best->setCurrentRow(0);
        m_exportBest->setEnabled(true);
    }
    m_tracing->clear();
}

void PadWindow::exportBest() {
    const int row = std::max(0, m_best->currentRow());
    if (std::size_t(row) < m_kept.size()) {
        exportHand(m_kept.at(std::size_t(row)).drawing, QStringLiteral("描红练习"));
    }
}

} // namespace inkvale

#include "designer/SignatureUse.h"

#include "core/AnimatedExport.h"
#include "core/PracticeSheet.h"
#include "core/SignatureAnimation.h"
#include "core/SignatureExport.h"
#include "core/StyleCatalogue.h"
#include "designer/PracticeSheetDialog.h"
#include "designer/SignatureCanvas.h"
#include "pad/PadWindow.h"
#include "platform/Platform.h"
#include "platform/files/TemporaryFolder.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QDrag>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QStandardPaths>
#include <QUrl>

#include <array>
#include <new>

namespace inkvale {

namespace {

/// The formats of "导出签名…", in the order the dialog lists them.
struct ExportFormat {
    QStringView filter;
    OutputFormat format;
    bool transparent;
    std::optional<AnimationFormat> animation; ///< the name being written, in this format
};
constexpr std::array<ExportFormat, 9> kExportFormats{{
    {u"透明背景 PNG (*.png)", OutputFormat::Png, true, std::nullopt},
    {u"PNG (*.png)", OutputFormat::Png, false, std::nullopt},
    {u"SVG (矢量) (*.svg)", OutputFormat::Svg, false, std::nullopt},
    {u"PDF (矢量) (*.pdf)", OutputFormat::Pdf, false, std::nullopt},
    {u"动态签名 GIF (*.gif)", OutputFormat::Png, false, AnimationFormat::Gif},
    {u"动态签名 WebP (*.webp)", OutputFormat::Png, false, AnimationFormat::Webp},
    {u"动态签名 SVG (*.svg)", OutputFormat::Svg, false, AnimationFormat::Svg},
    {u"透明背景 动态签名 GIF (*.gif)", OutputFormat::Png, true, AnimationFormat::Gif},
    {u"透明背景 动态签名 WebP (*.webp)", OutputFormat::Png, true, AnimationFormat::Webp},
}};

/// How an animation writes the name, in the order the dialog lists them.
constexpr std::array<std::pair<QStringView, RevealKind>, 2> kReveals{{
    {u"按笔顺逐笔书写", RevealKind::Strokes},
    {u"逐字擦出", RevealKind::Wipe},
}};

/// The resolutions of "导出签名…".
constexpr std::array<std::pair<QStringView, qreal>, 3> kResolutions{{
    {u"屏幕 96 dpi", 96.0},
    {u"打印 300 dpi", 300.0},
    {u"600 dpi", 600.0},
}};
constexpr int kDefaultResolution = 1;

const QString kFailed = QStringLiteral("签名图片保存失败!\r\n");

/// A file name made of the signature's name: what a file system would not take becomes "_".
QString fileNameOf(const QString& name) {
    QString base = name.trimmed();
    for (QChar& c : base) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') ||
            c.category() == QChar::Other_Control) {
            c = QLatin1Char('_');
        }
    }
    return base.isEmpty() || base.startsWith(QLatin1Char('.')) ? QStringLiteral("签名") : base;
}

/// The folder the save dialogs open in.
QString documentsFolder() {
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    return !pictures.isEmpty() && QFileInfo(pictures).isDir() ? pictures : QDir::homePath();
}

/// The extension a filter "描述 (*.ext)" names, without the dot.
QStringView extensionOf(QStringView filter) {
    const qsizetype dot = filter.lastIndexOf(u"(*.");
    return dot < 0 ? QStringView() : filter.mid(dot + 3).chopped(1);
}

/// The format to write for a file named `path` when the dialog's filter `chosen` was picked: a
/// typed extension that names another of the formats decides, so that the bytes always are
/// what the name says; where two formats share it, the first of them. An extension no format
/// has leaves the choice as it was.
std::size_t formatForName(const QString& path, int chosen) {
    const auto picked = std::size_t(std::clamp(chosen, 0, int(kExportFormats.size()) - 1));
    const QString suffix = QFileInfo(path).suffix();
    const auto named = [&suffix](std::size_t i) {
        return extensionOf(kExportFormats.at(i).filter).compare(suffix, Qt::CaseInsensitive) == 0;
    };
    if (suffix.isEmpty() || named(picked)) {
        return picked;
    }
    for (std::size_t i = 0; i < kExportFormats.size(); ++i) {
        if (named(i)) {
            return i;
        }
    }
    return picked;
}

/// The signature's trimmed outlines at its look, without the canvas's background colour.
VectorPicture trimmedOutlines(const DesignedSignature& signature) {
    SignatureLook look = signature.look;
    look.transparent = true;
    SignatureRenderer renderer(look);
    VectorPicture picture = renderer.outlines(signature.slot, signature.name);
    return picture.ink.isEmpty() ? picture : cropToInk(std::move(picture), kUsePadding);
}

} // namespace

SignatureLook lookOf(const SignatureCanvas& canvas) {
    SignatureLook look;
    look.points = canvas.fontSize();
    look.colour = canvas.foreColor();
    look.background = canvas.picture();
    return look;
}

std::unique_ptr<QMimeData> signatureMimeData(const DesignedSignature& signature) {
    SignatureLook look = signature.look;
    look.transparent = look.background.isNull();
    look.dotsPerInch = kCopyDotsPerInch;
    SignatureRenderer renderer(look);
    SignatureExport exporter(renderer);
    const ExportDrawing png =
        exporter.draw({signature.slot, signature.name, OutputFormat::Png, kUsePadding});
    const ExportDrawing svg =
        exporter.draw({signature.slot, signature.name, OutputFormat::Svg, kUsePadding});
    // A name of blanks leaves no ink: the whole canvas goes instead.
    const ExportDrawing wholePng =
        png.noInk ? exporter.draw({signature.slot, signature.name, OutputFormat::Png, std::nullopt})
                  : png;
    const ExportDrawing wholeSvg =
        svg.noInk ? exporter.draw({signature.slot, signature.name, OutputFormat::Svg, std::nullopt})
                  : svg;
    auto data = std::make_unique<QMimeData>();
    data->setData(QStringLiteral("image/png"), wholePng.bytes());
    data->setData(QStringLiteral("image/svg+xml"), wholeSvg.bytes());
    // Programs that take only a plain image would show the clear parts black.
    QImage plain(wholePng.image.size(), QImage::Format_RGB32);
    plain.fill(Qt::white);
    {
        QPainter painter(&plain);
        painter.drawImage(0, 0, wholePng.image);
    }
    plain.setDotsPerMeterX(wholePng.image.dotsPerMeterX());
    plain.setDotsPerMeterY(wholePng.image.dotsPerMeterY());
    data->setImageData(plain);
    return data;
}

SignatureUse::SignatureUse(Platform& platform, QWidget& window, SignatureCanvas& canvas,
                           QPushButton& saveButton)
    : QObject(&window)
    , m_platform(platform)
    , m_window(window)
    , m_canvas(canvas)
    , m_saveButton(saveButton) {
    m_menu = new QMenu(&window);
    m_menu->setObjectName(QStringLiteral("SignatureMenu"));
    m_menu->setAccessibleName(QStringLiteral("签名菜单"));
    m_copy = addAction(QStringLiteral("复制签名"), QStringLiteral("CopySignature"));
    m_copy->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    m_export = addAction(QStringLiteral("导出签名…"), QStringLiteral("ExportSignature"));
    m_export->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    m_animation = addAction(QStringLiteral("导出动态签名…"), QStringLiteral("ExportAnimation"));
    m_print = addAction(QStringLiteral("打印签名…"), QStringLiteral("PrintSignature"));
    m_print->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    m_practice = addAction(QStringLiteral("生成练习字帖…"), QStringLiteral("PracticeSheet"));
    connect(m_copy, &QAction::triggered, this, &SignatureUse::copySignature);
    connect(m_export, &QAction::triggered, this, &SignatureUse::exportSignature);
    connect(m_animation, &QAction::triggered, this, &SignatureUse::exportAnimation);
    connect(m_print, &QAction::triggered, this, &SignatureUse::printSignature);
    connect(m_practice, &QAction::triggered, this, &SignatureUse::makePracticeSheet);
    m_hand = addAction(QStringLiteral("手写签名…"), QStringLiteral("HandSignature"));
    m_hand->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_H));
    connect(m_hand, &QAction::triggered, this, &SignatureUse::openDrawingPad);

    // The menu key and Shift+F10 open the canvas's menu from anywhere in the window.
    m_menuKey = new QAction(this);
    m_menuKey->setShortcuts({QKeySequence(Qt::Key_Menu), QKeySequence(Qt::SHIFT | Qt::Key_F10)});
    m_menuKey->setShortcutContext(Qt::WindowShortcut);
    window.addAction(m_menuKey);
    connect(m_menuKey, &QAction::triggered, this, [this] {
        // A text box keeps its own menu (cut, copy, paste) on these keys.
        QWidget* focused = QApplication::focusWidget();
        if (qobject_cast<QLineEdit*>(focused) != nullptr) {
            const QPoint at = focused->rect().center();
            QContextMenuEvent request(QContextMenuEvent::Keyboard, at, focused->mapToGlobal(at));
            QCoreApplication::sendEvent(focused, &request);
            return;
        }
        popUpAt(m_canvas.mapToGlobal(m_canvas.rect().center()));
    });

    m_canvas.setContextMenuPolicy(Qt::CustomContextMenu);
    connect(&m_canvas, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { popUpAt(m_canvas.mapToGlobal(at)); });
    m_canvas.installEventFilter(this);
    m_saveButton.installEventFilter(this);
    followSaveButton();
}

SignatureUse::~SignatureUse() = default;

QAction* SignatureUse::addAction(const QString& text, const QString& objectName) {
    auto* action = new QAction(text, this);
    action->setObjectName(objectName);
    action->setShortcutContext(Qt::WindowShortcut);
    // Menu items read out their text; the tool tip and status tip say the same.
    action->setToolTip(text);
    action->setStatusTip(text);
    m_menu->addAction(action);
    m_window.addAction(action);
    return action;
}

void SignatureUse::followSaveButton() {
    const bool enabled = m_saveButton.isEnabled();
    for (QAction* action : {m_copy, m_export, m_animation, m_print, m_practice}) {
        action->setEnabled(enabled);
    }
}

void SignatureUse::popUpAt(const QPoint& global) {
    m_menu->popup(global);
}

void SignatureUse::setDesigned(const DesignedSignature& signature) {
    m_signature = signature;
    emit designChanged();
}

void SignatureUse::setLayout(const LineShape& shape, SealText seal) {
    m_shape = shape;
    m_seal = seal;
    emit designChanged();
}

DesignedSignature SignatureUse::output() const {
    DesignedSignature shaped = m_signature;
    shaped.look.shape = m_shape;
    shaped.look.seal = m_seal;
    // What leaves the window holds the whole name: the canvas grows where it would cut it (a
    // name that fits, plain, draws byte for byte as the canvas does).
    shaped.look.fitWholeName = true;
    return shaped;
}

bool SignatureUse::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_nameBox && event->type() == QEvent::ShortcutOverride) {
        // A text box claims Ctrl+C even with nothing to copy: then the window's copy takes it.
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->matches(QKeySequence::Copy) && !m_nameBox->hasSelectedText() &&
            m_copy->isEnabled()) {
            event->ignore();
            return true;
        }
    }
    if (watched == &m_saveButton && event->type() == QEvent::EnabledChange) {
        followSaveButton();
    } else if (watched == &m_canvas && m_copy->isEnabled()) {
        const auto* mouse = dynamic_cast<QMouseEvent*>(event);
        if (event->type() == QEvent::MouseButtonPress && mouse->button() == Qt::LeftButton) {
            m_pressed = true;
            m_pressedAt = mouse->position().toPoint();
        } else if (event->type() == QEvent::MouseButtonRelease) {
            m_pressed = false;
        } else if (event->type() == QEvent::MouseMove && m_pressed &&
                   (mouse->buttons() & Qt::LeftButton) != 0 &&
                   (mouse->position().toPoint() - m_pressedAt).manhattanLength() >=
                       QApplication::startDragDistance()) {
            m_pressed = false;
            auto* drag = new QDrag(&m_canvas);
            drag->setMimeData(dragMimeData().release());
            const QImage shown = m_canvas.image();
            drag->setPixmap(QPixmap::fromImage(
                shown.scaled(shown.size() / 2, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
            drag->exec(Qt::CopyAction);
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

std::unique_ptr<QMimeData> SignatureUse::dragMimeData() {
    std::unique_ptr<QMimeData> data = signatureMimeData(output());
    // A file manager takes files: the PNG goes into a folder of the program's own.
    m_dragFolder = std::make_unique<TemporaryFolder>(kDragFolderPrefix.toString());
    if (m_dragFolder->isValid()) {
        const QString path =
            m_dragFolder->filePath(fileNameOf(m_signature.name) + QStringLiteral(".png"));
        if (writeOutputFile(path, data->data(QStringLiteral("image/png")),
                            WriteMode::ReplaceQuickly)
                .ok()) {
            data->setUrls({QUrl::fromLocalFile(path)});
        }
    }
    return data;
}

void SignatureUse::copySignature() {
    QGuiApplication::clipboard()->setMimeData(signatureMimeData(output()).release());
    emit copied();
}

void SignatureUse::copyFromWhileNothingSelected(QLineEdit& box) {
    m_nameBox = &box;
    box.installEventFilter(this);
}

void SignatureUse::exportSignature() {
    exportAs(0);
}

void SignatureUse::exportAnimation() {
    const auto* animated =
        std::find_if(kExportFormats.begin(), kExportFormats.end(),
                     [](const ExportFormat& format) { return format.animation; });
    exportAs(int(animated - kExportFormats.begin()));
}

void SignatureUse::exportAs(int firstFilter) {
    const DesignedSignature signature = output();
    SaveQuestion question;
    question.title = QStringLiteral("导出签名");
    question.folder = documentsFolder();
    question.suggestedName = fileNameOf(signature.name);
    for (const ExportFormat& format : kExportFormats) {
        question.filters.append(format.filter.toString());
    }
    question.filter = firstFilter;
    question.resolutionLabel = QStringLiteral("分辨率:");
    for (const auto& [label, dpi] : kResolutions) {
        question.resolutions.append(label.toString());
    }
    question.resolution = kDefaultResolution;
    question.switchLabel = QStringLiteral("裁剪到笔迹");
    question.switchOn = true;
    question.choiceLabel = QStringLiteral("书写方式:");
    for (const auto& [label, reveal] : kReveals) {
        question.choices.append(label.toString());
    }
    for (int i = 0; i < int(kExportFormats.size()); ++i) {
        if (kExportFormats.at(std::size_t(i)).animation) {
            question.choiceFilters.append(i);
        }
    }
    addAnimationPreview(question);
    const std::optional<SaveAnswer> answer = m_platform.chooseFileToSave(&m_window, question);
    if (!answer) {
        return;
    }
    const ExportFormat& format = kExportFormats.at(formatForName(answer->path, answer->filter));
    SignatureLook look = signature.look;
    look.transparent = format.transparent;
    // Outlines print sharp at any size; only pixels have a resolution.
    if (isRaster(format.format) && format.animation != AnimationFormat::Svg) {
        look.dotsPerInch =
            kResolutions
                .at(std::size_t(std::clamp(answer->resolution, 0, int(kResolutions.size()) - 1)))
                .second;
    }
    SignatureRenderer renderer(look);
    if (format.animation) {
        // The whole canvas, as the name is written on it: an animation is not trimmed.
        AnimationPace pace;
        pace.reveal =
            kReveals.at(std::size_t(std::clamp(answer->choice, 0, int(kReveals.size()) - 1)))
                .second;
        const Result<QByteArray> animated =
            animatedSignature(renderer, signature.slot, signature.name, *format.animation, pace);
        writeChosenFile(answer->path, animated.value, animated.outcome);
        return;
    }
    SignatureExport exporter(renderer);
    const ExportDrawing drawing =
        exporter.draw({signature.slot, signature.name, format.format,
                       answer->switchOn ? std::optional<int>(kUsePadding) : std::nullopt});
    if (drawing.noInk) {
        m_platform.showMessage(
            &m_window, kFailed + QStringLiteral("签名没有笔迹可以裁剪,请取消“裁剪到笔迹”后再试。"),
            MessageStyle::Warning);
        return;
    }
    writeChosenFile(answer->path, drawing.bytes(), drawing.problem());
}

void SignatureUse::addAnimationPreview(SaveQuestion& question) const {
    const DesignedSignature signature = output();
    SignatureLook look = signature.look;
    look.dotsPerInch = 96.0;
    try {
        SignatureRenderer renderer(look);
        const SignatureAnimation animation(renderer, signature.slot, signature.name, {});
        if (animation.isNull()) {
            return; // no preview rather than no export
        }
        for (int i = 0; i < animation.frameCount(); ++i) {
            QImage frame = animation.frame(i);
            if (frame.isNull()) {
                question.previewFrames.clear();
                return;
            }
            question.previewFrames.append(std::move(frame));
        }
        question.previewIntervalMs = 1000 / animation.timeline().fps();
    } catch (const std::bad_alloc&) {
        // Without memory for the preview the export is still asked for, and tells its own
        // failure.
        question.previewFrames.clear();
        return;
    }
    for (int i = 0; i < int(kExportFormats.size()); ++i) {
        if (kExportFormats.at(std::size_t(i)).animation) {
            question.previewFilters.append(i);
        }
    }
    question.previewName = QStringLiteral("动态签名预览");
}

void SignatureUse::writeChosenFile(const QString& path, const QByteArray& bytes,
                                   const Outcome& drawn) {
    Outcome result = drawn;
    // The writer would meet the folder only when it puts the finished file in its place.
    if (result.ok() && QFileInfo(path).isDir()) {
        result = Outcome::failed(Cause::IsFolder);
    }
    if (result.ok()) {
        result = bytes.isEmpty() ? Outcome::failed(Cause::NotEncoded)
                                 : writeOutputFile(path, bytes, WriteMode::ReplaceNamedFileDurably);
    }
    if (!result.ok()) {
        m_platform.showMessage(&m_window, kFailed + fileWriteFailureText(result, path),
                               MessageStyle::Warning);
        return;
    }
    m_platform.showMessage(&m_window,
                           QStringLiteral("签名已保存:") + QDir::toNativeSeparators(path),
                           MessageStyle::Information);
}

void SignatureUse::printSignature() {
    const DesignedSignature signature = output();
    const VectorPicture picture = trimmedOutlines(signature);
    const PrintResult printed =
        m_platform.print(&m_window, signature.name, [&picture](QPagedPaintDevice& pages) {
            return paintAtRealSize(pages, picture);
        });
    if (!printed.written.ok()) {
        m_platform.showMessage(&m_window,
                               QStringLiteral("签名打印失败!\r\n") +
                                   fileWriteFailureText(printed.written, printed.file),
                               MessageStyle::Warning);
    }
}

PadWindow* SignatureUse::padWindow() const {
    return m_pad.data();
}

void SignatureUse::openDrawingPad() {
    if (m_pad) {
        m_pad->raise();
        m_pad->activateWindow();
        return;
    }
    // Tracing needs a designed signature; the pad itself needs none.
    std::optional<TracingModel> model;
    if (m_saveButton.isEnabled() && !m_signature.name.trimmed().isEmpty()) {
        model = tracingModel(m_signature.look, m_signature.slot, m_signature.name, kTracingScale);
    }
    m_pad = new PadWindow(m_platform, std::move(model), &m_window);
    m_pad->show();
}

void SignatureUse::makePracticeSheet() {
    const DesignedSignature signature = output();
    PracticeSheetDialog dialog(signature.look, signature.slot, signature.name, &m_window);
    if (m_platform.runModal(dialog) != QDialog::Accepted) {
        return;
    }
    SaveQuestion question;
    question.title = QStringLiteral("保存练习字帖");
    question.folder = documentsFolder();
    question.suggestedName = fileNameOf(signature.name) + QStringLiteral("-练习字帖");
    question.filters = {QStringLiteral("PDF (矢量) (*.pdf)")};
    const std::optional<SaveAnswer> answer = m_platform.chooseFileToSave(&m_window, question);
    if (!answer) {
        return;
    }
    const QByteArray sheet =
        practiceSheetPdf(signature.look, signature.slot, signature.name, dialog.layout());
    writeChosenFile(answer->path, sheet, {});
}

QString fileWriteFailureText(const Outcome& result, const QString& path) {
    const QString where = QStringLiteral("“%1”").arg(QDir::toNativeSeparators(path));
    switch (result.cause) {
    case Cause::None:
        return {};
    case Cause::NoPermission:
        return QStringLiteral("没有权限写入%1。\r\n请选择您可以写入的文件夹(例如您的主文件夹)。")
            .arg(where);
    case Cause::ReadOnlyFileSystem:
        return QStringLiteral("%1位于只读的文件系统上,无法写入。\r\n请选择其他文件夹。").arg(where);
    case Cause::NoSpace:
        return QStringLiteral(
                   "磁盘空间不足(或已超出磁盘配额),无法写入%1。\r\n请清理出一些空间后再试。")
            .arg(where);
    case Cause::NoSuchFile:
        return QStringLiteral("要写入%1的文件夹不存在。").arg(where);
    case Cause::IsFolder:
        return QStringLiteral("%1是一个文件夹,请另选文件名。").arg(where);
    default:
        break;
    }
    return QStringLiteral("写入%1时出错:%2").arg(where, chineseText(result));
}

} // namespace inkvale

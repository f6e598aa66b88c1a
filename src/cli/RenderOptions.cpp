#include "cli/RenderOptions.h"

#include "cli/BatchNames.h"
#include "cli/StyleLookup.h"
#include "core/ContactSheet.h"
#include "core/SizeRule.h"
#include "core/StyleCatalogue.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QRegularExpression>

#include <array>
#include <cmath>

namespace inkvale {

namespace {

const QString kProgram = QStringLiteral("inkvale-render");

constexpr int kSmallestCanvasSide = 2 * SignatureSurface::kDesignedBorderPixels + 1;
constexpr int kLargestCanvasSide = 10000;
constexpr double kLowestDpi = 24.0;
constexpr double kHighestDpi = 2400.0;
constexpr int kLargestPadding = 10000;
constexpr int kHighestFps = 60;
constexpr double kLongestAnimation = 60.0;

/// The options, in the order --help lists them.
enum class Opt {
    Style,
    Name,
    Output,
    Size,
    Colour,
    CanvasColour,
    Background,
    Canvas,
    Preset,
    Spacing,
    Slant,
    Rise,
    FirstScale,
    Vertical,
    Seal,
    Fit,
    Transparent,
    Dpi,
    Width,
    Quality,
    Trim,
    Animate,
    Duration,
    Fps,
    Loop,
    NoLoop,
    Reveal,
    NamesFile,
    Encoding,
    OutDir,
    Format,
    Force,
    FileNames,
    Sheet,
    PracticeSheet,
    Paper,
    Grid,
    Tracing,
    TraceRows,
    GuideRows,
    EmbeddedFonts,
    Quiet,
    Verbose,
    Print0,
    Json,
    Jobs,
    Strokes,
    ListStyles,
    Help,
    Version,
};
constexpr std::size_t kOptionCount = std::size_t(Opt::Version) + 1;

/// An option as the command line gave it.
struct Given {
    bool isSet = false;
    QString value; ///< its value, or its default when it is not set
};

/// Checks an option's value against what is already known of the request and records it there;
/// the message when the command line cannot be carried out.
using Check = std::optional<QString> (*)(const Given& given, RenderRequest& request);

/// One row of the option table.
struct OptionRow {
    Opt id;
    QStringList names;
    QString description;
    QString valueName;    ///< empty for a switch
    QString defaultValue; ///< what --help shows and a check sees when the option is not set
    Check check = nullptr;
    bool mayBeEmpty = false; ///< an empty value has a message of its own
};

std::optional<QSize> parseCanvas(const QString& text) {
    static const QRegularExpression pattern(QStringLiteral("^([0-9]{1,5})[xX]([0-9]{1,5})$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch()) {
        return std::nullopt;
    }
    const QSize size(match.captured(1).toInt(), match.captured(2).toInt());
    const auto inRange = [](int side) {
        return side >= kSmallestCanvasSide && side <= kLargestCanvasSide;
    };
    return inRange(size.width()) && inRange(size.height()) ? std::optional(size) : std::nullopt;
}

std::optional<QString> checkStyle(const Given& given, RenderRequest& request) {
    if (!request.strokesFile.isEmpty()) {
        return given.isSet ? std::optional(QStringLiteral("--strokes draws no name: leave out "
                                                          "--style"))
                           : std::nullopt;
    }
    if (request.mode == RenderMode::Sheet) {
        if (given.isSet) {
            return QStringLiteral("--sheet draws all fifteen styles: leave out --style");
        }
        return std::nullopt;
    }
    if (!given.isSet) {
        return QStringLiteral("choose a style with --style (see --help)");
    }
    const std::optional<int> slot = styleNamed(given.value);
    if (!slot) {
        return QStringLiteral(
                   "unknown style '%1': give 0 to 14, a caption or a face name (see --help)")
            .arg(given.value);
    }
    request.slot = *slot;
    return std::nullopt;
}

std::optional<QString> checkName(const Given& given, RenderRequest& request) {
    if (!request.strokesFile.isEmpty()) {
        return given.isSet ? std::optional(QStringLiteral("--name and --strokes exclude each "
                                                          "other"))
                           : std::nullopt;
    }
    if (request.mode == RenderMode::Batch) {
        if (given.isSet) {
            return QStringLiteral("--name and --names-file exclude each other");
        }
        return std::nullopt;
    }
    if (!given.isSet) {
        return QStringLiteral("give the name to draw with --name");
    }
    request.name = drawableName(given.value);
    if (request.name.isEmpty()) {
        return QStringLiteral("the name is empty");
    }
    const QString problem = nameProblem(request.name);
    if (!problem.isEmpty()) {
        return QStringLiteral("cannot draw the name %1: %2").arg(quotedName(given.value), problem);
    }
    if (request.encoding != NamesEncoding::Utf8) {
        const QString misread = misreadNameProblem(request.name);
        if (!misread.isEmpty()) {
            return QStringLiteral("cannot draw the name %1: %2, or give --encoding utf-8 to draw "
                                  "it as it is")
                .arg(quotedName(given.value), misread);
        }
    }
    return std::nullopt;
}

std::optional<QString> checkEncoding(const Given& given, RenderRequest& request) {
    if (!given.isSet) {
        return std::nullopt;
    }
    const std::optional<NamesEncoding> encoding = namesEncodingNamed(given.value);
    if (!encoding) {
        return QStringLiteral("unknown encoding '%1': use utf-8, gb18030 (gbk), utf-16, utf-16le "
                              "or utf-16be")
            .arg(given.value);
    }
    if (request.mode != RenderMode::Batch && *encoding != NamesEncoding::Utf8) {
        return QStringLiteral("--encoding %1 is for names files: give --name in UTF-8")
            .arg(given.value);
    }
    request.encoding = *encoding;
    return std::nullopt;
}

/// The animation's format, as checkFormat() finds it for --animate.
std::optional<QString> checkAnimationFormat(const Given& given, RenderRequest& request) {
    std::optional<AnimationFormat> named;
    if (given.isSet || request.mode == RenderMode::Batch) {
        named = animationFormatNamed(given.value);
        if (!named) {
            return QStringLiteral("--animate writes gif, webp or svg, not '%1'").arg(given.value);
        }
    }
    const bool toStream = request.output == kStandardStream;
    const std::optional<AnimationFormat> extension =
        request.mode == RenderMode::Batch || toStream ? std::nullopt
                                                      : animationFormatOfFileName(request.output);
    if (named && extension && *named != *extension) {
        return QStringLiteral("'%1' ends in .%2, but --format says %3: give one or the other")
            .arg(request.output, QFileInfo(request.output).suffix(), given.value);
    }
    const std::optional<AnimationFormat> format = named ? named : extension;
    if (!format) {
        return toStream ? QStringLiteral("say which animation to write to standard output with "
                                         "--format: gif, webp or svg")
                        : QStringLiteral("--animate writes .gif, .webp or .svg: end '%1' in one "
                                         "of them, or give --format")
                              .arg(request.output);
    }
    request.animation = *format;
    request.format = *format == AnimationFormat::Svg ? OutputFormat::Svg : OutputFormat::Png;
    return std::nullopt;
}

/// The format: a batch's from --format; the others' from their file's extension, or from
/// --format where the file has none of ours (standard output among them).
std::optional<QString> checkFormat(const Given& given, RenderRequest& request) {
    if (request.animate) {
        return checkAnimationFormat(given, request);
    }
    std::optional<OutputFormat> named;
    if (given.isSet || request.mode == RenderMode::Batch) {
        named = formatNamed(given.value);
        if (!named) {
            if (animationFormatNamed(given.value)) {
                return QStringLiteral("--format %1 is an animation: add --animate")
                    .arg(given.value);
            }
            return QStringLiteral("unknown format '%1': use bmp, png, jpg, svg or pdf")
                .arg(given.value);
        }
    }
    if (request.mode == RenderMode::Batch) {
        request.format = *named;
        return std::nullopt;
    }
    const bool toStream = request.output == kStandardStream;
    const std::optional<OutputFormat> extension =
        toStream ? std::nullopt : formatOfFileName(request.output);
    if (named && extension && *named != *extension) {
        return QStringLiteral("'%1' ends in .%2, but --format says %3: give one or the other")
            .arg(request.output, QFileInfo(request.output).suffix(), given.value);
    }
    const std::optional<OutputFormat> format = named ? named : extension;
    if (request.mode == RenderMode::Practice) {
        if (format ? *format != OutputFormat::Pdf : !toStream) {
            return QStringLiteral("a practice sheet is a PDF: end '%1' in .pdf")
                .arg(request.output);
        }
        request.format = OutputFormat::Pdf;
        return std::nullopt;
    }
    if (!format) {
        if (!toStream && !named && animationFormatOfFileName(request.output)) {
            return QStringLiteral("'%1' is an animation: add --animate").arg(request.output);
        }
        return toStream ? QStringLiteral("say which format to write to standard output with "
                                         "--format: bmp, png, jpg, svg or pdf")
                        : QStringLiteral("cannot tell the format of '%1': end it in .bmp, .png, "
                                         ".jpg, .svg or .pdf, or give --format")
                              .arg(request.output);
    }
    request.format = *format;
    return std::nullopt;
}

/// "--OPTION VALUE is not a number: RANGE", for a value that is no number at all.
QString notANumber(const char* option, const QString& value, const QString& range) {
    return QStringLiteral("--%1 %2 is not a number: %3").arg(QLatin1String(option), value, range);
}

/// Whether `text` reads as a number: digits with an optional sign, decimal point and exponent,
/// so that "nan", "inf" and hexadecimal are not taken for numbers.
bool looksNumeric(const QString& text) {
    static const QRegularExpression number(
        QStringLiteral("^[-+]?([0-9]+\\.?[0-9]*|\\.[0-9]+)([eE][-+]?[0-9]+)?$"));
    return number.match(text).hasMatch();
}

std::optional<QString> checkSize(const Given& given, RenderRequest& request) {
    if (!looksNumeric(given.value)) {
        return notANumber(
            "size", given.value,
            QStringLiteral("give points above 0 and at most %1").arg(double(kLargestFontSize)));
    }
    bool isNumber = false;
    const double points = given.value.toDouble(&isNumber);
    const std::optional<float> size = isNumber ? usableFontSize(points) : std::nullopt;
    if (!size) {
        return QStringLiteral("--size %1 is out of range: give points above 0 and at most %2")
            .arg(given.value)
            .arg(double(kLargestFontSize));
    }
    request.look.points = *size;
    return std::nullopt;
}

std::optional<QString> checkColour(const Given& given, RenderRequest& request) {
    if (!given.isSet) {
        return std::nullopt;
    }
    const std::optional<QColor> colour = colourNamed(given.value);
    if (!colour) {
        return QStringLiteral("--color %1 is not a colour: give #RGB, #RRGGBB, #RRGGBBAA (the "
                              "last pair the opacity) or a colour name such as darkblue")
            .arg(given.value);
    }
    request.look.colour = *colour;
    return std::nullopt;
}

/// "OPTION is not for practice sheets", for what a sheet on paper would leave out silently.
std::optional<QString> notOnPaper(const Given& given, const RenderRequest& request,
                                  const char* option) {
    if (given.isSet && request.mode == RenderMode::Practice) {
        return QStringLiteral("%1 is not for practice sheets: they are printed on paper, without "
                              "a canvas")
            .arg(QLatin1String(option));
    }
    return std::nullopt;
}

std::optional<QString> checkCanvasColour(const Given& given, RenderRequest& request) {
    if (!given.isSet) {
        return std::nullopt;
    }
    if (const std::optional<QString> fault = notOnPaper(given, request, "--canvas-color")) {
        return fault;
    }
    if (request.look.transparent) {
        return QStringLiteral("--canvas-color and --transparent exclude each other");
    }
    const std::optional<QColor> colour = colourNamed(given.value);
    if (!colour) {
        return QStringLiteral("--canvas-color %1 is not a colour: give #RGB, #RRGGBB or a colour "
                              "name such as ivory")
            .arg(given.value);
    }
    if (colour->alpha() != 255) {
        return QStringLiteral("--canvas-color %1 is not opaque: for no canvas colour at all, give "
                              "--transparent")
            .arg(given.value);
    }
    request.look.canvasColour = *colour;
    return std::nullopt;
}

std::optional<QString> checkCanvas(const Given& given, RenderRequest& request) {
    const std::optional<QSize> canvas = parseCanvas(given.value);
    if (!canvas) {
        return QStringLiteral("--canvas %1 is not a size WxH of %2 to %3 pixels a side")
            .arg(given.value)
            .arg(kSmallestCanvasSide)
            .arg(kLargestCanvasSide);
    }
    request.look.canvas = *canvas;
    return std::nullopt;
}

std::optional<QString> checkTransparent(const Given& given, RenderRequest& request) {
    if (const std::optional<QString> fault = notOnPaper(given, request, "--transparent")) {
        return fault;
    }
    request.look.transparent = given.isSet;
    if (request.look.transparent && !canBeTransparent(request.format)) {
        return QStringLiteral("%1 cannot be transparent: write .png, .svg or .pdf with "
                              "--transparent")
            .arg(request.format == OutputFormat::Jpeg ? QStringLiteral("a JPEG")
                                                      : QStringLiteral("a bitmap"));
    }
    return std::nullopt;
}

/// Reads the number of --`option`, within [low, high], into `target`.
std::optional<QString> checkShapeNumber(const Given& given, const char* option, double low,
                                        double high, const QString& unit, double& target) {
    if (!given.isSet) {
        return std::nullopt;
    }
    const QString range = QStringLiteral("give %1 to %2%3").arg(low).arg(high).arg(unit);
    if (!looksNumeric(given.value)) {
        return notANumber(option, given.value, range);
    }
    bool isNumber = false;
    const double value = given.value.toDouble(&isNumber);
    if (!isNumber || !(value >= low && value <= high)) {
        return QStringLiteral("--%1 %2 is out of range: %3")
            .arg(QLatin1String(option), given.value, range);
    }
    target = value;
    return std::nullopt;
}

std::optional<QString> checkPreset(const Given& given, RenderRequest& request) {
    if (!given.isSet) {
        return std::nullopt;
    }
    QStringList ids;
    for (const LineShapePreset& preset : lineShapePresets()) {
        if (preset.id == given.value) {
            request.look.shape = preset.shape;
            return std::nullopt;
        }
        ids.append(preset.id);
    }
    return QStringLiteral("--preset %1 is not a preset: give %2")
        .arg(given.value, ids.join(QStringLiteral(", ")));
}

std::optional<QString> checkSpacing(const Given& given, RenderRequest& request) {
    return checkShapeNumber(given, "spacing", LineShape::kMinSpacingEm, LineShape::kMaxSpacingEm,
                            QStringLiteral(" em"), request.look.shape.spacingEm);
}

std::optional<QString> checkSlant(const Given& given, RenderRequest& request) {
    return checkShapeNumber(given, "slant", -LineShape::kMaxSlantDegrees,
                            LineShape::kMaxSlantDegrees, QStringLiteral(" degrees"),
                            request.look.shape.slantDegrees);
}

std::optional<QString> checkRise(const Given& given, RenderRequest& request) {
    return checkShapeNumber(given, "rise", -LineShape::kMaxRiseDegrees, LineShape::kMaxRiseDegrees,
                            QStringLiteral(" degrees"), request.look.shape.riseDegrees);
}

std::optional<QString> checkFirstScale(const Given& given, RenderRequest& request) {
    return checkShapeNumber(given, "first-scale", LineShape::kMinFirstScale,
                            LineShape::kMaxFirstScale, QStringLiteral(" times"),
                            request.look.shape.firstScale);
}

std::optional<QString> checkVertical(const Given& given, RenderRequest& request) {
    if (given.isSet) {
        request.look.shape.vertical = true;
    }
    return std::nullopt;
}

std::optional<QString> checkSeal(const Given& given, RenderRequest& request) {
    if (!given.isSet) {
        return std::nullopt;
    }
    if (given.value == QLatin1String("surname")) {
        request.look.seal = SealText::Surname;
    } else if (given.value == QLatin1String("name")) {
        request.look.seal = SealText::Name;
    } else if (given.value == QLatin1String("none")) {
        request.look.seal = SealText::None;
    } else {
        return QStringLiteral("--seal %1 is not a seal: give surname, name or none")
            .arg(given.value);
    }
    return std::nullopt;
}

std::optional<QString> checkFit(const Given& given, RenderRequest& request) {
    if (!given.isSet) {
        return std::nullopt;
    }
    if (request.mode == RenderMode::Sheet) {
        return QStringLiteral("--fit is not for contact sheets: their cells keep the canvas's "
                              "size");
    }
    request.look.fitWholeName = true;
    return std::nullopt;
}

std::optional<QString> checkDpi(const Given& given, RenderRequest& request) {
    if (!given.isSet) {
        return std::nullopt;
    }
    if (!isRaster(request.format)) {
        return QStringLiteral("--dpi is for .bmp, .png, .jpg, .gif and .webp; .svg and .pdf are "
                              "outlines and print sharp at any size");
    }
    if (!looksNumeric(given.value)) {
        return notANumber("dpi", given.value,
                          QStringLiteral("give %1 to %2").arg(kLowestDpi).arg(kHighestDpi));
    }
    bool isNumber = false;
    const double dpi = given.value.toDouble(&isNumber);
    if (!isNumber || !(dpi >= kLowestDpi && dpi <= kHighestDpi)) {
        return QStringLiteral("--dpi %1 is out of range: give %2 to %3")
            .arg(given.value)
            .arg(kLowestDpi)
            .arg(kHighestDpi);
    }
    request.look.dotsPerInch = dpi;
    return std::nullopt;
}

constexpr double kNarrowestPrintMm = 1.0;
constexpr double kWidestPrintMm = 5000.0; // a PDF page is at most 14400 points (5080 mm)

std::optional<QString> checkWidth(const Given& given, RenderRequest& request) {
    if (!given.isSet) {
        return std::nullopt;
    }
    if (const std::optional<QString> fault = notOnPaper(given, request, "--width")) {
        return fault;
    }
    if (request.animate) {
        return QStringLiteral("--width is not for animations");
    }
    if (isRaster(request.format)) {
        return QStringLiteral("--width %1 is for .svg and .pdf: a .%2 has pixels, set by --canvas "
                              "and --dpi")
            .arg(given.value, extensionOf(request.format));
    }
    const QString range = QStringLiteral("give 1mm to 5000mm, or the same in cm, in or pt");
    static const QRegularExpression length(
        QStringLiteral("^([0-9]+\\.?[0-9]*|\\.[0-9]+)(mm|cm|in|pt)$"));
    const QRegularExpressionMatch match = length.match(given.value);
    if (!match.hasMatch()) {
        return QStringLiteral("--width %1 is not a length with its unit: %2 (e.g. 40mm)")
            .arg(given.value, range);
    }
    const PrintedWidth width{match.captured(1).toDouble(), match.captured(2)};
    const double millimetres = width.points() * 25.4 / 72.0;
    // A hair's tolerance, so that 5000mm given in cm or in is not refused for rounding.
    if (!(millimetres >= kNarrowestPrintMm * (1 - 1e-9) &&
          millimetres <= kWidestPrintMm * (1 + 1e-9))) {
        return QStringLiteral("--width %1 is out of range: %2").arg(given.value, range);
    }
    request.printedWidth = width;
    return std::nullopt;
}

std::optional<QString> checkTrim(const Given& given, RenderRequest& request) {
    if (!given.isSet) {
        return std::nullopt;
    }
    if (request.mode == RenderMode::Sheet || request.mode == RenderMode::Practice) {
        return QStringLiteral("--trim is for single signatures and batches");
    }
    if (request.animate) {
        return QStringLiteral("--trim is not for animations: they keep the whole canvas");
    }
    static const QRegularExpression integer(QStringLiteral("^[-+]?[0-9]+$"));
    if (!integer.match(given.value).hasMatch()) {
        return notANumber("trim", given.value,
                          QStringLiteral("give 0 to %1 pixels").arg(kLargestPadding));
    }
    bool isNumber = false;
    const int padding = given.value.toInt(&isNumber);
    if (!isNumber || padding < 0 || padding > kLargestPadding) {
        return QStringLiteral("--trim %1 is out of range: give 0 to %2 pixels")
            .arg(given.value)
            .arg(kLargestPadding);
    }
    request.trim = padding;
    return std::nullopt;
}

std::optional<QString> checkAnimate(const Given& given, RenderRequest& request) {
    if (!given.isSet) {
        return std::nullopt;
    }
    if (request.mode == RenderMode::Sheet || request.mode == RenderMode::Practice) {
        return QStringLiteral("--animate is for single signatures and batches");
    }
    request.animate = true;
    return std::nullopt;
}

std::optional<QString> checkDuration(const Given& given, RenderRequest& request) {
    if (!given.isSet) {
        return std::nullopt;
    }
    if (!request.animate) {
        return QStringLiteral("--duration is for animations: add --animate");
    }
    const QString range =
        QStringLiteral("give seconds above 0 and at most %1").arg(kLongestAnimation);
    if (!looksNumeric(given.value)) {
        return notANumber("duration", given.value, range);
    }
    bool isNumber = false;
    const double seconds = given.value.toDouble(&isNumber);
    if (!isNumber || !(seconds > 0 && seconds <= kLongestAnimation)) {
        return QStringLiteral("--duration %1 is out of range: %2").arg(given.value, range);
    }
    request.pace.seconds = seconds;
    return std::nullopt;
}

std::optional<QString> checkFps(const Given& given, RenderRequest& request) {
    if (!given.isSet) {
        return std::nullopt;
    }
    if (!request.animate) {
        return QStringLiteral("--fps is for animations: add --animate");
    }
    if (request.animation == AnimationFormat::Svg) {
        return QStringLiteral("--fps is for .gif and .webp: an animated .svg has no frames");
    }
    const QString range = QStringLiteral("give 1 to %1 frames per second").arg(kHighestFps);
    static const QRegularExpression integer(QStringLiteral("^[-+]?[0-9]+$"));
    if (!integer.match(given.value).hasMatch()) {
        return notANumber("fps", given.value, range);
    }
    bool isNumber = false;
    const int fps = given.value.toInt(&isNumber);
    if (!isNumber || fps < 1 || fps > kHighestFps) {
        return QStringLiteral("--fps %1 is out of range: %2").arg(given.value, range);
    }
    request.pace.fps = fps;
    return std::nullopt;
}

std::optional<QString> checkQuality(const Given& given, RenderRequest& request) {
    if (!given.isSet) {
        return std::nullopt;
    }
    if (request.format != OutputFormat::Jpeg || request.animate) {
        return QStringLiteral("--quality is for .jpg");
    }
    const QString range = QStringLiteral("give 1 to 100");
    static const QRegularExpression integer(QStringLiteral("^[-+]?[0-9]+$"));
    if (!integer.match(given.value).hasMatch()) {
        return notANumber("quality", given.value, range);
    }
    bool isNumber = false;
    const int quality = given.value.toInt(&isNumber);
    if (!isNumber || quality < 1 || quality > 100) {
        return QStringLiteral("--quality %1 is out of range: %2").arg(given.value, range);
    }
    request.jpegQuality = quality;
    return std::nullopt;
}

/// --loop or --no-loop (`loop`): how often an animation plays.
std::optional<QString> checkLooping(const Given& given, RenderRequest& request, bool loop) {
    if (!given.isSet) {
        return std::nullopt;
    }
    const QString option = loop ? QStringLiteral("--loop") : QStringLiteral("--no-loop");
    if (!request.animate) {
        return QStringLiteral("%1 is for animations: add --animate").arg(option);
    }
    if (!request.loop) {
        return QStringLiteral("--loop and --no-loop exclude each other");
    }
    if (loop && request.animation == AnimationFormat::Svg) {
        return QStringLiteral("an animated .svg plays once: --loop is for .gif and .webp");
    }
    request.loop = loop;
    return std::nullopt;
}

std::optional<QString> checkNoLoop(const Given& given, RenderRequest& request) {
    return checkLooping(given, request, false);
}

std::optional<QString> checkLoop(const Given& given, RenderRequest& request) {
    return checkLooping(given, request, true);
}

std::optional<QString> checkReveal(const Given& given, RenderRequest& request) {
    if (!given.isSet) {
        return std::nullopt;
    }
    if (!request.animate) {
        return QStringLiteral("--reveal is for animations: add --animate");
    }
    if (given.value == QLatin1String("strokes")) {
        request.pace.reveal = RevealKind::Strokes;
    } else if (given.value == QLatin1String("wipe")) {
        request.pace.reveal = RevealKind::Wipe;
    } else {
        return QStringLiteral("--reveal takes strokes or wipe, not '%1'").arg(given.value);
    }
    return std::nullopt;
}

std::optional<QString> takeBackground(const Given& given, RenderRequest& request) {
    if (const std::optional<QString> fault = notOnPaper(given, request, "--background")) {
        return fault;
    }
    if (given.value == kStandardStream && request.namesFile == kStandardStream) {
        return QStringLiteral("--background - and --names-file - would both read standard input");
    }
    request.backgroundFile = given.value;
    return std::nullopt;
}

std::optional<QString> takeEmbeddedFonts(const Given& given, RenderRequest& request) {
    request.embeddedFonts = given.isSet;
    return std::nullopt;
}

std::optional<QString> takeNamesFile(const Given& given, RenderRequest& request) {
    if (request.mode == RenderMode::Batch) {
        request.namesFile = given.value;
    }
    return std::nullopt;
}

std::optional<QString> takeOutDir(const Given& given, RenderRequest& request) {
    if (request.mode == RenderMode::Batch) {
        request.outDir = given.value;
    }
    return std::nullopt;
}

std::optional<QString> checkFileNames(const Given& given, RenderRequest& request) {
    if (!given.isSet) {
        return std::nullopt;
    }
    if (request.mode != RenderMode::Batch) {
        return QStringLiteral("--file-names is for batches");
    }
    if (!given.value.contains(QLatin1String("{name}")) &&
        !given.value.contains(QLatin1String("{n}"))) {
        return QStringLiteral("--file-names %1 has neither {name} nor {n}: every file would have "
                              "the same name")
            .arg(given.value);
    }
    request.fileNamePattern = given.value;
    return std::nullopt;
}

std::optional<QString> takeQuiet(const Given& given, RenderRequest& request) {
    request.quiet = given.isSet;
    return std::nullopt;
}

/// --verbose, --print0 or --json, which name the written files on standard output.
std::optional<QString> checkListing(const Given& given, RenderRequest& request, const char* option,
                                    Listing listing) {
    if (!given.isSet) {
        return std::nullopt;
    }
    const QString name = QLatin1String(option);
    if (request.listing != Listing::None) {
        return QStringLiteral("--verbose, --print0 and --json exclude each other");
    }
    if (listing == Listing::Lines && request.quiet) {
        return QStringLiteral("--quiet and --verbose exclude each other");
    }
    if (request.output == kStandardStream) {
        return QStringLiteral("%1 would mix its lines into the file on standard output").arg(name);
    }
    request.listing = listing;
    return std::nullopt;
}

std::optional<QString> takeVerbose(const Given& given, RenderRequest& request) {
    return checkListing(given, request, "--verbose", Listing::Lines);
}

std::optional<QString> takePrint0(const Given& given, RenderRequest& request) {
    return checkListing(given, request, "--print0", Listing::Nul);
}

std::optional<QString> takeJson(const Given& given, RenderRequest& request) {
    return checkListing(given, request, "--json", Listing::Json);
}

constexpr int kMostJobs = 256;

std::optional<QString> checkStrokes(const Given& given, RenderRequest& request) {
    if (!given.isSet) {
        return std::nullopt;
    }
    if (request.mode != RenderMode::Single) {
        return QStringLiteral("--strokes draws one file: give it with -o");
    }
    request.strokesFile = given.value;
    return std::nullopt;
}

std::optional<QString> checkJobs(const Given& given, RenderRequest& request) {
    if (!given.isSet) {
        return std::nullopt;
    }
    if (request.mode != RenderMode::Batch) {
        return QStringLiteral("--jobs is for batches");
    }
    const QString range = QStringLiteral("give 1 to %1 files at once").arg(kMostJobs);
    static const QRegularExpression integer(QStringLiteral("^[-+]?[0-9]+$"));
    if (!integer.match(given.value).hasMatch()) {
        return notANumber("jobs", given.value, range);
    }
    bool isNumber = false;
    const int jobs = given.value.toInt(&isNumber);
    if (!isNumber || jobs < 1 || jobs > kMostJobs) {
        return QStringLiteral("--jobs %1 is out of range: %2").arg(given.value, range);
    }
    request.jobs = jobs;
    return std::nullopt;
}

std::optional<QString> takeForce(const Given& given, RenderRequest& request) {
    request.force = request.mode == RenderMode::Batch && given.isSet;
    return std::nullopt;
}

std::optional<QString> takeOutput(const Given& given, RenderRequest& request) {
    if (request.mode == RenderMode::Single) {
        request.output = given.value;
    }
    return std::nullopt;
}

std::optional<QString> takeSheet(const Given& given, RenderRequest& request) {
    if (request.mode == RenderMode::Sheet) {
        request.output = given.value;
    }
    return std::nullopt;
}

std::optional<QString> takePracticeSheet(const Given& given, RenderRequest& request) {
    if (request.mode == RenderMode::Practice) {
        request.output = given.value;
    }
    return std::nullopt;
}

/// "--OPTION is for practice sheets", for a sheet's option given without one.
std::optional<QString> onlyOnPaper(const Given& given, const RenderRequest& request,
                                   const char* option) {
    if (given.isSet && request.mode != RenderMode::Practice) {
        return QStringLiteral("%1 is for practice sheets: add --practice-sheet FILE.pdf")
            .arg(QLatin1String(option));
    }
    return std::nullopt;
}

std::optional<QString> checkPaper(const Given& given, RenderRequest& request) {
    if (!given.isSet) {
        return std::nullopt;
    }
    if (const std::optional<QString> fault = onlyOnPaper(given, request, "--paper")) {
        return fault;
    }
    QString paper = given.value.toLower();
    const QLatin1String turned("-landscape");
    request.practice.landscape = paper.endsWith(turned);
    if (request.practice.landscape) {
        paper.chop(turned.size());
    }
    if (paper == QLatin1String("a4")) {
        request.practice.paper = Paper::A4;
    } else if (paper == QLatin1String("a5")) {
        request.practice.paper = Paper::A5;
    } else if (paper == QLatin1String("letter")) {
        request.practice.paper = Paper::Letter;
    } else {
        return QStringLiteral("--paper takes a4, a5 or letter, each also with -landscape (e.g. "
                              "a4-landscape), not '%1'")
            .arg(given.value);
    }
    return std::nullopt;
}

std::optional<QString> checkGrid(const Given& given, RenderRequest& request) {
    if (!given.isSet) {
        return std::nullopt;
    }
    if (const std::optional<QString> fault = onlyOnPaper(given, request, "--grid")) {
        return fault;
    }
    if (given.value == QLatin1String("none")) {
        request.practice.grid = SheetGrid::None;
    } else if (given.value == QLatin1String("tian")) {
        request.practice.grid = SheetGrid::Tian;
    } else if (given.value == QLatin1String("mi")) {
        request.practice.grid = SheetGrid::Mi;
    } else {
        return QStringLiteral("--grid takes none, tian or mi, not '%1'").arg(given.value);
    }
    return std::nullopt;
}

std::optional<QString> checkTracing(const Given& given, RenderRequest& request) {
    if (!given.isSet) {
        return std::nullopt;
    }
    if (const std::optional<QString> fault = onlyOnPaper(given, request, "--tracing")) {
        return fault;
    }
    if (given.value == QLatin1String("red")) {
        request.practice.tracing = TraceColour::Red;
    } else if (given.value == QLatin1String("ink")) {
        request.practice.tracing = TraceColour::Ink;
    } else {
        return QStringLiteral("--tracing takes red or ink, not '%1'").arg(given.value);
    }
    return std::nullopt;
}

/// --trace-rows or --guide-rows (`option`): a number of rows of a practice sheet into `rows`.
std::optional<QString> checkRows(const Given& given, const RenderRequest& request,
                                 const char* option, int& rows) {
    if (!given.isSet) {
        return std::nullopt;
    }
    const QString dashed = QStringLiteral("--") + QLatin1String(option);
    if (const std::optional<QString> fault = onlyOnPaper(given, request, qPrintable(dashed))) {
        return fault;
    }
    const QString range = QStringLiteral("give 0 to %1 rows").arg(kMostPracticeRows);
    static const QRegularExpression integer(QStringLiteral("^[-+]?[0-9]+$"));
    if (!integer.match(given.value).hasMatch()) {
        return notANumber(option, given.value, range);
    }
    bool isNumber = false;
    const int number = given.value.toInt(&isNumber);
    if (!isNumber || number < 0 || number > kMostPracticeRows) {
        return QStringLiteral("%1 %2 is out of range: %3").arg(dashed, given.value, range);
    }
    rows = number;
    return std::nullopt;
}

std::optional<QString> checkTraceRows(const Given& given, RenderRequest& request) {
    return checkRows(given, request, "trace-rows", request.practice.traceRows);
}

std::optional<QString> checkGuideRows(const Given& given, RenderRequest& request) {
    return checkRows(given, request, "guide-rows", request.practice.guideRows);
}

// clang-format off
const std::array<OptionRow, kOptionCount>& optionTable() {
    static const std::array<OptionRow, kOptionCount> table{{
        {Opt::Style, {QStringLiteral("style")},
         QStringLiteral("The style: its number 0 to 14 (the catalogue slot, listed below), its "
                        "caption or its face name."),
         QStringLiteral("N"), {}, &checkStyle},
        {Opt::Name, {QStringLiteral("name")}, QStringLiteral("The name to draw."),
         QStringLiteral("TEXT"), {}, &checkName, true},
        {Opt::Output, {QStringLiteral("o"), QStringLiteral("output")},
         QStringLiteral("Write the signature to FILE, or to standard output for -; the "
                        "extension sets the format (.bmp, .png, .jpg, .svg or .pdf), or --format."),
         QStringLiteral("FILE"), {}, &takeOutput},
        {Opt::Size, {QStringLiteral("size")},
         QStringLiteral("Text size in points, above 0 and at most 1000 (default: 42)."),
         QStringLiteral("POINTS"), QStringLiteral("42"), &checkSize},
        {Opt::Colour, {QStringLiteral("color")},
         QStringLiteral("Text colour: #RGB, #RRGGBB, #RRGGBBAA (AA the opacity) or an SVG colour "
                        "name (default: the designer's, black)."),
         QStringLiteral("COLOUR"), {}, &checkColour},
        {Opt::CanvasColour, {QStringLiteral("canvas-color")},
         QStringLiteral("Canvas colour, opaque: #RGB, #RRGGBB or a colour name (default: the "
                        "designer's light grey, #efefef); see --transparent for none."),
         QStringLiteral("COLOUR"), {}, &checkCanvasColour},
        {Opt::Background, {QStringLiteral("background")},
         QStringLiteral("A picture laid under the text at its natural size, from the top left; - "
                        "reads it from standard input."),
         QStringLiteral("FILE"), {}, &takeBackground},
        {Opt::Canvas, {QStringLiteral("canvas")},
         QStringLiteral("Canvas size in pixels, its 2-pixel border included; the picture is the "
                        "area inside the border (default: 340x97)."),
         QStringLiteral("WxH"), QStringLiteral("340x97"), &checkCanvas},
        {Opt::Preset, {QStringLiteral("preset")},
         QStringLiteral("A line shape: rising (上扬签), big-surname (姓大名小), compact "
                        "(紧凑连写) or vertical (竖排落款); --spacing, --slant, --rise, "
                        "--first-scale and --vertical change it further."),
         QStringLiteral("NAME"), {}, &checkPreset},
        {Opt::Spacing, {QStringLiteral("spacing")},
         QStringLiteral("Room between characters in ems, -0.3 (overlapping) to 1 (default: 0)."),
         QStringLiteral("EM"), {}, &checkSpacing},
        {Opt::Slant, {QStringLiteral("slant")},
         QStringLiteral("Lean the characters, -30 to 30 degrees, the baseline kept; positive "
                        "leans right (default: 0)."),
         QStringLiteral("DEG"), {}, &checkSlant},
        {Opt::Rise, {QStringLiteral("rise")},
         QStringLiteral("Turn the line about its start, -20 to 20 degrees; positive rises "
                        "towards its end (default: 0)."),
         QStringLiteral("DEG"), {}, &checkRise},
        {Opt::FirstScale, {QStringLiteral("first-scale")},
         QStringLiteral("The first character's size over the others', 0.5 to 2, bottoms "
                        "aligned (default: 1)."),
         QStringLiteral("X"), {}, &checkFirstScale},
        {Opt::Vertical, {QStringLiteral("vertical")},
         QStringLiteral("Write the name top to bottom, each character centred."), {}, {},
         &checkVertical},
        {Opt::Seal, {QStringLiteral("seal")},
         QStringLiteral("Stamp a red seal of the surname (the first character) or the whole "
                        "name in seal script beside the signature, under it when vertical: "
                        "surname, name or none (default: none)."),
         QStringLiteral("WHICH"), {}, &checkSeal},
        {Opt::Fit, {QStringLiteral("fit")},
         QStringLiteral("Grow the canvas to hold the whole name, its shape and seal at full "
                        "size. Without it the canvas keeps its size: a plain name wider than it is "
                        "cut at its edges as in the designer, a shaped line is drawn smaller. "
                        "Practice sheets always fit."), {}, {}, &checkFit},
        {Opt::Transparent, {QStringLiteral("transparent")},
         QStringLiteral("Leave the background colour out (.png, .svg, .pdf, .gif, .webp)."), {}, {},
         &checkTransparent},
        {Opt::Dpi, {QStringLiteral("dpi")},
         QStringLiteral("Resolution of .bmp, .png, .jpg, .gif and .webp output, 24 to 2400: the canvas is "
                        "drawn DPI/96 times larger, not upscaled (default: 96)."),
         QStringLiteral("DPI"), QStringLiteral("96"), &checkDpi},
        {Opt::Width, {QStringLiteral("width")},
         QStringLiteral("Width of .svg and .pdf output on paper, with its unit: mm, cm, in or pt "
                        "(e.g. 40mm), 1mm to 5000mm; the height follows (default: a canvas pixel "
                        "is 1/96 inch)."),
         QStringLiteral("LENGTH"), {}, &checkWidth},
        {Opt::Quality, {QStringLiteral("quality")},
         QStringLiteral("JPEG quality, 1 to 100 (default: 92, as the designer saves)."),
         QStringLiteral("N"), {}, &checkQuality},
        {Opt::Trim, {QStringLiteral("trim")},
         QStringLiteral("Crop the picture to the ink plus PADDING pixels, within the canvas."),
         QStringLiteral("PADDING"), {}, &checkTrim},
        {Opt::Animate, {QStringLiteral("animate")},
         QStringLiteral("Write the name as a hand writes it, stroke after stroke in reading "
                        "order, then hold it: an animated .gif, .webp or .svg, by the file's extension "
                        "or --format. Its last frame is the still .png (or .svg)."), {}, {},
         &checkAnimate},
        {Opt::Duration, {QStringLiteral("duration")},
         QStringLiteral("With --animate: the whole animation, the hold included, in seconds above "
                        "0 and at most 60 (default: the natural pace, a pen that draws an em "
                        "of stroke in 0.2 s, then a second's hold)."),
         QStringLiteral("SECONDS"), {}, &checkDuration},
        {Opt::Fps, {QStringLiteral("fps")},
         QStringLiteral("With --animate: frames per second of .gif and .webp, 1 to 60; a GIF "
                        "shows at most 50 (default: 25)."),
         QStringLiteral("N"), QStringLiteral("25"), &checkFps},
        {Opt::Loop, {QStringLiteral("loop")},
         QStringLiteral("With --animate: a .gif or .webp loops for ever (the default)."), {}, {},
         &checkLoop},
        {Opt::NoLoop, {QStringLiteral("no-loop")},
         QStringLiteral("With --animate: a .gif or .webp plays once and keeps the finished "
                        "signature, as an animated .svg always does."), {}, {}, &checkNoLoop},
        {Opt::Reveal, {QStringLiteral("reveal")},
         QStringLiteral("With --animate: strokes writes each character stroke by stroke in its "
                        "stroke order, and other letters along their ink; wipe uncovers glyph "
                        "after glyph from one edge (default: strokes)."),
         QStringLiteral("HOW"), QStringLiteral("strokes"), &checkReveal},
        {Opt::NamesFile, {QStringLiteral("names-file")},
         QStringLiteral("Batch: UTF-8 text, one name a line (blank lines are skipped); - reads "
                        "standard input."),
         QStringLiteral("FILE"), {}, &takeNamesFile},
        {Opt::Encoding, {QStringLiteral("encoding")},
         QStringLiteral("The encoding of --names-file: utf-8, gb18030 (also gbk), utf-16, "
                        "utf-16le or utf-16be. Without it the file is UTF-8, and text in another "
                        "of these is refused with the way to convert it; utf-8 takes it, and "
                        "--name, as it is."),
         QStringLiteral("ENCODING"), {}, &checkEncoding},
        {Opt::OutDir, {QStringLiteral("out-dir")},
         QStringLiteral("Batch: write one file per name into DIR, named after the name; DIR is "
                        "made, with its parents, if missing."),
         QStringLiteral("DIR"), {}, &takeOutDir},
        {Opt::Format, {QStringLiteral("format")},
         QStringLiteral("The format: bmp, png, jpg, svg or pdf; with --animate gif, webp or svg. "
                        "For batches (default: png), and for -o and --sheet where the file name "
                        "has no extension or is -."),
         QStringLiteral("FORMAT"), QStringLiteral("png"), &checkFormat},
        {Opt::Force, {QStringLiteral("force")},
         QStringLiteral("Batch: overwrite files that exist already."), {}, {}, &takeForce},
        {Opt::FileNames, {QStringLiteral("file-names")},
         QStringLiteral("Batch: name the files after PATTERN, where {name} is the name and {n} "
                        "its number in the file, zero-padded (e.g. \"{n}-{name}\")."),
         QStringLiteral("PATTERN"), {}, &checkFileNames},
        {Opt::Sheet, {QStringLiteral("sheet")},
         QStringLiteral("Write a contact sheet of the name in all fifteen styles to FILE (- for "
                        "standard output)."),
         QStringLiteral("FILE"), {}, &takeSheet},
        {Opt::PracticeSheet, {QStringLiteral("practice-sheet")},
         QStringLiteral("Write a practice sheet of the name to FILE.pdf: stroke-order strips of "
                        "its Chinese characters, a model row at the height a hand writes, rows "
                        "of copies to trace, fainter row by row, and rows of the grid alone."),
         QStringLiteral("FILE"), {}, &takePracticeSheet},
        {Opt::Paper, {QStringLiteral("paper")},
         QStringLiteral("With --practice-sheet: the paper, a4, a5 or letter, turned with "
                        "-landscape (e.g. a4-landscape) (default: a4)."),
         QStringLiteral("PAPER"), QStringLiteral("a4"), &checkPaper},
        {Opt::Grid, {QStringLiteral("grid")},
         QStringLiteral("With --practice-sheet: the grid behind the rows, none (a top line and "
                        "a baseline), tian (田字格) or mi (米字格) (default: tian)."),
         QStringLiteral("GRID"), QStringLiteral("tian"), &checkGrid},
        {Opt::Tracing, {QStringLiteral("tracing")},
         QStringLiteral("With --practice-sheet: the copies to trace in red (描红) or in the "
                        "signature's ink, lightened (default: red)."),
         QStringLiteral("COLOUR"), QStringLiteral("red"), &checkTracing},
        {Opt::TraceRows, {QStringLiteral("trace-rows")},
         QStringLiteral("With --practice-sheet: rows of copies to trace, fainter row by row, 0 "
                        "to 12 (default: 4); rows that do not fit go on to another page."),
         QStringLiteral("N"), QStringLiteral("4"), &checkTraceRows},
        {Opt::GuideRows, {QStringLiteral("guide-rows")},
         QStringLiteral("With --practice-sheet: rows of the grid alone, to write freely, 0 to "
                        "12 (default: 3)."),
         QStringLiteral("N"), QStringLiteral("3"), &checkGuideRows},
        {Opt::EmbeddedFonts, {QStringLiteral("fonts-from-executable")},
         QStringLiteral("Use the style fonts inside this program; nothing is installed."), {}, {},
         &takeEmbeddedFonts},
        {Opt::Quiet, {QStringLiteral("q"), QStringLiteral("quiet")},
         QStringLiteral("Say only what makes the run fail: no warnings, no notes."), {}, {},
         &takeQuiet},
        {Opt::Verbose, {QStringLiteral("v"), QStringLiteral("verbose")},
         QStringLiteral("Print the path of each file written, as it is, a line each, on standard "
                        "output."),
         {}, {}, &takeVerbose},
        {Opt::Print0, {QStringLiteral("print0")},
         QStringLiteral("Print the path of each file written on standard output, each ended by a "
                        "zero byte (for xargs -0)."),
         {}, {}, &takePrint0},
        {Opt::Json, {QStringLiteral("json")},
         QStringLiteral("Print a JSON object per file written, a line each, on standard output: "
                        "path, name, line, style, caption, format, width, height, dpi, faces and "
                        "notes."),
         {}, {}, &takeJson},
        {Opt::Jobs, {QStringLiteral("jobs")},
         QStringLiteral("Batch: draw and write N files at once, 1 to 256 (default: one per "
                        "processor)."),
         QStringLiteral("N"), {}, &checkJobs},
        {Opt::Strokes, {QStringLiteral("strokes")},
         QStringLiteral("Draw the strokes file FILE (saved by the drawing pad) instead of a name, "
                        "fitted to the canvas, into the file of -o; with --animate, replayed at "
                        "the pace it was drawn. --style and --name do not apply."),
         QStringLiteral("FILE"), {}, &checkStrokes},
        {Opt::ListStyles, {QStringLiteral("list-styles")},
         QStringLiteral("List the styles: number, caption and face name, apart by tabs."), {}, {},
         nullptr},
        {Opt::Help, {QStringLiteral("h"), QStringLiteral("help")},
         QStringLiteral("Show this help."), {}, {}, nullptr},
        {Opt::Version, {QStringLiteral("version")}, QStringLiteral("Show the version."), {}, {},
         nullptr},
    }};
    return table;
}
// clang-format on

/// The order the values are checked in, once the mode is known: what is drawn before how it
/// looks, and the format before the options that depend on it, so that the first fault is the
/// one reported.
constexpr std::array kCheckOrder{
    Opt::Strokes,      Opt::Style,         Opt::Encoding,  Opt::Name,     Opt::Output,
    Opt::Sheet,        Opt::PracticeSheet, Opt::NamesFile, Opt::OutDir,   Opt::Force,
    Opt::FileNames,    Opt::Animate,       Opt::Format,    Opt::Duration, Opt::Fps,
    Opt::Reveal,       Opt::NoLoop,        Opt::Loop,      Opt::Size,     Opt::Colour,
    Opt::Canvas,       Opt::Preset,        Opt::Spacing,   Opt::Slant,    Opt::Rise,
    Opt::FirstScale,   Opt::Vertical,      Opt::Seal,      Opt::Fit,      Opt::Transparent,
    Opt::CanvasColour, Opt::Dpi,           Opt::Width,     Opt::Quality,  Opt::Trim,
    Opt::Background,   Opt::EmbeddedFonts, Opt::Quiet,     Opt::Verbose,  Opt::Print0,
    Opt::Json,         Opt::Jobs,          Opt::Paper,     Opt::Grid,     Opt::Tracing,
    Opt::TraceRows,    Opt::GuideRows,
};

const OptionRow& row(Opt id) {
    return optionTable().at(std::size_t(id));
}

/// A parser that knows every option of the table.
struct Parser {
    QCommandLineParser parser;
    std::vector<QCommandLineOption> options;

    Parser() {
        for (const OptionRow& entry : optionTable()) {
            options.emplace_back(entry.names, entry.description, entry.valueName,
                                 entry.defaultValue);
        }
        parser.addOptions({options.begin(), options.end()});
    }

    [[nodiscard]] const QCommandLineOption& option(Opt id) const {
        return options.at(std::size_t(id));
    }
    [[nodiscard]] bool isSet(Opt id) const { return parser.isSet(option(id)); }
    [[nodiscard]] Given given(Opt id) const { return {isSet(id), parser.value(option(id))}; }
};

/// Pixels of the raster picture that `request` draws.
qint64 rasterPixels(const RenderRequest& request) {
    const QSize inner = request.look.canvas - QSize(2 * SignatureSurface::kDesignedBorderPixels,
                                                    2 * SignatureSurface::kDesignedBorderPixels);
    const QSize area = request.mode == RenderMode::Sheet ? ContactSheetLayout(inner).size() : inner;
    const qreal ratio = request.look.dotsPerInch / 96.0;
    return qint64(std::ceil(area.width() * ratio)) * qint64(std::ceil(area.height() * ratio));
}

} // namespace

ParsedCommandLine parseRenderCommandLine(const QStringList& arguments) {
    Parser p;
    if (!p.parser.parse(arguments)) {
        // Qt's words in the program's form: lower case, no full stop.
        QString message = p.parser.errorText();
        if (!message.isEmpty()) {
            message[0] = message.at(0).toLower();
        }
        if (message.endsWith(QLatin1Char('.'))) {
            message.chop(1);
        }
        return BadCommandLine{message};
    }
    if (p.isSet(Opt::Help)) {
        return ShowHelp{};
    }
    if (p.isSet(Opt::Version)) {
        return ShowVersion{};
    }
    if (p.isSet(Opt::ListStyles)) {
        return ShowStyles{};
    }
    // An empty value is never meant: it is an unset shell variable or a stray pair of quotes.
    for (const OptionRow& entry : optionTable()) {
        if (!entry.valueName.isEmpty() && !entry.mayBeEmpty && p.isSet(entry.id) &&
            p.parser.values(p.option(entry.id)).contains(QString())) {
            const QString name = entry.names.constLast();
            return BadCommandLine{
                QStringLiteral("%1%2 is empty: give it a value")
                    .arg(name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--"), name)};
        }
    }
    // The last of two values would otherwise win silently, though the user may mean the other.
    const QStringList given = p.parser.optionNames();
    for (const OptionRow& entry : optionTable()) {
        qsizetype times = 0;
        for (const QString& name : entry.names) {
            times += given.count(name);
        }
        if (times > 1) {
            const QString name = entry.names.constLast();
            return BadCommandLine{
                QStringLiteral("%1%2 is given %3 times: give it once")
                    .arg(name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--"), name)
                    .arg(times)};
        }
    }
    if (!p.parser.positionalArguments().isEmpty()) {
        return BadCommandLine{
            QStringLiteral("unexpected argument '%1'").arg(p.parser.positionalArguments().first())};
    }

    // What is written where decides which of the other options apply.
    RenderRequest request;
    const bool batch = p.isSet(Opt::OutDir) || p.isSet(Opt::NamesFile);
    const int modes = int(p.isSet(Opt::Output)) + int(batch) + int(p.isSet(Opt::Sheet)) +
                      int(p.isSet(Opt::PracticeSheet));
    if (modes == 0) {
        return BadCommandLine{QStringLiteral(
            "say where to write: -o FILE, --names-file FILE with --out-dir DIR, --sheet FILE or "
            "--practice-sheet FILE.pdf")};
    }
    if (modes > 1) {
        return BadCommandLine{p.isSet(Opt::PracticeSheet)
                                  ? QStringLiteral("--practice-sheet excludes -o, --out-dir and "
                                                   "--sheet")
                                  : QStringLiteral("-o, --out-dir and --sheet exclude each other")};
    }
    if (p.isSet(Opt::OutDir) != p.isSet(Opt::NamesFile)) {
        return BadCommandLine{QStringLiteral("--names-file and --out-dir go together")};
    }
    request.mode = p.isSet(Opt::Output)          ? RenderMode::Single
                   : p.isSet(Opt::Sheet)         ? RenderMode::Sheet
                   : p.isSet(Opt::PracticeSheet) ? RenderMode::Practice
                                                 : RenderMode::Batch;

    for (const Opt id : kCheckOrder) {
        if (const std::optional<QString> fault = row(id).check(p.given(id), request)) {
            return BadCommandLine{*fault};
        }
    }
    if (isRaster(request.format) && rasterPixels(request) > kLargestRenderPixels) {
        return BadCommandLine{
            QStringLiteral("the picture would have more than %1 million pixels: choose a smaller "
                           "canvas or resolution")
                .arg(kLargestRenderPixels / 1'000'000)};
    }
    return request;
}

std::optional<QColor> colourNamed(const QString& text) {
    static const QRegularExpression hex(
        QStringLiteral("^#([0-9A-Fa-f]{3}|[0-9A-Fa-f]{6}|[0-9A-Fa-f]{8})$"));
    if (hex.match(text).hasMatch()) {
        const QString digits = text.mid(1);
        if (digits.size() == 3) {
            const auto twice = [&digits](int i) {
                return QString(2, digits.at(i)).toInt(nullptr, 16);
            };
            return QColor(twice(0), twice(1), twice(2));
        }
        const auto pair = [&digits](int i) {
            return digits.mid(2 * i, 2).toInt(nullptr, 16);
        };
        return QColor(pair(0), pair(1), pair(2), digits.size() == 8 ? pair(3) : 255);
    }
    // A name of letters only: Qt would also read its own forms ("#AARRGGBB" first), and
    // "transparent" is no colour to write with.
    static const QRegularExpression letters(QStringLiteral("^[A-Za-z]+$"));
    if (letters.match(text).hasMatch() && QColor::isValidColorName(text) &&
        text.compare(QLatin1String("transparent"), Qt::CaseInsensitive) != 0) {
        return QColor::fromString(text.toLower());
    }
    return std::nullopt;
}

QString extensionOf(const RenderRequest& request) {
    return request.animate ? extensionOf(request.animation) : extensionOf(request.format);
}

QString styleListText() {
    QString text;
    for (const StyleSlot& slot : styleCatalogue()) {
        if (slot.isStyle()) {
            text += QStringLiteral("%1\t%2\t%3\n")
                        .arg(slot.index)
                        .arg(slot.caption.toString(), slot.faceName.toString());
        }
    }
    return text;
}

QString renderHelpText() {
    const Parser p;
    QString text = QStringLiteral("Usage:\n"
                                  "  %1 --style N --name TEXT -o FILE [options]\n"
                                  "  %1 --style N --names-file FILE --out-dir DIR [options]\n"
                                  "  %1 --name TEXT --sheet FILE [options]\n"
                                  "  %1 --style N --name TEXT --practice-sheet FILE.pdf [options]\n"
                                  "  %1 --list-styles\n\n"
                                  "Draws artistic signatures as the Inkvale designer does.\n")
                       .arg(kProgram);
    // The option list of Qt's own help, without its usage line.
    const QString options = p.parser.helpText();
    text += options.mid(options.indexOf(QStringLiteral("\nOptions:")));
    text += QStringLiteral("\nStyles:\n");
    for (const StyleSlot& slot : styleCatalogue()) {
        if (slot.isStyle()) {
            text += QStringLiteral("  %1  %2  (face %3)\n")
                        .arg(slot.index, 2)
                        .arg(slot.caption.toString(), slot.faceName.toString());
        }
    }
    text +=
        QStringLiteral(
            "\nExamples:\n"
            "  %1 --style 12 --name 张伟 -o zhang.png\n"
            "  %1 --style 疾风草书 --name 'Ann Lee' --color darkblue --transparent --trim 4 -o "
            "ann.svg\n"
            "  %1 --style 7 --name Ann --format png -o - | display\n"
            "  %1 --style 3 --names-file staff.txt --out-dir signatures --file-names '{n}-{name}' "
            "--verbose\n"
            "  cut -d, -f1 staff.csv | %1 --style 3 --names-file - --out-dir out --format jpg\n"
            "  %1 --name 张伟 --sheet all-styles.pdf\n"
            "  %1 --style 12 --name 张伟 --animate --duration 3 -o zhang.gif\n"
            "  %1 --style 8 --names-file staff.txt --out-dir signatures --animate --format webp\n")
            .arg(kProgram);
    text += QStringLiteral(
        "\nFiles: -o replaces a file as cp does, through a symbolic link and keeping its "
        "permissions and owner; a file you may not write, or one with other hard links, is "
        "refused. A batch without --force never overwrites a file, not even one that another run "
        "writes meanwhile. .svg and .pdf need no picture of the canvas, whatever its size. PDFs "
        "carry no date, or the date of SOURCE_DATE_EPOCH. Arguments and names files are UTF-8 "
        "text; a names file in GB18030 (GBK) or UTF-16 is refused with the way to convert it, or "
        "read with --encoding. A names file holds at most 16 MiB, a line at most 4096 bytes. "
        "Nothing is printed on standard output unless asked for (--verbose, --print0, --json, "
        "-o -), and a listing that cannot be written fails the run.\n");
    text += QStringLiteral(
        "\nExit status: 0 done; 1 a file could not be read or written, a name could not be "
        "drawn (a batch skips such names and writes the others), or there was not enough "
        "memory; 2 a bad command line.\n");
    return text;
}

} // namespace inkvale

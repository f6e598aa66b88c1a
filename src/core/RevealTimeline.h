#pragma once

#include "core/SignatureRenderer.h"

#include <QRectF>

#include <optional>
#include <vector>

namespace inkvale {

/// How an animation uncovers the signature's ink.
enum class RevealKind {
    Strokes, ///< stroke after stroke in stroke order, along the ink as a hand writes it
    Wipe,    ///< each glyph's box from one edge to the other
};

/// How an animated signature is paced and sampled.
struct AnimationPace {
    int fps = 25; ///< frames per second, 1 to 60
    /// The whole animation, the hold at its end included; none keeps the natural pace.
    std::optional<double> seconds;
    RevealKind reveal = RevealKind::Strokes;
};

/// The natural pace of writing: a pen that covers an em in 0.42 s whatever the script, so that
/// the time a glyph takes follows its width. A character one em wide (Chinese, Japanese) takes
/// 0.42 s, in the 0.35 to 0.5 s a practised hand takes for one of eight to ten strokes in
/// running script; a Latin letter, about half an em, takes about 0.2 s, never less than 0.12 s
/// (an "i") nor more than 0.6 s (the widest swash). A space is a pause of 0.2 s, the pen lifted
/// between words; the finished signature is then held for a second. The pace is chosen to
/// look natural, not measured from writers. In 疾风草书, whose characters are 0.9 em wide,
/// "张伟" is written in 0.76 s and shown 1.76 s in all.
inline constexpr double kSecondsPerEm = 0.42;
inline constexpr double kShortestGlyphSeconds = 0.12;
inline constexpr double kLongestGlyphSeconds = 0.6;
inline constexpr double kWordPauseSeconds = 0.2;
inline constexpr double kHoldSeconds = 1.0;

/// One grapheme being written: its box uncovered from one edge to the other over its time.
struct GlyphStroke {
    QRectF box;               ///< canvas pixels of the drawing area
    bool rightToLeft = false; ///< uncovered from the right edge
    double begin = 0;         ///< seconds from the start of the animation
    double duration = 0;      ///< seconds
};

/// When each grapheme of a name is written, glyph after glyph in reading order, and which
/// frames sample it. Frame k shows the moment k / fps: frame 0 shows no ink, and every frame
/// from the moment the last glyph is finished shows the finished signature, at least one.
class RevealTimeline final {
public:
    explicit RevealTimeline(const NameLayout& layout, const AnimationPace& pace = {});
    /// A timeline of no glyph boxes for a writing that takes `naturalSeconds` at its natural
    /// pace, stretched or shrunk to the pace's length when it asks for one.
    RevealTimeline(double naturalSeconds, const AnimationPace& pace);

    /// The graphemes that leave ink, in the order they are written.
    [[nodiscard]] const std::vector<GlyphStroke>& strokes() const { return m_strokes; }
    [[nodiscard]] int fps() const { return m_fps; }
    /// When the last glyph is finished, in seconds.
    [[nodiscard]] double writingSeconds() const { return m_writing; }
    [[nodiscard]] int frameCount() const { return m_frames; }
    /// The length of the animation: frameCount() / fps().
    [[nodiscard]] double seconds() const { return double(m_frames) / m_fps; }
    /// When frame `index` begins, in milliseconds (frameCount() for the end of the last).
    [[nodiscard]] qint64 frameStartMs(int index) const;
    /// Whether frame `index` shows the finished signature.
    [[nodiscard]] bool isFinished(int index) const;
    /// What frame `index` uncovers, in canvas pixels: the boxes of the glyphs written, and the
    /// part written of the glyph being written. Not for finished frames, which show it all.
    [[nodiscard]] std::vector<QRectF> uncovered(int index) const;
    /// The animation's seconds per second of writing at its natural pace.
    [[nodiscard]] double scale() const { return m_scale; }
    /// The moment of the natural writing that frame `index` shows, in seconds.
    [[nodiscard]] double naturalMoment(int index) const { return double(index) / m_fps / m_scale; }

private:
    /// Scales the strokes and the writing to the pace's length, then counts the frames; with
    /// `wholeHold`, a natural pace holds the finished signature for all of kHoldSeconds.
    void applyPace(const AnimationPace& pace, bool wholeHold = false);

    std::vector<GlyphStroke> m_strokes;
    int m_fps = 25;
    double m_scale = 1;
    double m_writing = 0;
    int m_frames = 2;
};

} // namespace inkvale

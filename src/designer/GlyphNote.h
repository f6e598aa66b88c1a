#pragma once

#include "core/FaceChain.h"

#include <QRect>
#include <QString>

#include <map>
#include <memory>

class QLabel;
class QWidget;

namespace inkvale {

/// What the window tells, in Chinese, about the characters of a drawn name that the style's own
/// hand did not write: those borrowed from another font, those a later face drew and those no
/// face draws, as `origins` tells them for `name`, in the name's order. Empty when the style
/// wrote every character itself.
[[nodiscard]] QString glyphNoteText(const GlyphOrigins& origins, const QString& name);

/// The line under the design area that tells after each design which characters came from
/// another font. Hidden while there is nothing to tell.
class GlyphNote final {
public:
    /// A note in `parent` at `geometry`, hidden.
    explicit GlyphNote(QWidget* parent, const QRect& geometry);
    ~GlyphNote();
    GlyphNote(const GlyphNote&) = delete;
    GlyphNote& operator=(const GlyphNote&) = delete;

    /// Tells about `name` as the style whose face is `faceName` draws it.
    void tell(const QString& faceName, const QString& name);

    /// The label that shows the note, in the window's layout.
    [[nodiscard]] QLabel* label() const { return m_label; }

private:
    QLabel* m_label = nullptr;
    /// By face name: the style's fonts are opened once, when a name is first drawn in it.
    std::map<QString, std::unique_ptr<GlyphOriginFinder>> m_finders;
};

} // namespace inkvale

#pragma once

#include <QChar>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <memory>

namespace inkvale {

/// The faces that draw text in the face `faceName`, in the order each character is looked for:
/// the face itself, then, for a style of the catalogue, a fixed chain of faces of its kind (a
/// sans for the sans styles, a serif for the others, then faces that carry the rarer CJK
/// extensions, then DejaVu Sans for other alphabets such as Arabic and Hebrew). Never another
/// style's face, and never whatever the system would pick
/// first, so that a name looks the same on every machine that has these faces. A face that is
/// not a style's draws alone.
[[nodiscard]] QStringList faceChain(const QString& faceName);

/// Where the characters of a name come from in one style, for telling the user: those drawn by
/// glyphs the style's font borrowed from a donor font, those drawn by a face of the chain after
/// the style's own, and those no face of the chain draws.
struct GlyphOrigins {
    QMap<QString, QString> fromDonor; ///< by donor font: the characters it gave, once each
    QMap<QString, QString> fromChain; ///< by chain face: the characters it draws, once each
    QString undrawn;                  ///< the characters nothing draws, once each
    /// Faces of the chain that the system has but that could not be opened (there was no
    /// memory to map or read them), each once, where a character was looked for in them: what
    /// draws such a character is not known, and a picture of it would be a substitute's.
    QStringList unopened;

    [[nodiscard]] bool allOwn() const {
        return fromDonor.isEmpty() && fromChain.isEmpty() && undrawn.isEmpty() &&
               unopened.isEmpty();
    }
};

/// Tells where the characters of names come from in the style drawn by `faceName` (a catalogue
/// face name), asking the fonts available to this process when it is made.
class GlyphOriginFinder final {
public:
    explicit GlyphOriginFinder(const QString& faceName);
    ~GlyphOriginFinder();
    GlyphOriginFinder(const GlyphOriginFinder&) = delete;
    GlyphOriginFinder& operator=(const GlyphOriginFinder&) = delete;

    /// Where each character of `name` comes from; blanks are not counted. Nothing is told when
    /// the style's own face is not available at all: then a substitute draws the whole name.
    [[nodiscard]] GlyphOrigins of(const QString& name) const;

private:
    struct Fonts;
    std::unique_ptr<Fonts> m_fonts;
};

/// One donor record of a style font's donor table ("Ikvd"): the font that gave glyphs and the
/// inclusive code point ranges it gave.
struct DonorRecord {
    QString family;
    QList<std::pair<char32_t, char32_t>> ranges;
};

/// The donor records of `table`, the bytes of a style font's "Ikvd" table; none for a table
/// that is missing, of another version or cut short.
[[nodiscard]] QList<DonorRecord> parseDonorTable(const QByteArray& table);

} // namespace inkvale

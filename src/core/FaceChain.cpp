#include "core/FaceChain.h"

#include "core/StyleCatalogue.h"

#include <QFont>
#include <QFontDatabase>
#include <QRawFont>
#include <QtEndian>

#include <algorithm>
#include <optional>
#include <vector>

namespace inkvale {

namespace {

/// Deployment numbers of the styles whose chain is of sans faces: the heavy and rounded sans
/// styles. The hands, and the Latin styles, whose Chinese is drawn by the chain alone, take a
/// serif: the sans is the face of the window's own texts, and of the contact sheet's captions.
constexpr std::array kSansStyles{4, 10, 14};

/// After the kind's own CJK face, faces of Debian's fonts-hanazono and fonts-babelstone-han,
/// which carry the CJK extensions that names sometimes use.
const QStringList& extensionFaces() {
    static const QStringList faces{QStringLiteral("HanaMinA"), QStringLiteral("HanaMinB"),
                                   QStringLiteral("BabelStone Han")};
    return faces;
}

std::optional<int> fontNumberOf(const QString& faceName) {
    for (const StyleSlot& slot : styleCatalogue()) {
        if (slot.isStyle() && slot.faceName == faceName) {
            return slot.fontNumber;
        }
    }
    return std::nullopt;
}

/// A big-endian reader over a table that stops, rather than reads past, at the table's end.
class TableReader final {
public:
    explicit TableReader(const QByteArray& bytes)
        : m_bytes(bytes) {}

    [[nodiscard]] bool ok() const { return m_ok; }

    quint16 u16() { return read<quint16>(); }
    quint32 u32() { return read<quint32>(); }
    QString text() {
        const quint16 size = u16();
        if (!m_ok || m_at + size > m_bytes.size()) {
            m_ok = false;
            return {};
        }
        const QString value = QString::fromUtf8(m_bytes.constData() + m_at, size);
        m_at += size;
        return value;
    }

private:
    template <typename T>
    T read() {
        if (!m_ok || m_at + qsizetype(sizeof(T)) > m_bytes.size()) {
            m_ok = false;
            return 0;
        }
        const T value = qFromBigEndian<T>(m_bytes.constData() + m_at);
        m_at += qsizetype(sizeof(T));
        return value;
    }

    const QByteArray& m_bytes;
    qsizetype m_at = 0;
    bool m_ok = true;
};

QRawFont rawFontOf(const QString& face) {
    QFont font(face);
    font.setPixelSize(32);
    const QRawFont raw = QRawFont::fromFont(font);
    // The system may answer a missing family with another face: only the face itself counts.
    return raw.isValid() && raw.familyName() == face ? raw : QRawFont();
}

void addOnce(QString& characters, char32_t c) {
    const QString text = QString::fromUcs4(&c, 1);
    if (!characters.contains(text)) {
        characters += text;
    }
}

} // namespace

QStringList faceChain(const QString& faceName) {
    const std::optional<int> number = fontNumberOf(faceName);
    if (!number) {
        return {faceName};
    }
    const bool sans =
        std::find(kSansStyles.begin(), kSansStyles.end(), *number) != kSansStyles.end();
    QStringList chain{faceName, sans ? QStringLiteral("Noto Sans CJK SC")
                                     : QStringLiteral("Noto Serif CJK SC")};
    chain += extensionFaces();
    // Last, a face for the alphabets neither the styles nor the CJK faces carry (Arabic,
    // Hebrew, Armenian, Georgian...), so that these too are drawn by a face of the chain, the
    // same on every machine, rather than by whichever face the system picks.
    chain += QStringLiteral("DejaVu Sans");
    return chain;
}

QList<DonorRecord> parseDonorTable(const QByteArray& table) {
    TableReader reader(table);
    const quint16 version = reader.u16();
    const quint16 donors = reader.u16();
    reader.u16(); // the count of the style's own glyphs
    reader.u16();
    if (!reader.ok() || version != 1) {
        return {};
    }
    QList<DonorRecord> records;
    for (quint16 i = 0; i < donors; ++i) {
        DonorRecord record;
        record.family = reader.text();
        reader.text(); // kind
        reader.text(); // source
        const quint32 count = reader.u32();
        for (quint32 r = 0; r < count && reader.ok(); ++r) {
            const char32_t first = reader.u32();
            const char32_t last = reader.u32();
            record.ranges.append({first, last});
        }
        if (!reader.ok()) {
            return {};
        }
        records.append(record);
    }
    return records;
}

struct GlyphOriginFinder::Fonts {
    QStringList chain;
    /// By chain face, each looked up when a character first needs it: the later faces are large
    /// and most names never reach them. Invalid where the face is missing.
    std::vector<std::optional<QRawFont>> raw;
    std::vector<bool> unopened; ///< by chain face: installed, yet it could not be opened
    QList<DonorRecord> donors;

    const QRawFont& face(qsizetype i) {
        std::optional<QRawFont>& slot = raw.at(std::size_t(i));
        if (!slot) {
            slot = rawFontOf(chain.at(i));
            unopened.at(std::size_t(i)) = !slot->isValid() && QFontDatabase::hasFamily(chain.at(i));
        }
        return *slot;
    }
};

GlyphOriginFinder::GlyphOriginFinder(const QString& faceName)
    : m_fonts(std::make_unique<Fonts>()) {
    m_fonts->chain = faceChain(faceName);
    m_fonts->raw.resize(std::size_t(m_fonts->chain.size()));
    m_fonts->unopened.resize(std::size_t(m_fonts->chain.size()));
    if (m_fonts->face(0).isValid()) {
        m_fonts->donors = parseDonorTable(m_fonts->face(0).fontTable("Ikvd"));
    }
}

GlyphOriginFinder::~GlyphOriginFinder() = default;

GlyphOrigins GlyphOriginFinder::of(const QString& name) const {
    GlyphOrigins origins;
    if (!m_fonts->face(0).isValid()) {
        if (m_fonts->unopened.front()) {
            origins.unopened.append(m_fonts->chain.front());
        }
        return origins;
    }
    for (const char32_t c : name.toUcs4()) {
        // Blanks, and the format characters that draw nothing in any face.
        if (QChar::isSpace(c) || QChar::category(c) == QChar::Other_Format) {
            continue;
        }
        qsizetype drawnBy = -1;
        bool unknown = false;
        for (qsizetype i = 0; i < m_fonts->chain.size() && drawnBy < 0 && !unknown; ++i) {
            if (m_fonts->face(i).isValid() && m_fonts->face(i).supportsCharacter(c)) {
                drawnBy = i;
            } else if (m_fonts->unopened.at(std::size_t(i))) {
                unknown = true;
                if (!origins.unopened.contains(m_fonts->chain.at(i))) {
                    origins.unopened.append(m_fonts->chain.at(i));
                }
            }
        }
        if (unknown) {
            // Told as a face that could not be opened, not as a character nothing draws.
        } else if (drawnBy < 0) {
            addOnce(origins.undrawn, c);
        } else if (drawnBy > 0) {
            addOnce(origins.fromChain[m_fonts->chain.at(drawnBy)], c);
        } else {
            for (const DonorRecord& donor : m_fonts->donors) {
                const bool given =
                    std::any_of(donor.ranges.begin(), donor.ranges.end(), [c](const auto& range) {
                        return c >= range.first && c <= range.second;
                    });
                if (given) {
                    addOnce(origins.fromDonor[donor.family], c);
                    break;
                }
            }
        }
    }
    return origins;
}

} // namespace inkvale

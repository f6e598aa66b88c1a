#include "designer/GlyphNote.h"

#include <QLabel>
#include <QStringList>

namespace inkvale {

namespace {

/// "“喆”“堃”": each character in its own quotation marks, as Chinese prose quotes characters.
QString quoted(const QString& characters) {
    QString text;
    for (const char32_t c : characters.toUcs4()) {
        text += QStringLiteral("“") + QString::fromUcs4(&c, 1) + QStringLiteral("”");
    }
    return text;
}

} // namespace

QString glyphNoteText(const GlyphOrigins& origins, const QString& name) {
    QStringList parts;
    // One clause for each way, whichever fonts: the characters matter more than the fonts. They
    // are told in the name's order.
    const auto clause = [&](const QMap<QString, QString>& byFont, const QString& text) {
        if (byFont.isEmpty()) {
            return;
        }
        const QString all = QStringList(byFont.values()).join(QString());
        QString inOrder;
        for (const char32_t c : name.toUcs4()) {
            const QString character = QString::fromUcs4(&c, 1);
            if (all.contains(character) && !inOrder.contains(character)) {
                inOrder += character;
            }
        }
        parts.append(
            text.arg(quoted(inOrder), QStringList(byFont.keys()).join(QStringLiteral("、"))));
    };
    clause(origins.fromDonor, QStringLiteral("%1借自其他字体（%2）"));
    clause(origins.fromChain, QStringLiteral("%1由其他字体（%2）写出"));
    if (!origins.undrawn.isEmpty()) {
        parts.append(QStringLiteral("%1没有可用的字体能显示").arg(quoted(origins.undrawn)));
    }
    return parts.isEmpty()
               ? QString()
               : QStringLiteral("注：") + parts.join(QStringLiteral("；")) + QStringLiteral("。");
}

GlyphNote::GlyphNote(QWidget* parent, const QRect& geometry)
    : m_label(new QLabel(parent)) {
    m_label->setObjectName(QStringLiteral("GlyphNote"));
    m_label->setGeometry(geometry);
    m_label->setAccessibleName(QStringLiteral("字形说明"));
    m_label->setTextFormat(Qt::PlainText);
    m_label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_label->hide();
}

GlyphNote::~GlyphNote() = default;

void GlyphNote::tell(const QString& faceName, const QString& name) {
    auto& finder = m_finders[faceName];
    if (!finder) {
        finder = std::make_unique<GlyphOriginFinder>(faceName);
    }
    const QString text = glyphNoteText(finder->of(name), name);
    // A long list may not fit the line: it ends in an ellipsis there, and the whole text is one
    // hover, or one screen reader question, away.
    m_label->setText(
        m_label->fontMetrics().elidedText(text, Qt::ElideRight, m_label->contentsRect().width()));
    m_label->setToolTip(text);
    m_label->setAccessibleDescription(text);
    m_label->setVisible(!text.isEmpty());
}

} // namespace inkvale

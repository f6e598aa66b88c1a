#include "startup/InterfaceLanguage.h"

#include <QCoreApplication>
#include <QTranslator>

namespace inkvale {

namespace {

/// The few texts of Qt's file dialogs that Qt's own Chinese translation leaves out: the kinds
/// of entry in a folder's listing.
class MissingQtTexts final : public QTranslator {
public:
    using QTranslator::QTranslator;

    [[nodiscard]] bool isEmpty() const override { return false; }

    [[nodiscard]] QString translate(const char* context, const char* sourceText,
                                    const char* /*disambiguation*/, int /*n*/) const override {
        if (qstrcmp(context, "QAbstractFileIconProvider") != 0) {
            return {};
        }
        static constexpr struct {
            const char* source;
            const char16_t* chinese;
        } kTexts[] = {
            {"Drive", u"驱动器"},      {"Folder", u"文件夹"}, {"File Folder", u"文件夹"},
            {"Shortcut", u"快捷方式"}, {"Alias", u"替身"},    {"Unknown", u"未知"},
        };
        for (const auto& text : kTexts) {
            if (qstrcmp(sourceText, text.source) == 0) {
                return QString::fromUtf16(text.chinese);
            }
        }
        return {};
    }
};

} // namespace

bool installChineseQtTexts(QCoreApplication& app) {
    // The program's own texts are written in Chinese; only Qt's need translating. The dialogs
    // are Qt's own too, never the desktop's, which would speak the system's language.
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    auto* translator = new QTranslator(&app);
    if (!translator->load(QStringLiteral("qtbase_zh_CN"), QStringLiteral(":/translations"))) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    QCoreApplication::installTranslator(new MissingQtTexts(&app));
    return true;
}

} // namespace inkvale

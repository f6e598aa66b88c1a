#include "support/DesignerSignature.h"

#include "core/StyleCatalogue.h"
#include "designer/Form1.h"
#include "designer/SignatureCanvas.h"
#include "support/FakePlatform.h"

#include <QDir>
#include <QFontDatabase>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace inkvale::test {

QImage designerSignature(const DesignerChoice& choice) {
    QTemporaryDir programFolder;
    FakePlatform platform;
    platform.folder = programFolder.path();
    Form1 form(platform);
    if (!form.Form_Load()) {
        return {};
    }
    form.timer3()->stop();
    form.text1()->setEnabled(true);
    if (choice.colour.isValid()) {
        platform.colours.push_back(choice.colour);
        form.qmwz_Click();
    }
    if (!choice.backgroundFile.isEmpty()) {
        platform.filesToOpen.push_back(choice.backgroundFile);
        form.qmtp_Click();
        // The picture is read off the window's thread; its outcome follows from the event loop.
        (void)QTest::qWaitFor([&form] { return !form.pictureBeingRead(); }, 10000);
    }
    // The size dialog sets the canvas's size in exactly this way.
    form.picture1()->setFontSize(choice.points);
    form.Image_Click(choice.slot);
    form.text1()->setText(choice.name);
    form.Command1_Click();
    return form.picture1()->image();
}

QStringList useBuiltStyleFonts(const QString& folder) {
    for (int m = 1; m <= kStyleCount; ++m) {
        QFontDatabase::addApplicationFont(QDir(folder).filePath(QStringLiteral("%1.ttf").arg(m)));
    }
    QStringList missing;
    for (const QString& face : faceNamesInBoxOrder()) {
        if (!QFontDatabase::hasFamily(face)) {
            missing.append(face);
        }
    }
    return missing;
}

} // namespace inkvale::test

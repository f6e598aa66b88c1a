// The floor under inkvale-render's start-up: a Qt program that starts offscreen as
// inkvale-render does and draws one line in an installed CJK face on a picture the size of the
// canvas, then ends. scripts/bench-render times it beside inkvale-render and convert; with
// "--no-text" it only starts Qt.

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstring>

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    const QGuiApplication app(qtArgc, argv);
    if (argc > 1 && std::strcmp(argv[1], "--no-text") == 0) {
        return 0;
    }
    QImage image(336, 93, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setFont(QFont(QStringLiteral("Noto Sans CJK SC"), 42));
    painter.drawText(QPointF(10, 70), QStringLiteral("张伟"));
    return image.pixel(0, 0) == 0 ? 1 : 0;
}

// The drawing pad's latency: a pointer event sent to the pad, the stroke smoothed and its new
// piece painted into the ink layer, then the changed rectangle repainted on screen. The items
// per second are the events the pad handles; a 1 kHz tablet needs 1,000.
#include "pad/DrawingPad.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPointingDevice>
#include <QTabletEvent>

#include <benchmark/benchmark.h>

#include <cmath>

using namespace inkvale;

namespace {

/// The pen's place at event `i`: a scribble across the pad, a few pixels an event.
QPointF scribble(int i) {
    return {40 + std::fmod(i * 1.7, 600.0), 97 + 60 * std::sin(i / 9.0)};
}

void padEvents(benchmark::State& state, bool tablet) {
    DrawingPad pad;
    pad.setPenWidth(5);
    pad.show();
    QApplication::processEvents();
    static QPointingDevice pen(QStringLiteral("bench pen"), 7001, QInputDevice::DeviceType::Stylus,
                               QPointingDevice::PointerType::Pen,
                               QInputDevice::Capability::Position |
                                   QInputDevice::Capability::Pressure,
                               1, 2);
    quint64 stamp = 0;
    int i = 0;
    const auto send = [&](QEvent::Type type) {
        const QPointF at = scribble(i);
        if (tablet) {
            QTabletEvent event(type == QEvent::MouseButtonPress ? QEvent::TabletPress
                                                                : QEvent::TabletMove,
                               &pen, at, at, 0.5 + 0.4 * std::sin(i / 5.0), 0, 0, 0, 0, 0,
                               Qt::NoModifier, Qt::LeftButton, Qt::LeftButton);
            event.setTimestamp(stamp);
            QApplication::sendEvent(&pad, &event);
        } else {
            QMouseEvent event(type, at, at, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
            event.setTimestamp(stamp);
            QApplication::sendEvent(&pad, &event);
        }
        // Painted now, not at the next turn of the event loop.
        pad.repaint(pad.lastChange());
        ++stamp;
        ++i;
    };
    send(QEvent::MouseButtonPress);
    for (auto _ : state) {
        send(QEvent::MouseMove);
        // A stroke of a second's writing at 1 kHz, then the pen lifts and comes down again.
        if (i % 1000 == 0) {
            pad.penUp();
            pad.clear();
            send(QEvent::MouseButtonPress);
        }
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_PadMouseEvents(benchmark::State& state) {
    padEvents(state, false);
}
BENCHMARK(BM_PadMouseEvents)->Unit(benchmark::kMicrosecond);

void BM_PadTabletEvents(benchmark::State& state) {
    padEvents(state, true);
}
BENCHMARK(BM_PadTabletEvents)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

#include "program/ProgramIcon.h"

namespace inkvale {

QIcon programIcon() {
    QIcon icon;
    for (const int size : kProgramIconSizes) {
        icon.addFile(QStringLiteral(":/artwork/icon-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

} // namespace inkvale

// Prints the folder the program writes into, as the running program finds it: for tests that
// start a program in the ways people start the designer.

#include "platform/ProgramPlaces.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char* argv[]) {
    const QCoreApplication application(argc, argv);
    QTextStream(stdout) << inkvale::ProgramPlaces::ofThisProgram().workFolder() << '\n';
    return 0;
}

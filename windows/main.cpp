#include "Program.h"

#include <QApplication>

int main(int argc, char** argv) {
    quiltaro::Program::configurePlatform();
    QApplication app(argc, argv);
    quiltaro::SystemClock clock;
    quiltaro::SeededUniformSource random;
    quiltaro::Program program(clock, random, [] { QApplication::exit(0); });
    program.start();
    return app.exec();
}

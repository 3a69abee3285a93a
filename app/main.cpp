// Sorventa: the start-up sequence and nothing else.

#include <QApplication>

#include "app/ProgramSteps.h"

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    sor::ProgramSteps steps(app);
    return sor::runStartup(steps);
}

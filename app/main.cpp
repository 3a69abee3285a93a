// Sorventa: the start-up sequence and nothing else.

#include "app/GameApplication.h"
#include "app/ProgramSteps.h"

int main(int argc, char* argv[])
{
    sor::GameApplication app(argc, argv);
    sor::ProgramSteps steps(app);
    return sor::runStartup(steps);
}

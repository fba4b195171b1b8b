#include "solver/caprogram.h"

int main(int argc, char **argv)
{
    return CAProgram(stdout, stderr).run(argc, argv);
}

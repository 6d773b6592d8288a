#include "plugin/MMain.h"

int main(int argc, char** argv)
{
    return MMain::Main(argc, argv);
}

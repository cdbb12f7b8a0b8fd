// The saver program (Papyrant.scr) on Linux.

#include "platform/program_info.h"
#include "saver/saver_main.h"

int main(int argc, char** argv)
{
    pap::SetCommandLineArguments(argc, argv);
    return pap::SaverMain();
}

// gifdump FILE.gif OUTDIR: what the animated-GIF control makes of a GIF file, as files (see
// gif_dump.h). Exits with 0 whenever the file was read, also when it does not load.

#include <cstdio>

#include "tools/gif_dump.h"

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: gifdump FILE.gif OUTDIR\n");
        return 2;
    }
    if (!pap::tools::DumpGif(argv[1], argv[2])) {
        std::fprintf(stderr, "gifdump: cannot read %s or write into %s\n", argv[1], argv[2]);
        return 1;
    }
    return 0;
}

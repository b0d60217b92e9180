// write_game_content DIR [MB]: the made-up game folder of game_content.h (default 200 MB) in DIR,
// for benchmarks that need a realistic package (bench/delivery_bench.sh packs it with pkgtool).
#include "game_content.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: write_game_content DIR [MB]\n");
        return 2;
    }
    mkdir(argv[1], 0777);
    GameContent written;
    if (!WriteGameContent(argv[1], argc > 2 ? static_cast<unsigned>(atoi(argv[2])) : 200, &written)) {
        fprintf(stderr, "write_game_content: cannot write below %s\n", argv[1]);
        return 1;
    }
    printf("%llu files, %llu bytes\n", static_cast<unsigned long long>(written.files),
           static_cast<unsigned long long>(written.bytes));
    return 0;
}

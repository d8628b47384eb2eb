// ambrel-batch: the command-line front end.
#include "app/batch.h"

#include <cstdio>

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return ambrel::run_batch(args, stdout, stderr);
}

// rowquarry-cli: the command line alone, for machines without a display or the desktop's libraries.
#include "cli/CommandLine.h"

int main(int argc, char* argv[]) { return rq::cli::commandLineMain(argc, argv); }

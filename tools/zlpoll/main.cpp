// zlpoll: a host of the driver on the command line. It loads the driver
// library as any host does, reads the parameter file for its channel numbers,
// and runs one command.
#include "zlpoll/Run.h"

int main(int argc, char **argv) {
  return zl::poll::Run(argc, argv);
}

// zlpoll's run: parses the command line, runs the command or the demo, and
// answers the program's exit code.
#ifndef ZL_ZLPOLL_RUN_H
#define ZL_ZLPOLL_RUN_H

namespace zl::poll {

int Run(int argc, char **argv);

}  // namespace zl::poll

#endif  // ZL_ZLPOLL_RUN_H

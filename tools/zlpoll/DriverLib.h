// zlpoll holds the driver through the tools' shared loader.
#ifndef ZL_ZLPOLL_DRIVERLIB_H
#define ZL_ZLPOLL_DRIVERLIB_H

#include "common/DriverLib.h"

namespace zl::poll {

using tools::DriverApi;
using tools::DriverLibrary;
using tools::DriverSession;

}  // namespace zl::poll

#endif  // ZL_ZLPOLL_DRIVERLIB_H

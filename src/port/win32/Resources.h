// The library's resources (zlnetdrv.rc): the status window's icon and logo.
#ifndef ZL_PORT_WIN32_RESOURCES_H
#define ZL_PORT_WIN32_RESOURCES_H

#define ZL_IDI_DRIVER 1  // 32 x 32, also the window's icon
#define ZL_IDB_LOGO 2    // 80 x 37, the logo in the window's corner

#endif  // ZL_PORT_WIN32_RESOURCES_H

/*
 * host_example.c - the smallest host of the ZLNETDRV driver.
 *
 * Loads a parameter file, connects the gateway of station 1, reads the
 * station's 16 binary inputs once and prints them. The channel numbers are
 * those ORIGINAL_CHANNELS gives station 1 (see the channel map in README.md).
 *
 *   cc -std=c99 host_example.c $(pkg-config --cflags --libs zlnetdrv) -o host_example
 *   zlsim examples/demo.par &      # the simulated gateway
 *   ./host_example examples/demo.par
 */
#define _POSIX_C_SOURCE 200809L

#include <poll.h>
#include <stdio.h>
#include <time.h>

#include "zlnetdrv.h"

/* Station 1 with ORIGINAL_CHANNELS. */
enum {
  BI_FIRST = 1,   /* binary inputs 1..16 */
  NEW_BI = 466,   /* bi_new_BI: set when binary inputs arrive */
  READ_BI = 472,  /* out_read_BI: write anything to read them */
  CONNECT = 476,  /* out_connect_modem: 1 connects, 0 disconnects */
  CONNECTED = 478 /* in_connected_modem */
};

static double seconds(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (double)t.tv_sec + (double)t.tv_nsec / 1e9;
}

static uint8_t get_bool(void *drv, uint16_t channel) {
  HostValue v = {ZL_TYPE_BOOL, {0}};
  GetInput(drv, channel, &v);
  return v.value[0];
}

/* The host's thread must pump the driver's messages: socket events and the
 * communication thread's hand-overs run only here. Waits until the channel
 * reads 1, at most 10 seconds. */
static int wait_for(void *drv, uint16_t channel) {
  const double end = seconds() + 10.0;
  while (seconds() < end) {
    struct pollfd fd;
    if (get_bool(drv, channel) == 1) return 1;
    fd.fd = MessageFd(drv);
    fd.events = POLLIN;
    fd.revents = 0;
    /* A real host polls its own descriptors here too. */
    if (poll(&fd, 1, 10) == 1) PumpMessages(drv, 0);
  }
  return 0;
}

int main(int argc, char **argv) {
  char text[256] = "host_example"; /* in: the host's name for the driver; out: Init's error */
  void *drv;
  int ok = 0, i;

  if (argc != 2) {
    fprintf(stderr, "usage: host_example PARAMFILE\n");
    return 2;
  }
  drv = MakeDriver();
  if (!Init(drv, 255, argv[1], 0, text, 1)) {
    fprintf(stderr, "Init failed: %s\n", text); /* a Czech text in Windows-1250 */
    Done(drv);
    DisposeDriver(drv);
    return 1;
  }

  OutputRequest(drv, CONNECT, ZL_TYPE_BOOL, 1);
  if (wait_for(drv, CONNECTED)) {
    OutputRequest(drv, NEW_BI, ZL_TYPE_BOOL, 0); /* clear the flag, then read */
    OutputRequest(drv, READ_BI, ZL_TYPE_BOOL, 1);
    if (wait_for(drv, NEW_BI)) {
      printf("BI");
      for (i = 0; i < 16; ++i) printf(" %u", (unsigned)get_bool(drv, (uint16_t)(BI_FIRST + i)));
      printf("\n");
      ok = 1;
    }
  }
  if (!ok) fprintf(stderr, "station 1 did not answer\n");

  Done(drv);
  DisposeDriver(drv);
  return ok ? 0 : 3;
}

/*
 * host_test.c - a Windows host of zlnetdrv.dll, as the process-control
 * runtimes are: it finds every entry point with GetProcAddress, runs its own
 * message loop, and drives station 1 of a parameter file whose gateway is a
 * simulator on this machine.
 *
 *   zlhost_test DLL PARAMFILE [--window | --show MS]
 *
 * --window: the status window must be a real window (a display is there);
 * without it, where no display is, the window is checked as the model only.
 * --show MS: as --window, and before Done the window is shown with its event
 * lines at the top left corner of the screen for MS milliseconds (for a
 * screenshot; its place and size are printed).
 *
 * Prints one line per check ("ok" or "FAIL") and, last, the values written,
 * for the script that checks them at the simulator. Exit status: 0 when every
 * check passed, 1 when one failed, 2 for a library that does not load.
 */
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include "zlnetdrv.h"

typedef uint32_t(__cdecl *VersionFn)(void);
typedef uint8_t(__cdecl *CheckFn)(uint32_t, char *);
typedef uint32_t(__cdecl *GetDriverInfoFn)(uint32_t, char *);
typedef void *(__cdecl *MakeDriverFn)(void);
typedef void(__cdecl *HandleFn)(void *);
typedef int32_t(__cdecl *DriverCallBackFn)(void *, int32_t);
typedef uint8_t(__cdecl *InitFn)(void *, int32_t, const char *, uint32_t, char *, int32_t);
typedef uint8_t(__cdecl *BufferInfoFn)(void *, uint32_t, uint8_t, uint16_t);
typedef void(__cdecl *SetBufferAddrFn)(void *, uint32_t, void *);
typedef void(__cdecl *ChannelFn)(void *, uint16_t);
typedef uint8_t(__cdecl *FinalizedFn)(void *, uint32_t, int32_t *);
typedef void(__cdecl *GetInputFn)(void *, uint16_t, HostValue *);
typedef void(__cdecl *OutputRequestFn)(void *, uint16_t, uint32_t, uint64_t);
typedef void(__cdecl *DriverProcFn)(void *, int32_t, int32_t, int32_t);
typedef void(__cdecl *QueryProcFn)(void *, int32_t, int32_t);
typedef int32_t(__cdecl *PumpMessagesFn)(void *, int32_t);
typedef int32_t(__cdecl *GetStatusWindowFn)(void *, char *, int32_t);
typedef void(__cdecl *ClickButtonFn)(void *, const char *);

static struct {
  VersionFn Version;
  CheckFn Check;
  GetDriverInfoFn GetDriverInfo;
  MakeDriverFn MakeDriver;
  HandleFn DisposeDriver;
  DriverCallBackFn DriverCallBack;
  InitFn Init;
  BufferInfoFn BufferInfo;
  SetBufferAddrFn SetBufferAddr;
  ChannelFn InputRequest;
  ChannelFn InputRequestCompleted;
  FinalizedFn InputFinalized;
  GetInputFn GetInput;
  OutputRequestFn OutputRequest;
  ChannelFn OutputRequestCompleted;
  FinalizedFn OutputFinalized;
  DriverProcFn DriverProc;
  QueryProcFn QueryProc;
  HandleFn Done;
  PumpMessagesFn PumpMessages;
  GetStatusWindowFn GetStatusWindow;
  GetStatusWindowFn GetChannelMap;
  ClickButtonFn ClickButton;
} drv;

/* Station 1 of examples/demo.par, ORIGINAL_CHANNELS. */
enum {
  BI = 1,
  BO = 97,
  AI = 193,
  MI = 405,
  NEW_BI = 466,
  NEW_AI = 467,
  NEW_MI = 469,
  WRITE_BO = 462,
  READ_BI = 472,
  READ_KI = 473,
  READ_AI = 475,
  CONNECT = 476,
  CONNECTED = 478,
  QQ_MODE = 2500,
  QQ_SETPOINT = 2501,
  QQ_DESIGN = 2505,
  QQ_NAME = 2506,
  LINK_UP = 488,
  QUEUED = 490,
  CYCLE_STATE = 495,
  SAMPLE_STATION = 60000,
  SAMPLE_BLOCK = 60001,
  SAMPLE_START = 60003,
  SAMPLE_BUSY = 60018,
  SAMPLE_FILE = 60021,
  SAMPLE_FILE_WRITTEN = 60022,
  STATION3_CONNECT = 1000 + CONNECT /* its gateway: a port where nothing listens */
};

static void *h;
static int failures;
static int need_window; /* --window or --show */
static DWORD show_ms;   /* --show */

static void check(int ok, const char *what) {
  printf("%s - %s\n", ok ? "ok" : "FAIL", what);
  fflush(stdout);
  if (!ok) ++failures;
}

/* The host's own loop: every message of this thread, for at most ms. */
static void run_loop(DWORD ms) {
  const DWORD start = GetTickCount();
  for (;;) {
    MSG msg;
    DWORD elapsed;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    elapsed = GetTickCount() - start;
    if (elapsed >= ms) return;
    MsgWaitForMultipleObjects(0, NULL, FALSE, ms - elapsed, QS_ALLINPUT);
  }
}

static double get_double(uint16_t channel) {
  HostValue v;
  double d = -1;
  memset(&v, 0, sizeof v);
  v.type = ZL_TYPE_DOUBLE;
  drv.GetInput(h, channel, &v);
  memcpy(&d, v.value, sizeof d);
  return d;
}

static uint32_t get_u32(uint16_t channel, uint32_t type) {
  HostValue v;
  uint32_t x = 0;
  memset(&v, 0, sizeof v);
  v.type = type;
  drv.GetInput(h, channel, &v);
  memcpy(&x, v.value, sizeof x);
  return type == ZL_TYPE_U8 || type == ZL_TYPE_BOOL ? (x & 0xFF)
         : type == ZL_TYPE_U16                      ? (x & 0xFFFF)
                                                    : x;
}

static uint8_t get_bool(uint16_t channel) {
  return (uint8_t)get_u32(channel, ZL_TYPE_BOOL);
}

static void put(uint16_t channel, uint32_t type, uint64_t value) {
  drv.OutputRequest(h, channel, type, value);
}

static void put_double(uint16_t channel, double d) {
  uint64_t bits;
  memcpy(&bits, &d, sizeof bits);
  put(channel, ZL_TYPE_DOUBLE, bits);
}

/* Runs the loop (or, as a host without a loop of its own does, the driver's
 * PumpMessages) until the channel reads want; 0 after 60 seconds. */
static int wait_bool_pumping(uint16_t channel, uint8_t want, int pump) {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < 60000) {
    if (get_bool(channel) == want) return 1;
    if (pump) {
      drv.PumpMessages(h, 5);
    } else {
      run_loop(5);
    }
  }
  return 0;
}

static int wait_bool(uint16_t channel, uint8_t want) {
  return wait_bool_pumping(channel, want, 0);
}

/* Runs the loop until the status window's JSON holds text; 0 after 60 s. */
static int wait_status(const char *text) {
  static char json[16384];
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < 60000) {
    drv.GetStatusWindow(h, json, sizeof json);
    if (strstr(json, text)) return 1;
    run_loop(5);
  }
  return 0;
}

/* Every request answered and decoded, the polling cycle idle again. */
static int settled(void) {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < 60000) {
    if (get_double(QUEUED) == 0.0 && get_double(CYCLE_STATE) == 0.0) return 1;
    run_loop(5);
  }
  return 0;
}

static int load(const char *path) {
  HMODULE lib = LoadLibraryA(path);
  FARPROC *slot = (FARPROC *)&drv;
  static const char *const names[] = {"Version",
                                      "Check",
                                      "GetDriverInfo",
                                      "MakeDriver",
                                      "DisposeDriver",
                                      "DriverCallBack",
                                      "Init",
                                      "BufferInfo",
                                      "SetBufferAddr",
                                      "InputRequest",
                                      "InputRequestCompleted",
                                      "InputFinalized",
                                      "GetInput",
                                      "OutputRequest",
                                      "OutputRequestCompleted",
                                      "OutputFinalized",
                                      "DriverProc",
                                      "QueryProc",
                                      "Done",
                                      "PumpMessages",
                                      "GetStatusWindow",
                                      "GetChannelMap",
                                      "ClickButton"};
  size_t i;
  if (!lib) {
    printf("FAIL - LoadLibrary %s: error %lu\n", path, (unsigned long)GetLastError());
    return 0;
  }
  for (i = 0; i < sizeof names / sizeof names[0]; ++i) {
    slot[i] = GetProcAddress(lib, names[i]);
    if (!slot[i]) {
      printf("FAIL - no export %s\n", names[i]);
      return 0;
    }
  }
  check(GetProcAddress(lib, "MessageFd") == NULL, "MessageFd is not exported");
  return 1;
}

static int file_contains(const char *path, const char *text, long *size) {
  FILE *f = fopen(path, "rb");
  char *data;
  int found = 0;
  *size = -1;
  if (!f) return 0;
  fseek(f, 0, SEEK_END);
  *size = ftell(f);
  fseek(f, 0, SEEK_SET);
  data = (char *)calloc(1, (size_t)*size + 1);
  if (data && fread(data, 1, (size_t)*size, f) == (size_t)*size) found = strstr(data, text) != NULL;
  free(data);
  fclose(f);
  return found;
}

/* The channel map: sized like snprintf, and naming the stations of the file. */
static void channel_map(void) {
  static char json[65536];
  int32_t n = drv.GetChannelMap(h, NULL, 0);
  check(n > 0 && n < (int32_t)sizeof json && drv.GetChannelMap(h, json, sizeof json) == n,
        "GetChannelMap answers the map's length, with a null buffer too");
  check(strstr(json, "\"name\":\"KOTELNA\"") != NULL, "the map names station 1");
}

/* The window as the model says it is (JSON) and as the system shows it. */
static void status_window(void) {
  static char json[16384];
  wchar_t wide[4096];
  int32_t n = drv.GetStatusWindow(h, json, sizeof json);
  HWND window = FindWindowA(NULL, "ZLNETDRV"), list, info, minimize;
  RECT r;
  LONG style;
  check(n > 0 && n < (int32_t)sizeof json, "GetStatusWindow answers the JSON's length");
  check(strstr(json, "\"caption\":\"ZLNETDRV\"") != NULL, "status window caption");
  if (!window && !need_window) {
    printf("skip - no display: the status window is checked as the model only\n");
    return;
  }
  check(window != NULL, "the status window is a real window captioned ZLNETDRV");
  if (!window) return;
  style = GetWindowLongA(window, GWL_STYLE);
  check((style & (WS_SYSMENU | WS_MINIMIZEBOX)) == (WS_SYSMENU | WS_MINIMIZEBOX) &&
            !(style & (WS_MAXIMIZEBOX | WS_THICKFRAME)),
        "fixed size, system menu and minimize box only");
  GetClientRect(window, &r);
  check(r.right == 336 && r.bottom == 239, "client area 336 x 239");
  check(!IsWindowVisible(window), "hidden until the host shows it");
  list = FindWindowExA(window, NULL, "Edit", NULL);
  info = FindWindowExA(window, NULL, "Button", "&Info");
  minimize = FindWindowExA(window, NULL, "Button", "Mi&nimalizovat");
  check(list && info && minimize, "the event list and both buttons are real controls");
  if (!list || !info || !minimize) return;

  drv.DriverProc(h, 1, 0, 0);
  check(IsWindowVisible(window) != 0, "DriverProc 1 shows it");
  /* A click on the real button: About adds its Czech lines to the list. */
  SendMessageA(info, BM_CLICK, 0, 0);
  n = drv.GetStatusWindow(h, json, sizeof json);
  check(strstr(json, "Komunika\xc4\x8dn\xc3\xad ovlada\xc4\x8d pro") != NULL &&
            strstr(json,
                   "Verze ovlada\xc4\x8d"
                   "e: 1.101 - 2007/08/20") != NULL,
        "the Info button adds the About lines (UTF-8 in the JSON)");
  GetWindowTextW(list, wide, 4096);
  check(wcsstr(wide,
               L"Verze ovlada\x010d"
               L"e: 1.101 - 2007/08/20") != NULL,
        "the event list control shows them in Czech");
  /* GetStatusWindow reads the real window: a caption set on it shows. */
  SetWindowTextA(window, "ZLNETDRV *");
  n = drv.GetStatusWindow(h, json, sizeof json);
  check(strncmp(json, "{\"caption\":\"ZLNETDRV *\"", strlen("{\"caption\":\"ZLNETDRV *\"")) == 0,
        "GetStatusWindow reads the real window's caption");
  SetWindowTextA(window, "ZLNETDRV");
  /* ClickButton clicks the real button. */
  drv.ClickButton(h, "ButtonMin");
  n = drv.GetStatusWindow(h, json, sizeof json);
  check(strstr(json, "\"state\":\"minimized\"") != NULL && IsIconic(window),
        "ClickButton(ButtonMin) minimizes the real window");
  drv.DriverProc(h, 3, 0, 0);
  drv.DriverProc(h, 5, 100, 50);
  GetWindowRect(window, &r);
  n = drv.GetStatusWindow(h, json, sizeof json);
  check(strstr(json, "\"left\":100,\"top\":50") != NULL && r.left == 100 && r.top == 50,
        "DriverProc 5 moves the window");
  SendMessageA(minimize, BM_CLICK, 0, 0);
  n = drv.GetStatusWindow(h, json, sizeof json);
  check(strstr(json, "\"state\":\"minimized\"") != NULL && IsIconic(window),
        "the Minimize button minimizes it");
  drv.DriverProc(h, 3, 0, 0);
  check(!IsIconic(window) && IsWindowVisible(window), "DriverProc 3 restores it");
  drv.QueryProc(h, 8, 2);
  check(!IsWindowVisible(window), "QueryProc 8 with 2 hides it");
  if (show_ms) {
    drv.DriverProc(h, 5, 0, 0);
    drv.DriverProc(h, 1, 0, 0);
    run_loop(show_ms / 2);
    GetWindowRect(window, &r);
    printf("window at %ld %ld size %ld %ld\n", (long)r.left, (long)r.top, (long)(r.right - r.left),
           (long)(r.bottom - r.top));
    fflush(stdout);
    run_loop(show_ms - show_ms / 2);
  }
}

int main(int argc, char **argv) {
  char text[256] = "WINHOST";
  char info[64];
  uint8_t *buffer;
  int32_t result = -1;
  uint32_t field;
  char name[40];
  HostValue v;
  uintptr_t address;
  int i;
  long size;

  if (argc == 4 && strcmp(argv[3], "--window") == 0) {
    need_window = 1;
  } else if (argc == 5 && strcmp(argv[3], "--show") == 0) {
    need_window = 1;
    show_ms = (DWORD)atol(argv[4]);
  } else if (argc != 3) {
    fprintf(stderr, "usage: zlhost_test DLL PARAMFILE [--window | --show MS]\n");
    return 2;
  }
  if (!load(argv[1])) return 2;

  check(drv.Version() == 0x30000, "Version answers 0x30000");
  memset(info, 0, sizeof info);
  check(drv.GetDriverInfo(0, info) == 28 && strlen(info) == 28,
        "GetDriverInfo writes 28 characters");
  check(drv.Check(0, info) == 1 && info[0] == 0, "Check answers true with an empty text");

  h = drv.MakeDriver();
  check(h != NULL, "MakeDriver");
  check(drv.DriverCallBack(h, 2) == 0 && drv.DriverCallBack(h, 7) == -1, "DriverCallBack");
  if (!drv.Init(h, 255, argv[2], 0, text, 1)) {
    printf("FAIL - Init: %s\n", text);
    return 1;
  }
  check(1, "Init loads the parameter file");
  check(drv.BufferInfo(h, ZL_SAMPLE_BUFFER, ZL_SAMPLE_BUFFER_TYPE, ZL_SAMPLE_BUFFER_SIZE) == 1,
        "BufferInfo accepts the sample buffer");
  buffer = (uint8_t *)calloc(1, ZL_SAMPLE_BUFFER_SIZE);
  drv.SetBufferAddr(h, ZL_SAMPLE_BUFFER, buffer);

  {
    char json[16384];
    const char *events;
    drv.GetStatusWindow(h, json, sizeof json);
    events = strstr(json, "\"events\"");
    printf("status after Init: %.*s\n", events ? 600 : 0, events ? events : "");
  }

  /* Station 3's gateway refuses: WinSock reports it through FD_CONNECT. */
  put(STATION3_CONNECT, ZL_TYPE_BOOL, 1);
  check(wait_status("Chyba TCP 10061: Spojen\xc3\xad zam\xc3\xadtnuto"),
        "a refused connect is reported as error 10061");
  check(get_bool(STATION3_CONNECT + 2) == 0, "station 3 is not connected");

  /* Connect station 1: the connect and the answers arrive as window messages. */
  put(CONNECT, ZL_TYPE_BOOL, 1);
  check(wait_bool(CONNECTED, 1), "station 1 connects");
  check(get_double(LINK_UP) == 1.0, "the gateway connection is up");

  /* Read every group. */
  put(NEW_BI, ZL_TYPE_BOOL, 0);
  put(NEW_AI, ZL_TYPE_BOOL, 0);
  put(NEW_MI, ZL_TYPE_BOOL, 0);
  put(READ_BI, ZL_TYPE_BOOL, 1);
  put(READ_AI, ZL_TYPE_BOOL, 1);
  put(READ_KI, ZL_TYPE_BOOL, 1);
  put(3099, ZL_TYPE_BOOL, 1); /* both memory blocks */
  put(3199, ZL_TYPE_BOOL, 1);
  for (i = 2500; i <= 2506; ++i) drv.InputRequest(h, (uint16_t)i);
  check(settled(), "every read answered");
  check(get_bool(NEW_BI) == 1 && get_bool(NEW_AI) == 1 && get_bool(NEW_MI) == 1,
        "binary, analog and memory inputs arrived");
  printf("values BI");
  for (i = 0; i < 16; ++i) printf(" %u", (unsigned)get_bool((uint16_t)(BI + i)));
  printf(" AI1 %.3f MI1 %.3f QQ2500 %u\n", get_double(AI), get_double(MI),
         (unsigned)get_u32(QQ_MODE, ZL_TYPE_U8));
  memset(name, 0x55, sizeof name);
  memset(&v, 0, sizeof v);
  v.type = ZL_TYPE_TEXT;
  address = (uintptr_t)name;
  memcpy(v.value, &address, sizeof address);
  drv.GetInput(h, QQ_NAME, &v);
  check(name[32] == 0 && name[33] == 0x55, "a STRING variable fills the host's text buffer");

  /* Write a binary output and two variables, then read the variable back. */
  put(BO, ZL_TYPE_BOOL, 1);
  put(BO + 1, ZL_TYPE_BOOL, 0);
  /* The station has a PHONE number: its outputs go out on the write command. */
  put(WRITE_BO, ZL_TYPE_BOOL, 1);
  put_double(QQ_DESIGN, 3.7);
  put_double(QQ_SETPOINT, 250);
  check(settled(), "the writes were answered");
  drv.InputRequest(h, QQ_SETPOINT);
  check(settled(), "the variable read back");
  check(get_u32(QQ_SETPOINT, ZL_TYPE_U16) == 250, "the controller holds the variable written");
  check(get_bool(BO) == 1 && get_bool(BO + 1) == 0, "the outputs hold what was written");
  check(drv.InputFinalized(h, 0, &result) == 1 && result == 0, "InputFinalized");
  check(drv.OutputFinalized(h, 0, &result) == 1 && result == 0, "OutputFinalized");

  /* The sample memory into the host's buffer and the .CUC file. */
  put(SAMPLE_STATION, ZL_TYPE_U8, 1);
  put(SAMPLE_BLOCK, ZL_TYPE_U8, 1);
  put(SAMPLE_START, ZL_TYPE_BOOL, 1);
  check(get_bool(SAMPLE_BUSY) == 1, "the sample transfer runs");
  check(wait_bool_pumping(SAMPLE_BUSY, 0, 1), "the sample transfer ends (PumpMessages)");
  memcpy(&field, buffer + 8, 4);
  check(field == 528, "the buffer holds 528 sample rows");
  memcpy(&field, buffer + 24, 4);
  check(field == 2, "the buffer says the transfer is over");
  put(SAMPLE_FILE, ZL_TYPE_BOOL, 1);
  check(get_bool(SAMPLE_FILE_WRITTEN) == 1, "the sample file was written");

  status_window();
  channel_map();
  put(CONNECT, ZL_TYPE_BOOL, 0);
  check(wait_bool(CONNECTED, 0) && get_double(LINK_UP) == 0.0, "station 1 disconnects");
  drv.Done(h);
  check(file_contains("C:\\ZLNETDRV.LOG", "done : end", &size),
        "C:\\ZLNETDRV.LOG ends with done : end");
  check(file_contains("C:\\ZLNETDRV.LOG", "AddToMemo : ", &size),
        "the debug log holds the thread's event lines");
  drv.DisposeDriver(h);
  run_loop(50);
  free(buffer);
  printf("wrote BO1=1 BO2=0 QQ2505=3.7 QQ2501=250\n");
  printf("%s: %d check(s) failed\n", failures ? "FAIL" : "PASS", failures);
  return failures ? 1 : 0;
}

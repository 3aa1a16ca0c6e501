/*
 * zlnetdrv.h - host interface of ZLNETDRV, the Zavro ZL2 communication driver
 * (ZL2 line reached through a TCP/IP line gateway).
 *
 * A host loads libzlnetdrv.so (zlnetdrv.dll on Windows), calls MakeDriver
 * once, Init with its parameter file, then reads and writes numbered channels
 * until Done and DisposeDriver.
 * Every call but Version, Check, GetDriverInfo and MakeDriver takes the handle
 * that MakeDriver returned. All calls are made from one thread, the host's
 * thread, which must also pump the driver's messages (PumpMessages, or poll
 * MessageFd and then call PumpMessages): connection events and the
 * communication thread's hand-overs are delivered only there.
 *
 * Booleans are one byte: 1 true, 0 false. A null pointer argument, or a handle
 * other than the one MakeDriver returned, makes a call do nothing (and answer
 * false or 0 where it answers). Texts are Windows-1250 bytes, except those of
 * GetStatusWindow, which are UTF-8.
 */
#ifndef ZLNETDRV_H
#define ZLNETDRV_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#define ZLNETDRV_API /* zlnetdrv.dll exports through its module-definition file */
#elif defined(__GNUC__)
#define ZLNETDRV_API __attribute__((visibility("default")))
#else
#define ZLNETDRV_API
#endif

/* The value record of GetInput and OutputRequest. type is one of the
 * ZL_TYPE_* codes; value holds the value little-endian, in the type's width. */
typedef struct HostValue {
  uint32_t type;
  uint8_t value[8];
} HostValue; /* 12 bytes */

enum {
  ZL_TYPE_BOOL = 2, /* one byte, 0 or 1 */
  ZL_TYPE_U8 = 3,
  ZL_TYPE_U16 = 4,
  ZL_TYPE_U32 = 5,
  ZL_TYPE_I8 = 6,
  ZL_TYPE_I16 = 7,
  ZL_TYPE_I32 = 8,
  ZL_TYPE_SINGLE = 9,  /* IEEE 754 binary32 */
  ZL_TYPE_DOUBLE = 10, /* IEEE 754 binary64 */
  ZL_TYPE_TEXT = 11,   /* value holds the address of a host text buffer */
  ZL_TYPE_BUFFER = 12  /* 9, the 16-bit 66, then 4 bytes of the sample buffer address */
};

/* Bytes GetInput writes for a text channel (see GetInput). */
enum { ZL_TEXT_QQ_STRING = 33, ZL_TEXT_STATION_NAME = 81, ZL_TEXT_VIDEO = 256 };

/* The one host buffer the driver accepts: the sample buffer. */
enum { ZL_SAMPLE_BUFFER = 0xFFFC, ZL_SAMPLE_BUFFER_TYPE = 9, ZL_SAMPLE_BUFFER_SIZE = 16862 };

/* Interface version the driver implements: 0x30000. */
ZLNETDRV_API uint32_t Version(void);
/* Writes an empty text into text; always true. */
ZLNETDRV_API uint8_t Check(uint32_t unused, char *text);
/* Writes the driver's name and version (28 characters and a NUL); answers 28. */
ZLNETDRV_API uint32_t GetDriverInfo(uint32_t unused, char *text);
/* Creates the driver (its status window stays hidden); answers the handle.
 * One driver per process: a second MakeDriver stops and frees the first
 * driver (as DisposeDriver would) and answers the same handle, which from
 * then on names the new driver. */
ZLNETDRV_API void *MakeDriver(void);
/* Frees the driver. Stops its communication thread first if Done was not called. */
ZLNETDRV_API void DisposeDriver(void *handle);
/* 0 for codes 0, 1 and 2, -1 for any other code. */
ZLNETDRV_API int32_t DriverCallBack(void *handle, int32_t code);
/* Loads the parameter file (at most charLimit characters of fileName) and starts
 * the driver. text (256 bytes) holds the host's name for the driver on entry and
 * the Czech error message (NUL-terminated) when Init answers false. */
ZLNETDRV_API uint8_t Init(void *handle, int32_t charLimit, const char *fileName, uint32_t unused,
                          char *text, int32_t loginLevel);
/* True only for buffer 0xFFFC, type 9, size 16862. */
ZLNETDRV_API uint8_t BufferInfo(void *handle, uint32_t number, uint8_t type, uint16_t size);
/* Hands over the sample buffer (number 0xFFFC) and initialises it. The driver
 * writes at most the 16862 bytes announced by BufferInfo, and only until the
 * host withdraws the buffer with a null block or calls Done: after either the
 * host may free it. */
ZLNETDRV_API void SetBufferAddr(void *handle, uint32_t number, void *block);
/* Asks for a fresh value of a channel (queues the read of a QQ variable). */
ZLNETDRV_API void InputRequest(void *handle, uint16_t channel);
ZLNETDRV_API void InputRequestCompleted(void *handle, uint16_t channel);
/* Writes 0 to *result; always true. */
ZLNETDRV_API uint8_t InputFinalized(void *handle, uint32_t unused, int32_t *result);
/* Copies the channel's current value into *value in the type value->type names;
 * leaves it untouched when the channel or type is not served.
 * ZL_TYPE_TEXT: value holds the address of a host buffer, and the driver
 * always writes the channel's whole text field into it, the text, a NUL and
 * zeros up to the field's size, whatever the text's length:
 *   ZL_TEXT_QQ_STRING     33 bytes  a STRING QQ variable (32 characters)
 *   ZL_TEXT_STATION_NAME  81 bytes  a station's name channel
 *   ZL_TEXT_VIDEO        256 bytes  a station's four Video text lines
 * The buffer must hold at least that many bytes. */
ZLNETDRV_API void GetInput(void *handle, uint16_t channel, HostValue *value);
/* Writes a value or a command to a channel; value is the 8 value bytes, little-endian. */
ZLNETDRV_API void OutputRequest(void *handle, uint16_t channel, uint32_t type, uint64_t value);
ZLNETDRV_API void OutputRequestCompleted(void *handle, uint16_t channel);
/* Writes 0 to *result; always true. */
ZLNETDRV_API uint8_t OutputFinalized(void *handle, uint32_t unused, int32_t *result);
/* Window commands: 0 hide, 1 show, 2 minimize, 3 restore, 4 focus, 5 move to
 * (p1, p2), 6 new login level p1. */
ZLNETDRV_API void DriverProc(void *handle, int32_t code, int32_t p1, int32_t p2);
/* Code 8 only: param 0 minimize, 1 show, 2 hide. */
ZLNETDRV_API void QueryProc(void *handle, int32_t code, int32_t param);
/* Stops the communication thread, disconnects, frees what Init built. */
ZLNETDRV_API void Done(void *handle);

/* Additions: what the Windows message queue and window give a host. On
 * Windows the host's own message loop dispatches the driver's messages;
 * PumpMessages serves a host without a loop, and MessageFd is not there. */

/* Waits up to timeoutMs (0: do not wait, -1: until a message arrives) for the
 * first message, dispatches every message then waiting, answers how many. */
ZLNETDRV_API int32_t PumpMessages(void *handle, int32_t timeoutMs);
/* A descriptor that is readable while messages wait; -1 for a bad handle. */
ZLNETDRV_API int32_t MessageFd(void *handle);
/* Writes the status window as a NUL-terminated UTF-8 JSON object into buffer
 * (at most size bytes, cut at a character boundary) and answers the length the
 * whole text needs, like snprintf. size 0 writes nothing and answers the
 * length, and so does a null buffer with size 0 (a null buffer with any other
 * size answers 0). */
ZLNETDRV_API int32_t GetStatusWindow(void *handle, char *buffer, int32_t size);
/* The loaded configuration's channel map as UTF-8 JSON, answered like
 * GetStatusWindow. Every channel the driver serves, and nothing it does not:
 *   {"stations":[{"number":1,"name":"KOTELNA","address":5,
 *      "gateway":"127.0.0.1:4001","phone":"0601000005",
 *      "groups":[{"group":"bi","objects":[{"object":1,"channel":1,
 *         "read":["bool"],"write":[],"command":false},...]},...],
 *      "variables":[{"address":"01.02.03","type":"REAL","direction":"READ",
 *         "channel":...,"read":[...],"write":[...],"command":false},...],
 *      "memoryBlocks":[{"address":...,"read":{"channel":...,...} or null,
 *         "items":[{"item":1,"type":"BYTE","direction":"OUTPUT",
 *         "channel":...,"read":["u8"],"write":["u8"],"command":false}]}],
 *      "channels":[{"name":"out_read_BI","channel":472,"read":[],
 *         "write":["bool"],"command":true},...]},...],
 *    "driverChannels":[{"first":60004,"last":60009,"what":"...",
 *      "read":["u8"],"write":[],"command":false},...],
 *    "diagnosticChannels":[{"channel":488,"what":"...","read":["double"]},...]}
 * Groups are bi, bo, ai, ct, mo, mi; "channels" names each by its parameter
 * file keyword (Video with "item" 1..4). Types are bool, u8, u16, u32, i8,
 * i16, i32, single, double, text, buffer: a read is served in "read", a write
 * in "write"; "command" marks a write that makes the driver act. A channel
 * that a variable, an earlier station or a fixed driver channel takes first is
 * left out where it is not served. Before a successful Init (and after Done)
 * the driver serves no channel and the map is
 *   {"stations":[],"driverChannels":[],"diagnosticChannels":[]} */
ZLNETDRV_API int32_t GetChannelMap(void *handle, char *buffer, int32_t size);
/* Clicks a button of the status window: "About" or "ButtonMin". */
ZLNETDRV_API void ClickButton(void *handle, const char *name);

#ifdef __cplusplus
}
#endif

#endif /* ZLNETDRV_H */

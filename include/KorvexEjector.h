/*
 * KorvexEjector: line-scan GigE camera driver with an I/O-card ejector.
 *
 * The host's whole interface to the driver: nineteen C functions and three callback types.
 * Functions returning int return 1 for success and 0 for failure unless said otherwise.
 * The host addresses a camera by grabber number (always 0; only logged) and port number (0-19);
 * other port numbers are refused with a log line and 0.
 *
 * Threads. Any function may be called from any host thread at any moment, several cameras at once,
 * also from inside the callbacks (which run on the driver's own threads):
 * - A close, a configuration dialog's OK or a finalize never frees what another thread is using:
 *   a row read, property call or command in progress on another thread finishes first (they are
 *   short), and calls that come after it fail with 0 as on a closed port or a driver not started.
 * - closeCVLPort and the "continuous" switch never wait for a completion callback to return: a
 *   callback still reading rows of a port closed meanwhile gets 0 for the rows after the close.
 *   A close does wait for the ejector's thread to finish the line it is writing and any command
 *   callback in progress.
 * - The last finalize waits for calls in progress on other threads and for a completion or
 *   command callback in progress to return. initialize and finalize are refused (0) inside a
 *   callback, and the command callback cannot close the camera that drives the ejector.
 * - Inside a command callback, a call that would have to wait for a camera or the ejector being
 *   opened or closed on another thread fails with 0 and a log line instead of waiting.
 * - configureCamera may be called while the camera grabs (not while it grabs continuously); the
 *   inspection's threads keep reading and setting properties while the dialog is open and while
 *   its OK stores the settings.
 * - Unloading the library, or exiting the process, without the last finalize stops the driver's
 *   threads first; a finalize without a matching initialize only logs a warning.
 */
#ifndef KORVEX_EJECTOR_H
#define KORVEX_EJECTOR_H

#ifdef __cplusplus
extern "C" {
#endif

#if defined(KORVEX_BUILDING_DRIVER) && !defined(_WIN32)
#define KORVEX_EXPORT __attribute__((visibility("default")))
#else
#define KORVEX_EXPORT /* the Windows DLL exports by its module-definition file */
#endif
/* The C calling convention, also for a Windows host whose compiler defaults to another. */
#if defined(_WIN32)
#define KORVEX_CALL __cdecl
#else
#define KORVEX_CALL
#endif

/* Receives every log line, in two calls: first the time stamp text, then the message text. */
typedef void (KORVEX_CALL *DebugMessageProc)(const char* text);
/* Called on the driver's grab thread when an image can be read with getCVLGrabRow. */
typedef void (KORVEX_CALL *CompleteCallback)(int grabberNo, int portNo);
/* Called on the driver's ejector thread, with name "EjectorLine" and the line number as value. */
typedef void (KORVEX_CALL *CommandCallback)(int grabberNo, int portNo, const char* name, const char* value);

/* Nestable: only the first call starts the driver, only the matching last finalize stops it (and
 * waits for calls and callbacks in progress on other threads). Refused inside a callback. */
KORVEX_EXPORT int KORVEX_CALL initialize(const char* systemPath, DebugMessageProc proc);
KORVEX_EXPORT int KORVEX_CALL finalize(void);
/* Directory of the log file and of the configuration file Korvex.ini. 0 when null or empty. */
KORVEX_EXPORT int KORVEX_CALL setSystemPath(const char* path);
KORVEX_EXPORT void KORVEX_CALL setDebugMsgProc(DebugMessageProc proc);

/* Modal configuration dialog; parentWindow is the host's window (0 for none).
 * Returns 0 when the user confirmed and the settings were stored, 1 when cancelled or refused,
 * and 0 when no camera has that name. */
KORVEX_EXPORT int KORVEX_CALL configureCamera(unsigned parentWindow, const char* cameraName);

/* imageSize points to two ints that receive the image width and height the host will read. */
KORVEX_EXPORT int KORVEX_CALL openCVLPort(int grabberNo, int portNo, const char* cameraName, int* imageSize);
/* Stops the port's grab and closes its camera; returns without waiting for a completion callback in
 * progress (its later row reads get 0), after the ejector's current line if the camera drives it. */
KORVEX_EXPORT void KORVEX_CALL closeCVLPort(int grabberNo, int portNo);
KORVEX_EXPORT int KORVEX_CALL doCVLGrab(int grabberNo, int portNo);
/* Copies one row of the completed image to destination. Columns are inclusive pixel indices. */
KORVEX_EXPORT int KORVEX_CALL getCVLGrabRow(int grabberNo, int portNo, void* destination, int row, int firstColumn,
                                int lastColumn);

KORVEX_EXPORT int KORVEX_CALL setCompleteCallback(int grabberNo, int portNo, CompleteCallback cb);
KORVEX_EXPORT int KORVEX_CALL setCmdCallback(int grabberNo, int portNo, CommandCallback cb);
/* Text commands for the I/O card; the answer is written to result, at most resultSize - 1 characters
 * and a terminator. */
KORVEX_EXPORT int KORVEX_CALL execCmd(int grabberNo, int portNo, const char* command, const char* arguments, char* result,
                          int resultSize);

KORVEX_EXPORT int KORVEX_CALL getProperty(int grabberNo, int portNo, const char* property, int* value);
KORVEX_EXPORT int KORVEX_CALL setProperty(int grabberNo, int portNo, const char* property, int value);
KORVEX_EXPORT int KORVEX_CALL getPropertyRange(int grabberNo, int portNo, const char* property, int* minimum, int* maximum);

/* Names of the supported cameras found, ending with a null pointer. Owned by the driver; the same
 * array on every call, valid until the last finalize. */
KORVEX_EXPORT char** KORVEX_CALL getCVLCameraConfigNames(void);
KORVEX_EXPORT int KORVEX_CALL getCVLMaxNoOfGrabbers(void);
KORVEX_EXPORT int KORVEX_CALL getCVLMaxNoOfPorts(void);
KORVEX_EXPORT int KORVEX_CALL getCVLNoOfSupportedCameras(void);

#ifdef __cplusplus
}
#endif

#endif /* KORVEX_EJECTOR_H */

/*
 * padscopepen: an X input driver for a pen that is moved by a test instead
 * of a hand. It gives the X server an absolute pointer device with five
 * valuators (x, y, pressure, tilt x, tilt y), three buttons and proximity,
 * so that a Wintab library built on XInput (Wine's) sees a real stylus or
 * eraser. Events come as text lines from a FIFO, one event a line:
 *
 *   in   [X [Y [PRESSURE [TILTX [TILTY]]]]]   the pen enters proximity
 *   move [X [Y [PRESSURE [TILTX [TILTY]]]]]   the pen moves
 *   out                                       the pen leaves proximity
 *   down N | up N                             button N (1 to 3) pressed or released
 *
 * Values left out keep their last value; every event carries all five.
 * Unknown lines are logged and dropped.
 *
 * xorg.conf options of an InputDevice with Driver "padscopepen":
 *   Option "Path" "FILE"   the FIFO (or file) to read events from
 *   Option "Type" "stylus" | "eraser"   the XInput device type (default stylus)
 */
#ifdef HAVE_XORG_CONFIG_H
#include <xorg-config.h>
#endif
#include <xorg-server.h>

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <X11/Xatom.h>
#include <exevents.h>
#include <xf86.h>
#include <xf86Module.h>
#include <xf86Xinput.h>
#include <xserver-properties.h>

enum { kAxes = 5, kButtons = 3, kLineMax = 256 };

/* The ranges Wine reads as the tablet's axes: x, y, pressure, tilt x, tilt y.
 * Resolutions are in units per metre (100 per millimetre for x and y). */
static const struct {
  const char* label;
  int min, max, resolution;
} kAxisRanges[kAxes] = {
    {AXIS_LABEL_PROP_ABS_X, 0, 25400, 100000},
    {AXIS_LABEL_PROP_ABS_Y, 0, 20320, 100000},
    {AXIS_LABEL_PROP_ABS_PRESSURE, 0, 2047, 1},
    {AXIS_LABEL_PROP_ABS_TILT_X, -64, 63, 1},
    {AXIS_LABEL_PROP_ABS_TILT_Y, -64, 63, 1},
};

typedef struct {
  char* path;
  int values[kAxes];
  char line[kLineMax];
  size_t used;
} PenState;

static void HandleLine(InputInfoPtr info, PenState* pen, char* line) {
  char verb[16] = "";
  int numbers[kAxes];
  int consumed = 0;
  if (sscanf(line, "%15s%n", verb, &consumed) != 1) return;  /* blank line */
  int count = 0;
  const char* rest = line + consumed;
  int step = 0;
  while (count < kAxes && sscanf(rest, "%d%n", &numbers[count], &step) == 1) {
    rest += step;
    ++count;
  }
  DeviceIntPtr device = info->dev;
  if (strcmp(verb, "in") == 0 || strcmp(verb, "move") == 0 || strcmp(verb, "out") == 0) {
    for (int i = 0; i < count; ++i) pen->values[i] = numbers[i];
    if (verb[0] == 'm') {
      xf86PostMotionEventP(device, TRUE, 0, kAxes, pen->values);
    } else {
      xf86PostProximityEventP(device, verb[0] == 'i', 0, kAxes, pen->values);
    }
  } else if ((strcmp(verb, "down") == 0 || strcmp(verb, "up") == 0) && count == 1 && numbers[0] >= 1 &&
             numbers[0] <= kButtons) {
    xf86PostButtonEventP(device, TRUE, numbers[0], verb[0] == 'd', 0, kAxes, pen->values);
  } else {
    xf86IDrvMsg(info, X_WARNING, "padscopepen: ignoring the line \"%s\"\n", line);
  }
}

/* Called by the server's input thread whenever the FIFO has data. */
static void ReadInput(InputInfoPtr info) {
  PenState* pen = info->private;
  for (;;) {
    const ssize_t got = read(info->fd, pen->line + pen->used, sizeof(pen->line) - 1 - pen->used);
    if (got <= 0) break;
    pen->used += (size_t)got;
    char* start = pen->line;
    char* end;
    while ((end = memchr(start, '\n', pen->used - (size_t)(start - pen->line))) != NULL) {
      *end = '\0';
      HandleLine(info, pen, start);
      start = end + 1;
    }
    pen->used -= (size_t)(start - pen->line);
    memmove(pen->line, start, pen->used);
    if (pen->used == sizeof(pen->line) - 1) pen->used = 0; /* an overlong line is dropped */
  }
}

/* The server calls this when a client changes the acceleration; an
 * absolute pen has none. */
static void IgnorePointerControl(DeviceIntPtr device, PtrCtrl* control) {
  (void)device;
  (void)control;
}

static int InitClasses(DeviceIntPtr device) {
  Atom axisLabels[kAxes];
  for (int i = 0; i < kAxes; ++i) axisLabels[i] = XIGetKnownProperty(kAxisRanges[i].label);
  Atom buttonLabels[kButtons] = {XIGetKnownProperty(BTN_LABEL_PROP_BTN_LEFT),
                                 XIGetKnownProperty(BTN_LABEL_PROP_BTN_MIDDLE),
                                 XIGetKnownProperty(BTN_LABEL_PROP_BTN_RIGHT)};
  CARD8 map[kButtons + 1];
  for (int i = 0; i <= kButtons; ++i) map[i] = (CARD8)i;
  if (!InitButtonClassDeviceStruct(device, kButtons, buttonLabels, map)) return BadAlloc;
  if (!InitValuatorClassDeviceStruct(device, kAxes, axisLabels, GetMotionHistorySize(), Absolute)) {
    return BadAlloc;
  }
  for (int i = 0; i < kAxes; ++i) {
    xf86InitValuatorAxisStruct(device, i, axisLabels[i], kAxisRanges[i].min, kAxisRanges[i].max,
                               kAxisRanges[i].resolution, 0, kAxisRanges[i].resolution, Absolute);
    xf86InitValuatorDefaults(device, i);
  }
  if (!InitProximityClassDeviceStruct(device)) return BadAlloc;
  if (!InitPtrFeedbackClassDeviceStruct(device, IgnorePointerControl)) return BadAlloc;
  return Success;
}

static int DeviceControl(DeviceIntPtr device, int what) {
  InputInfoPtr info = device->public.devicePrivate;
  PenState* pen = info->private;
  switch (what) {
    case DEVICE_INIT:
      return InitClasses(device);
    case DEVICE_ON:
      /* Read and write, so that the FIFO never reports an end while no
       * writer has it open. */
      info->fd = open(pen->path, O_RDWR | O_NONBLOCK | O_CLOEXEC);
      if (info->fd < 0) {
        xf86IDrvMsg(info, X_ERROR, "padscopepen: cannot open %s: %s\n", pen->path, strerror(errno));
        return BadValue;
      }
      xf86AddEnabledDevice(info);
      device->public.on = TRUE;
      return Success;
    case DEVICE_OFF:
    case DEVICE_CLOSE:
      if (info->fd >= 0) {
        xf86RemoveEnabledDevice(info);
        close(info->fd);
        info->fd = -1;
      }
      device->public.on = FALSE;
      return Success;
    default:
      return BadValue;
  }
}

static int PreInit(InputDriverPtr driver, InputInfoPtr info, int flags) {
  (void)driver;
  (void)flags;
  PenState* pen = calloc(1, sizeof(PenState));
  if (pen == NULL) return BadAlloc;
  pen->path = xf86SetStrOption(info->options, "Path", NULL);
  if (pen->path == NULL) {
    xf86IDrvMsg(info, X_ERROR, "padscopepen: the option Path is required\n");
    free(pen);
    return BadValue;
  }
  char* type = xf86SetStrOption(info->options, "Type", "stylus");
  info->type_name = strcmp(type, "eraser") == 0 ? "ERASER" : "STYLUS";
  free(type);
  info->private = pen;
  info->device_control = DeviceControl;
  info->read_input = ReadInput;
  info->fd = -1;
  return Success;
}

static void UnInit(InputDriverPtr driver, InputInfoPtr info, int flags) {
  (void)driver;
  (void)flags;
  PenState* pen = info->private;
  if (pen != NULL) free(pen->path);
  free(pen);
  info->private = NULL;
  xf86DeleteInput(info, flags);
}

static InputDriverRec padscopepenDriver = {1, "padscopepen", NULL, PreInit, UnInit, NULL, NULL, 0};

static void* Plug(void* module, void* options, int* errorMajor, int* errorMinor) {
  (void)options;
  (void)errorMajor;
  (void)errorMinor;
  xf86AddInputDriver(&padscopepenDriver, module, 0);
  return module;
}

static XF86ModuleVersionInfo versionInfo = {"padscopepen", "PADSCOPE", MODINFOSTRING1, MODINFOSTRING2,
                                            XORG_VERSION_CURRENT, 1, 0, 0, ABI_CLASS_XINPUT,
                                            ABI_XINPUT_VERSION, MOD_CLASS_XINPUT, {0, 0, 0, 0}};

_X_EXPORT XF86ModuleData padscopepenModuleData = {&versionInfo, Plug, NULL};

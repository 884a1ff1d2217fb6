#pragma once
// The conveyor inspection: the host stand-in inspects a belt of products in line-counter mode and
// books the ejector for each flawed one, then checks itself against what neither it nor the driver
// decided: the virtual camera's ground truth and the virtual card's trace of port writes.

#include <string>

#include "HostSupport.h"

namespace host {

struct ConveyorOptions {
  std::string camera;        // the camera's name
  long steps = 100000;       // counter steps to run over
  int offset = 1000;         // counter steps from the camera's line to the ejector
  int lineRate = 40000;      // belt lines per second
  std::string rigDirectory;  // the rig's files: network, cards, ground truth, trace, plot data
  std::string out;           // where the pictures go
  std::string singleGrab;    // a second camera single-grabbed on port 1 all the while (twocams), or ""
  int dropEvery = 0;         // the camera loses one chunk in this many on its way (0: none)
  int load = 0;              // busy threads beside the inspection, as other work on the machine
};

// Writes the rig's camera network (with its ground-truth file) and card file (with its trace) and
// points KORVEX_CAMERAS and KORVEX_DAQ at them. Before initialize.
bool PrepareConveyorRig(const ConveyorOptions& options);

// Runs the inspection and the check; 0 when no flawed product was missed, none rejected wrongly and
// the ejector processed every counter step once, in order.
int RunConveyor(DriverApi& api, const ConveyorOptions& options);

}  // namespace host

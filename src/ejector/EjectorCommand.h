#pragma once
// What the ejector puts on its four output ports for one line: 10 bytes, all zero when empty.
// A zero mask writes the whole byte; a nonzero mask takes only its bits from the command.

#include <cstdint>

struct EjectorCommand {
  uint8_t callback;  // nonzero: the host hears of the line through the command callback
  uint8_t assigned;  // 1 once a command was parsed or stored into the record
  uint8_t bytes[4];  // output bytes for ports 0 to 3
  uint8_t mask[4];   // bit masks for ports 0 to 3
};
static_assert(sizeof(EjectorCommand) == 10, "the command record is 10 bytes");

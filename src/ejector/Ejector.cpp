// The ejector: for now its command side, the grammar of line commands and of the static command.

#include <cstdlib>
#include <cstring>

#include "driver/Log.h"
#include "ejector/Ejector.h"

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// An unsigned 32-bit value read as formatted stream input in hexadecimal mode reads it: blanks
// skipped, an optional sign (a minus negates modulo 2^32), an optional "0x", then hex digits up to
// the first other character. Fails without a digit or when the digits exceed 32 bits.
bool ReadHex32(const char* text, uint32_t* value) {
  const char* p = text;
  while (IsSpace(*p)) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') {
    negative = *p == '-';
    ++p;
  }
  bool digits = false;
  if (*p == '0' && (p[1] == 'x' || p[1] == 'X')) {
    p += 2;  // the prefix needs a digit after it
  } else if (*p == '0') {
    digits = true;
  }
  uint64_t magnitude = 0;
  for (int d; (d = HexDigit(*p)) >= 0; ++p) {
    magnitude = magnitude * 16 + static_cast<uint64_t>(d);
    if (magnitude > 0xFFFFFFFFull) return false;
    digits = true;
  }
  if (!digits) return false;
  const uint32_t v = static_cast<uint32_t>(magnitude);
  *value = negative ? static_cast<uint32_t>(0u - v) : v;
  return true;
}

// Least significant byte first: the last two hex digits are port 0.
void Split(uint32_t value, uint8_t out[4]) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace

bool Ejector::ParseCommand(const char* command, EjectorCommand* ejectorCmd) {
  // 1.
  if (ejectorCmd == nullptr) {
    Log(1, "Ejector::ParseCommand: ERROR: bad argument 'ejectorCmd'\n");
    throw "Err";
  }
  // 2.
  const std::size_t length = command != nullptr ? std::strlen(command) : 0;
  if (length < 8) {
    Log(1, "Ejector::ParseCommand: ERROR: ejector command too short [%s]\n", SafeText(command));
    return false;
  }
  // 3.
  uint32_t bytes = 0;
  if (!ReadHex32(command, &bytes)) {
    Log(1, "Ejector::ParseCommand: ERROR: could not interpret bytes [%s]\n", command);
    return false;
  }
  Split(bytes, ejectorCmd->bytes);
  ejectorCmd->assigned = 1;
  // 4.
  if (length == 8) return true;
  // 5.
  if (length != 10 && length != 19) {
    Log(1, "Ejector::ParseCommand: ERROR: ejector command - invalid callback/mask [%s]\n", command);
    return false;
  }
  // 6.
  if (command[8] != ' ') {
    Log(1, "Ejector::ParseCommand: ERROR: ejector command - invalid callback separator[%s]\n", command);
    return false;
  }
  // 7.
  ejectorCmd->callback = command[9] != '0' ? 1 : 0;
  if (length == 10) return true;
  // 8.
  if (command[10] != ' ') {
    Log(1, "Ejector::ParseCommand: ERROR: ejector command - invalid mask separator [%s]\n", command);
    return false;
  }
  // 9.
  uint32_t mask = 0;
  if (!ReadHex32(command + 11, &mask)) {
    Log(1, "Ejector::ParseCommand: ERROR: could not interpret mask bytes [%s]\n", command);
    return false;
  }
  Split(mask, ejectorCmd->mask);
  return true;
}

void Ejector::SetLine(const char* text) {
  // 1.
  if (text == nullptr) {
    Log(1, "Ejector::SetLine: ERROR: no command string supplied\n");
    return;
  }
  // 2.
  const std::size_t length = std::strlen(text);
  if (length < 22 || text[11] != ' ') {
    Log(1, "Ejector::SetLine: ERROR: unrecognized command: %s\n", text);
    return;
  }
  // 3.
  int line = std::atoi(text + 11);
  // 4.
  const char* blank = std::strchr(text + 12, ' ');
  if (blank == nullptr) {
    Log(1, "Ejector::SetLine: ERROR: command too short: %s\n", text);
    return;
  }
  // 5.
  EjectorCommand command{};
  if (!ParseCommand(blank + 1, &command)) {
    Log(1, "Ejector::SetLine: ERROR: invalid command: %s\n", text);
    return;
  }
  // 6.
  line %= kLines;
  // 7. A line up to half the counter's range ahead across its wrap is still to come, not passed:
  //    on a running conveyor, rejects aimed just past 9999 must not be lost.
  const int current = GetCurrentLine();
  const int diff = line - current;
  const bool ahead = diff >= 1 || (line >= 0 && diff + kLines <= kLines / 2);
  if (!ahead) {
    Log(1, "Ejector::SetLine: ERROR line %d passed current %d diff %d\n", line, current, diff);
    return;
  }
  // 8.
  Log(3, "Ejector::SetLine: setting buffer, line=%d\n bytes: %d %d %d %d, from str= [%s]", line, command.bytes[0],
      command.bytes[1], command.bytes[2], command.bytes[3], text);
  mBuffer.SetCommand(line, command);
}

void Ejector::SetStaticCommand(const char* text) {
  // 1.
  if (text == nullptr) {
    Log(1, "Ejector::SetStaticCommand: ERROR: no command string supplied\n");
    return;
  }
  // 2.
  if (std::strlen(text) != 29 || text[20] != ' ') {
    Log(1, "Ejector::SetStaticCommand: ERROR: unrecognized command: %s\n", text);
    return;
  }
  // 3. Parsed aside and stored as one word: the ejector thread may be reading the bytes.
  EjectorCommand parsed = GetStaticCommand();
  if (!ParseCommand(text + 21, &parsed)) {
    Log(1, "Ejector::SetStaticCommand: ERROR: invalid command: %s\n", text);
    return;
  }
  const uint32_t word = static_cast<uint32_t>(parsed.bytes[0]) | static_cast<uint32_t>(parsed.bytes[1]) << 8 |
                        static_cast<uint32_t>(parsed.bytes[2]) << 16 | static_cast<uint32_t>(parsed.bytes[3]) << 24;
  mStaticCommand.store(word, std::memory_order_relaxed);
  // 4.
  Log(3, "Ejector::SetStaticCommand: setting static command: %d %d %d %d, from str= [%s]\n", parsed.bytes[0],
      parsed.bytes[1], parsed.bytes[2], parsed.bytes[3], text);
}

EjectorCommand Ejector::GetStaticCommand() const {
  const uint32_t word = mStaticCommand.load(std::memory_order_relaxed);
  EjectorCommand command{};
  Split(word, command.bytes);
  return command;
}

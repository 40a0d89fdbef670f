#pragma once
// What the tool tells the user when a device or file operation fails: the
// file, the device model and its port, and a plain reason chosen by the
// error code. The exception's own description is only for --verbose.
#include <string>

#include "link/NBException.h"
#include "protocol/DeviceInfo.h"
#include "protocol/PrintableText.h"

// "Corvia 80 (COM3)", "Kitchen Minnow (ttyUSB0)": its remembered name and port
std::string deviceLabel(const DeviceInfo& device);
// "COM3", "ttyUSB0": a port's own name, without its folder.
std::string shortPortLabel(int number);

// A short reason for an error code, e.g. "the file does not exist on the device".
std::string reasonFor(std::int32_t code);

// Prints "nimbrel: <what>: <reason>." on stderr (plus the details when verbose).
void reportFailure(const std::string& what, const NBException& error, bool verbose);
void reportProblem(const std::string& text);

// A device file name as the user reads it: in UTF-8, escaped as every text
// from a device is (printable), so a name never drives the terminal.
std::string shownName(const std::string& deviceName);

#pragma once
// Checks of what the user types into the order and settings dialogs.
#include <string>

#include "platform/wintypes.h"

// TRUE for a dotted IPv4 text: four parts of 1..3 digits, each at most 255, 7..15 characters.
BOOL IsValidIPAddress(const std::string& text);

// The order dialogs' identifier filter, applied after every change: a byte with the high bit
// set removes the nGrown characters just typed at its position; any other character outside
// the allowed set is removed wherever it occurs. The allowed set: the space, the marks
// ! # $ % & ( ) + ; = @ [ ] ^ _ { } ~ and the grave accent, the digits and ASCII letters.
std::string FilterIdentifier(const std::string& text, int nGrown);

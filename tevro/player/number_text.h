#pragma once

// Numbers written for mpv's commands and options: always with a "." and
// independent of the process locale.

#include <string>

namespace tevro::NumberText {

// printf's "%.<digits>f".
std::string fixed(double value, int digits);

// The shortest text that reads back as the same number; whole numbers keep
// one decimal zero ("5.0", "-1.25").
std::string shortest(double value);

} // namespace tevro::NumberText

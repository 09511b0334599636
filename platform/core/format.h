// printf into a std::string, for labels and the call record's arguments.
#pragma once

#include <string>

namespace layer {

std::string format(const char *fmt, ...) __attribute__((format(printf, 1, 2)));

}  // namespace layer

// cvsim check on POSIX hosts: examines the machine at a system root.
#pragma once

#include <string>

namespace cvsim {

// Prints one line for each step of a console program's search for the adapter;
// 0 when CV_UTIL would find it, 1 otherwise.
int CheckMachine(const std::string &root);

} // namespace cvsim

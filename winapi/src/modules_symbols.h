// What other areas of winapi need of a module: the address of a symbol in it,
// such as the resources that the POSIX build links into a library.
#pragma once

#include <windows.h>

namespace winapi {

// The address of the named symbol of the module (NULL: the program itself), or
// NULL when the module has no such symbol.
void *ModuleSymbol(HMODULE module, const char *name);

} // namespace winapi

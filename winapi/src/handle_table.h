// One table of kernel object handles for the process: files, devices, console
// buffers, find handles. Values are multiples of 4 from 4 up, as on NT, so they
// never equal NULL or INVALID_HANDLE_VALUE.
#pragma once

#include <windows.h>

#include <memory>

namespace winapi {

class KernelObject {
 public:
  virtual ~KernelObject() = default;
};

HANDLE InsertHandle(std::shared_ptr<KernelObject> object);
std::shared_ptr<KernelObject> LookupHandle(HANDLE handle);
// Removes the handle; false when it was not open.
bool RemoveHandle(HANDLE handle);

template <class T>
std::shared_ptr<T> LookupHandleAs(HANDLE handle) {
  return std::dynamic_pointer_cast<T>(LookupHandle(handle));
}

} // namespace winapi

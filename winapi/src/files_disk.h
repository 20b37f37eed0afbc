// A file of the file system behind a handle: what CreateFileA and OpenFile open.
// Reading and writing functions of other areas find it with LookupDiskFile.
#pragma once

#include <windows.h>

#include "handle_table.h"

#include <memory>

namespace winapi {

class DiskFile : public KernelObject {
 public:
  explicit DiskFile(int fd) : fd_(fd) {}
  ~DiskFile() override;
  DiskFile(const DiskFile &) = delete;
  DiskFile &operator=(const DiskFile &) = delete;
  int fd() const { return fd_; }

 private:
  int fd_;
};

std::shared_ptr<DiskFile> LookupDiskFile(HANDLE handle);

} // namespace winapi

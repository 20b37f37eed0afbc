#include "handle_table.h"

#include <map>
#include <mutex>

namespace winapi {
namespace {

struct HandleTable {
  std::mutex mutex;
  std::map<UINT_PTR, std::shared_ptr<KernelObject>> objects;
  UINT_PTR next = 4;
};

HandleTable &Table() {
  static HandleTable *table = new HandleTable; // never destroyed: handles may be closed from atexit code
  return *table;
}

} // namespace

HANDLE InsertHandle(std::shared_ptr<KernelObject> object) {
  HandleTable &table = Table();
  std::lock_guard lock(table.mutex);
  UINT_PTR value = table.next;
  while (table.objects.count(value)) value += 4;
  table.next = value + 4;
  table.objects[value] = std::move(object);
  return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<KernelObject> LookupHandle(HANDLE handle) {
  HandleTable &table = Table();
  std::lock_guard lock(table.mutex);
  auto it = table.objects.find(reinterpret_cast<UINT_PTR>(handle));
  return it == table.objects.end() ? nullptr : it->second;
}

bool RemoveHandle(HANDLE handle) {
  std::shared_ptr<KernelObject> doomed; // destroyed outside the lock
  HandleTable &table = Table();
  std::lock_guard lock(table.mutex);
  auto it = table.objects.find(reinterpret_cast<UINT_PTR>(handle));
  if (it == table.objects.end()) return false;
  doomed = std::move(it->second);
  table.objects.erase(it);
  return true;
}

} // namespace winapi

extern "C" BOOL WINAPI CloseHandle(HANDLE hObject) {
  if (!winapi::RemoveHandle(hObject)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

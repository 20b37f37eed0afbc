// Lexical full paths, and resolving a Windows name to a POSIX path without regard
// to case. Full forms follow Windows (probed under Wine, which agrees except that
// it keeps a trailing backslash on a bare "Z:").
#include "paths.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstring>
#include <vector>

namespace winapi {

unsigned char AnsiLower(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 32);
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<unsigned char>(c + 32);
  switch (c) {
    case 0x8A:
      return 0x9A;
    case 0x8C:
      return 0x9C;
    case 0x8E:
      return 0x9E;
    case 0x9F:
      return 0xFF;
    default:
      return c;
  }
}

bool AnsiEqualNoCase(const std::string &a, const std::string &b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (AnsiLower(static_cast<unsigned char>(a[i])) != AnsiLower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

DWORD ErrorFromErrno(int error) {
  switch (error) {
    case ENOENT:
      return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
      return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
      return ERROR_ACCESS_DENIED;
    case EEXIST:
      return ERROR_FILE_EXISTS;
    case EMFILE:
    case ENFILE:
      return ERROR_TOO_MANY_OPEN_FILES;
    case ENAMETOOLONG:
      return ERROR_FILENAME_EXCED_RANGE;
    case ENOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    case EINVAL:
      return ERROR_INVALID_PARAMETER;
    default:
      return ERROR_GEN_FAILURE;
  }
}

namespace {

std::string CurrentDirectory() {
  std::vector<char> buffer(PATH_MAX + 1);
  if (!::getcwd(buffer.data(), buffer.size())) return "Z:\\";
  return WindowsFormOfHostPath(buffer.data());
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsDrive(const std::string &s) {
  return s.size() >= 2 && s[1] == ':' && std::isalpha(static_cast<unsigned char>(s[0]));
}

// Folds the names after a root ("Z:\" or "\\server\share\").
std::string Fold(const std::string &root, const std::string &rest) {
  std::vector<std::string> names;
  size_t start = 0;
  bool trailing = false;
  while (start <= rest.size()) {
    size_t end = start;
    while (end < rest.size() && !IsSeparator(rest[end])) ++end;
    std::string name = rest.substr(start, end - start);
    bool last = end >= rest.size();
    trailing = last && name.empty() && !rest.empty();
    if (last && name != "." && name != "..") {
      // Windows drops trailing dots and blanks from the last name.
      while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
      if (name.empty() && end > start) trailing = true;
    }
    if (name == "..") {
      if (!names.empty()) names.pop_back();
      trailing = false;
    } else if (name == ".") {
      trailing = false;
    } else if (!name.empty()) {
      names.push_back(name);
    }
    start = end + 1;
  }
  std::string full = root;
  for (size_t i = 0; i < names.size(); ++i) {
    if (i) full += '\\';
    full += names[i];
  }
  if (trailing && !names.empty()) full += '\\';
  return full;
}

} // namespace

std::string WindowsFormOfHostPath(const std::string &host) {
  std::string full = "Z:";
  if (host.empty() || host[0] != '/') full += '\\';
  for (char c : host) full += (c == '/') ? '\\' : c;
  if (full.size() == 2) full += '\\';
  return full;
}

std::string FullWindowsPath(const char *name) {
  std::string path = name ? name : "";
  if (path.size() >= 4 && IsSeparator(path[0]) && IsSeparator(path[1]) && (path[2] == '?' || path[2] == '.') &&
      IsSeparator(path[3]))
    return path; // a device or verbatim name is taken as it is
  if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
    // \\server\share\rest: the share is the root.
    size_t server = path.find_first_of("\\/", 2);
    if (server == std::string::npos) return "\\\\" + path.substr(2);
    size_t share = path.find_first_of("\\/", server + 1);
    std::string root = "\\\\" + path.substr(2, server - 2) + "\\" +
                       path.substr(server + 1, share == std::string::npos ? std::string::npos : share - server - 1);
    if (share == std::string::npos) return root;
    return Fold(root + "\\", path.substr(share + 1));
  }
  if (IsDrive(path)) {
    std::string drive = path.substr(0, 2);
    std::string rest = path.substr(2);
    if (!rest.empty() && IsSeparator(rest[0])) return Fold(drive + "\\", rest.substr(1));
    if (std::toupper(static_cast<unsigned char>(drive[0])) == 'Z') {
      // Relative to the current directory of drive Z:, which is the process's.
      std::string current = CurrentDirectory();
      std::string base = current.substr(3);
      return Fold(drive + "\\", base.empty() || rest.empty() ? base + rest : base + "\\" + rest);
    }
    return Fold(drive + "\\", rest);
  }
  if (!path.empty() && IsSeparator(path[0])) return Fold("Z:\\", path.substr(1));
  std::string current = CurrentDirectory();
  std::string base = current.substr(3);
  return Fold(current.substr(0, 3), base.empty() ? path : base + "\\" + path);
}

namespace {

// The entry of directory dir whose name equals name without regard to case; the
// exact name wins, then the first in byte order, so the choice is stable.
bool FindNoCase(const std::string &dir, const std::string &name, std::string *found) {
  DIR *stream = ::opendir(dir.empty() ? "/" : dir.c_str());
  if (!stream) return false;
  std::vector<std::string> matches;
  while (dirent *entry = ::readdir(stream)) {
    if (AnsiEqualNoCase(entry->d_name, name)) matches.push_back(entry->d_name);
  }
  ::closedir(stream);
  if (matches.empty()) return false;
  *found = *std::min_element(matches.begin(), matches.end());
  return true;
}

bool Exists(const std::string &path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

} // namespace

bool HostPath(const char *name, std::string *host, DWORD *error, bool mustExist) {
  if (!name || !*name) {
    *error = ERROR_PATH_NOT_FOUND;
    return false;
  }
  std::string full = FullWindowsPath(name);
  if (full.size() < 3 || std::toupper(static_cast<unsigned char>(full[0])) != 'Z' || full[1] != ':') {
    *error = ERROR_PATH_NOT_FOUND; // only drive Z: exists here
    return false;
  }
  bool trailing = full.back() == '\\' && full.size() > 3;
  std::vector<std::string> names;
  for (size_t start = 3; start < full.size();) {
    size_t end = full.find('\\', start);
    if (end == std::string::npos) end = full.size();
    if (end > start) names.push_back(full.substr(start, end - start));
    start = end + 1;
  }
  std::string path;
  for (const std::string &n : names) path += "/" + n;
  if (path.empty()) path = "/";
  if (!Exists(path)) {
    // Walk name by name, matching each without regard to case.
    path.clear();
    for (size_t i = 0; i < names.size(); ++i) {
      std::string candidate = path + "/" + names[i];
      if (!Exists(candidate)) {
        std::string found;
        if (FindNoCase(path, names[i], &found)) {
          candidate = path + "/" + found;
        } else {
          bool last = i + 1 == names.size();
          if (!last) {
            *error = ERROR_PATH_NOT_FOUND;
            return false;
          }
          if (mustExist) {
            *error = ERROR_FILE_NOT_FOUND;
            return false;
          }
        }
      }
      path = candidate;
    }
  }
  if (trailing) path += "/";
  *host = path;
  return true;
}

} // namespace winapi

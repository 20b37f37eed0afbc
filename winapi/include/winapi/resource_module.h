// How a module built for a POSIX host carries its resource script: the build
// embeds the module's .rc text in a generated source that defines one
// EmbeddedResourceScript. The text's own address tells which module it lies in.
#pragma once

namespace winapi {

struct EmbeddedResourceScript {
  explicit EmbeddedResourceScript(const char *scriptText);
};

} // namespace winapi

// Loads the shader library at run time, as any host does: dlopen / LoadLibrary, then the two
// exports of a class, `<Class>_getAPIVersion` (must answer 2724) and `<Class>_create`.
#ifndef TARVO_HOST_PLUGIN_LIBRARY_H
#define TARVO_HOST_PLUGIN_LIBRARY_H

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "tarvo/tarvo.h"

namespace tarvo::host {

class PluginError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The two exports of one class.
struct ShaderFactory {
  std::string className;
  pvx::CreateFunction create = nullptr;
  pvx::GetApiVersionFunction getApiVersion = nullptr;
};

// Names of the catalogue's classes, in catalogue order.
std::vector<std::string> catalogueClassNames();

// "material", "light" or "environment" for a getKind value ("unknown" for anything else).
const char* kindName(int32_t kind);

class PluginLibrary {
 public:
  // Opens the library file; throws PluginError naming the file and the loader's reason.
  explicit PluginLibrary(const std::string& path);
  ~PluginLibrary();
  PluginLibrary(PluginLibrary&& other) noexcept;
  PluginLibrary& operator=(PluginLibrary&& other) noexcept;
  PluginLibrary(const PluginLibrary&) = delete;
  PluginLibrary& operator=(const PluginLibrary&) = delete;

  // File name of the library on this platform ("libtarvoShaders.so", "tarvoShaders.dll").
  static std::string fileName();
  // Where a host looks for it by default: $TARVO_SHADERS_LIBRARY when set, else the file beside
  // the running executable.
  static std::string defaultPath();

  const std::string& path() const { return path_; }

  // Address of an exported symbol, or null.
  void* symbol(const std::string& name) const;

  // Resolves both exports of a class and checks its API version. Throws PluginError for an
  // unknown class (naming the nearest catalogue names) or another API version.
  ShaderFactory factory(std::string_view className) const;

  // A new instance with its defaults; throws like factory(), and when the factory returns null.
  pvx::ShaderPtr create(std::string_view className) const;

 private:
  std::string path_;
  void* handle_ = nullptr;
};

}  // namespace tarvo::host

#endif  // TARVO_HOST_PLUGIN_LIBRARY_H

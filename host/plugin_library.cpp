#include "host/plugin_library.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "host/nearest_names.h"

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>
#endif

namespace tarvo::host {

namespace {

std::string loaderError() {
#if defined(_WIN32)
  const DWORD code = GetLastError();
  char buffer[512] = {};
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                 buffer, sizeof(buffer), nullptr);
  std::string message(buffer);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r'))
    message.pop_back();
  return message + " (error " + std::to_string(code) + ")";
#else
  const char* message = dlerror();
  return message ? message : "unknown loader error";
#endif
}

std::string executableDirectory() {
#if defined(_WIN32)
  char buffer[MAX_PATH] = {};
  const DWORD n = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
  std::string path(buffer, n);
  const size_t slash = path.find_last_of("\\/");
#else
  std::vector<char> buffer(4096);
  const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  std::string path = n > 0 ? std::string(buffer.data(), static_cast<size_t>(n)) : std::string();
  const size_t slash = path.find_last_of('/');
#endif
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

}  // namespace

std::vector<std::string> catalogueClassNames() {
  std::vector<std::string> names;
  for (const pvx::CatalogueEntry& entry : pvx::kCatalogue)
    names.emplace_back(entry.className);
  return names;
}

const char* kindName(int32_t kind) {
  static const char* const names[] = {"material", "light", "environment"};  // by kind code
  return kind >= 0 && kind < 3 ? names[kind] : "unknown";
}

PluginLibrary::PluginLibrary(const std::string& path) : path_(path) {
#if defined(_WIN32)
  handle_ = reinterpret_cast<void*>(LoadLibraryA(path.c_str()));
#else
  handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
#endif
  if (handle_ == nullptr) {
    throw PluginError("cannot load the shader library '" + path + "': " + loaderError());
  }
}

PluginLibrary::~PluginLibrary() {
  if (handle_ == nullptr) return;
#if defined(_WIN32)
  FreeLibrary(reinterpret_cast<HMODULE>(handle_));
#else
  dlclose(handle_);
#endif
}

PluginLibrary::PluginLibrary(PluginLibrary&& other) noexcept
    : path_(std::move(other.path_)), handle_(other.handle_) {
  other.handle_ = nullptr;
}

PluginLibrary& PluginLibrary::operator=(PluginLibrary&& other) noexcept {
  if (this != &other) {
    this->~PluginLibrary();
    path_ = std::move(other.path_);
    handle_ = other.handle_;
    other.handle_ = nullptr;
  }
  return *this;
}

std::string PluginLibrary::fileName() {
#if defined(_WIN32)
  return "tarvoShaders.dll";
#else
  return "libtarvoShaders.so";
#endif
}

std::string PluginLibrary::defaultPath() {
  if (const char* fromEnvironment = std::getenv("TARVO_SHADERS_LIBRARY")) {
    if (*fromEnvironment) return fromEnvironment;
  }
  // Beside the executable (build tree), then in the lib folder of an installed prefix, then
  // wherever the system loader finds it.
  const std::string directory = executableDirectory();
  for (const std::string& candidate :
       {directory + "/" + fileName(), directory + "/../lib/" + fileName()}) {
    if (FILE* f = std::fopen(candidate.c_str(), "rb")) {
      std::fclose(f);
      return candidate;
    }
  }
  return fileName();
}

void* PluginLibrary::symbol(const std::string& name) const {
#if defined(_WIN32)
  return reinterpret_cast<void*>(GetProcAddress(reinterpret_cast<HMODULE>(handle_), name.c_str()));
#else
  return dlsym(handle_, name.c_str());
#endif
}

ShaderFactory PluginLibrary::factory(std::string_view className) const {
  ShaderFactory result;
  result.className = std::string(className);
  void* create = symbol(result.className + "_create");
  void* version = symbol(result.className + "_getAPIVersion");
  if (create == nullptr || version == nullptr) {
    std::string message =
        "the shader library '" + path_ + "' has no shader class '" + result.className + "'";
    const std::vector<std::string> nearest = nearestNames(className, catalogueClassNames());
    if (!nearest.empty()) message += "; did you mean " + quoteList(nearest) + "?";
    throw PluginError(message);
  }
  // Function and object pointers share a representation on every platform we load from.
  result.create = reinterpret_cast<pvx::CreateFunction>(create);
  result.getApiVersion = reinterpret_cast<pvx::GetApiVersionFunction>(version);
  const uint32_t apiVersion = result.getApiVersion();
  if (apiVersion != pvx::kApiVersion) {
    throw PluginError("shader class '" + result.className + "' in '" + path_ +
                      "' implements API version " + std::to_string(apiVersion) +
                      "; this host needs " + std::to_string(pvx::kApiVersion));
  }
  return result;
}

pvx::ShaderPtr PluginLibrary::create(std::string_view className) const {
  const ShaderFactory f = factory(className);
  pvx::IShaderBase* shader = f.create();
  if (shader == nullptr) {
    throw PluginError("shader class '" + f.className + "' could not create an instance");
  }
  return pvx::ShaderPtr(shader);
}

}  // namespace tarvo::host

// The `tarvo` Python module: the shader library seen from Python through the same host pieces
// the tools use. A Library loads the plug-in (with its API-version check) and creates shaders
// whose parameters are read and set by declared name with the binder's type checks;
// `evaluate` and `scatter` run a material's path-tracing entries over NumPy arrays of
// directions in the local shading frame (normal +z, tangent +x) against a host with constant
// answers and seeded random numbers; `render` renders a scene file or dict into an H x W x 4
// float32 array, the same pixels tarvo-render writes into an EXR.
//
// Choices of this module: `incident` points from the surface towards where the ray came from
// (the state's I is its negation), so a front hit has incident.z > 0; every varying a class
// declares gets a neutral value (uv (0.5, 0.5), tangent +x, bitangent +y, vertex colour white).
#include <dlfcn.h>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <exception>
#include <future>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "host/class_listing.h"
#include "host/constant_host.h"
#include "host/parameter_table.h"
#include "host/plugin_library.h"
#include "notes/parameter_notes.h"
#if defined(TARVO_PYTHON_RENDER)
#include "host/render/renderer.h"
#include "host/render/scene_file.h"
#endif

namespace py = pybind11;

namespace {

using tarvo::host::BoundShader;
using tarvo::host::capabilityNames;
using tarvo::host::ParameterRecord;
using tarvo::host::ParamType;
using tarvo::host::PluginLibrary;
using tarvo::host::varyingTypeName;

// ---------------------------------------------------------------------------------------------
// Finding and loading the library.

// $TARVO_SHADERS_LIBRARY, else the library beside this module (build tree), else the installed
// one, else whatever the system loader finds.
std::string defaultLibraryPath() {
  if (const char* fromEnvironment = std::getenv("TARVO_SHADERS_LIBRARY")) {
    if (*fromEnvironment) return fromEnvironment;
  }
  std::vector<std::string> candidates;
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&defaultLibraryPath), &info) != 0 && info.dli_fname) {
    std::string module = info.dli_fname;
    const size_t slash = module.find_last_of('/');
    if (slash != std::string::npos) {
      const std::string folder = module.substr(0, slash + 1);
      candidates.push_back(folder + PluginLibrary::fileName());
#if defined(TARVO_LIBRARY_FROM_MODULE)
      candidates.push_back(folder + TARVO_LIBRARY_FROM_MODULE);
#endif
    }
  }
#if defined(TARVO_INSTALLED_LIBRARY)
  candidates.emplace_back(TARVO_INSTALLED_LIBRARY);
#endif
  for (const std::string& candidate : candidates) {
    if (FILE* f = std::fopen(candidate.c_str(), "rb")) {
      std::fclose(f);
      return candidate;
    }
  }
  return PluginLibrary::fileName();
}

struct Library {
  std::shared_ptr<PluginLibrary> plugin;
};

struct Shader {
  std::shared_ptr<const PluginLibrary> plugin;  // keeps the code of the instance loaded
  std::unique_ptr<BoundShader> bound;
};

// The exceptions Python sees. Unknown classes and library failures are PluginError, unknown
// parameter names ParameterError (a LookupError); values of the wrong type raise TypeError and
// values of the wrong size ValueError.
PyObject* pluginError = nullptr;
PyObject* parameterError = nullptr;
PyObject* sceneError = nullptr;

[[noreturn]] void raise(PyObject* type, const std::string& message) {
  PyErr_SetString(type, message.c_str());
  throw py::error_already_set();
}

const ParameterRecord& findParameter(const BoundShader& shader, const std::string& name) {
  if (const ParameterRecord* record = shader.table().find(name)) return *record;
  try {
    shader.address(name);  // throws with the nearest names
  } catch (const tarvo::host::ParameterError& error) {
    raise(parameterError, error.what());
  }
  raise(parameterError, "no parameter '" + name + "'");
}

// ---------------------------------------------------------------------------------------------
// Parameter values between Python and the shader object.

py::object readValue(const BoundShader& shader, const ParameterRecord& p) {
  const void* address = shader.address(p.name);
  switch (p.type) {
    case ParamType::Bool:
      return py::bool_(*static_cast<const unsigned char*>(address) != 0);
    case ParamType::Int: {
      int32_t v;
      std::memcpy(&v, address, sizeof v);
      return py::int_(v);
    }
    case ParamType::Texture1D:
    case ParamType::Texture2D:
    case ParamType::TextureCube: {
      pvx::Texture2D handle;
      std::memcpy(&handle, address, sizeof handle);
      return handle.object ? py::object(py::str("bound")) : py::object(py::none());
    }
    default: {
      const int n = tarvo::host::floatCount(p.type);
      float values[16];
      std::memcpy(values, address, sizeof(float) * static_cast<size_t>(n));
      if (p.type == ParamType::Float) return py::float_(values[0]);
      py::tuple t(static_cast<size_t>(n));
      for (int i = 0; i < n; ++i)
        t[static_cast<size_t>(i)] = py::float_(values[i]);
      return std::move(t);
    }
  }
}

bool isNumpyScalarOf(py::handle value, const char* kind) {
  // Held to the end of the process: a static py::object would be released after Python is gone.
  static const py::handle numpy = py::module_::import("numpy").release();
  return py::isinstance(value, numpy.attr(kind));
}

std::string describeType(py::handle value) {
  return std::string(py::str(py::type::of(value).attr("__name__"))) + " (" +
         std::string(py::repr(value)) + ")";
}

void writeValue(BoundShader& shader, const std::string& name, py::handle value) {
  const ParameterRecord& p = findParameter(shader, name);
  const std::string what = "parameter '" + p.name + "' of '" + shader.className() + "' is a " +
                           tarvo::host::typeName(p.type);
  const auto wrongType = [&](const char* wanted) {
    raise(PyExc_TypeError, what + " and takes " + wanted + ", not " + describeType(value));
  };
  const bool isBool = PyBool_Check(value.ptr()) || isNumpyScalarOf(value, "bool_");
  const bool isInteger =
      !isBool && (PyLong_Check(value.ptr()) || isNumpyScalarOf(value, "integer"));
  const bool isReal =
      isInteger || (!isBool && (PyFloat_Check(value.ptr()) || isNumpyScalarOf(value, "floating")));
  switch (p.type) {
    case ParamType::Bool:
      if (!isBool) wrongType("True or False");
      shader.set(p.name, value.cast<bool>());
      return;
    case ParamType::Int:
      if (!isInteger) wrongType("an integer");
      {
        const long long v = value.cast<long long>();
        if (v < INT32_MIN || v > INT32_MAX)
          raise(PyExc_ValueError, what + "; " + std::to_string(v) + " does not fit 32 bits");
        shader.set(p.name, static_cast<int32_t>(v));
      }
      return;
    case ParamType::Float:
      if (!isReal) wrongType("a number");
      shader.set(p.name, static_cast<float>(value.cast<double>()));
      return;
    case ParamType::Texture1D:
    case ParamType::Texture2D:
    case ParamType::TextureCube:
      raise(PyExc_TypeError, what + "; textures are bound by scene files, not from Python");
    default:
      break;
  }
  // Vectors, colours and matrices: any sequence or array of numbers of the right size, in
  // stored order (matrices column by column).
  const int n = tarvo::host::floatCount(p.type);
  const std::string wanted = std::to_string(n) + " numbers";
  if (isReal || isBool || value.is_none() || PyUnicode_Check(value.ptr()) ||
      PyBytes_Check(value.ptr())) {
    wrongType(wanted.c_str());
  }
  py::array_t<double, py::array::c_style | py::array::forcecast> numbers;
  try {
    numbers = py::array_t<double, py::array::c_style | py::array::forcecast>::ensure(value);
  } catch (const py::error_already_set&) {
  }
  if (!numbers) {
    PyErr_Clear();
    wrongType(wanted.c_str());
  }
  if (numbers.size() != n) {
    raise(PyExc_ValueError,
          what + " and takes " + wanted + "; " + std::to_string(numbers.size()) + " were given");
  }
  shader.setNumbers(p.name, std::vector<double>(numbers.data(), numbers.data() + n));
}

// ---------------------------------------------------------------------------------------------
// Shading in the local frame.

// ConstantHost's fixed answers, with random numbers from a seeded generator so that `scatter`
// draws follow the density it reports.
class SamplingHost final : public pvx::IHostContext {
 public:
  explicit SamplingHost(uint64_t seed) {
    std::seed_seq words{static_cast<uint32_t>(seed), static_cast<uint32_t>(seed >> 32)};
    engine_.seed(words);
  }

  const pvx::LightSample* lightSamples(int32_t f, const pvx::float3* p,
                                       const pvx::float3* n) override {
    return answers_.lightSamples(f, p, n);
  }
  pvx::float3* ambientLight(pvx::float3* r, const pvx::float3* p, const pvx::float3* n) override {
    return answers_.ambientLight(r, p, n);
  }
  pvx::float3* shadowTransmission(pvx::float3* r, const pvx::float3* p,
                                  const pvx::float3* l) override {
    return answers_.shadowTransmission(r, p, l);
  }
  pvx::float3* traceRay(pvx::float3* r, int32_t k, const pvx::float3* o, const pvx::float3* d,
                        float w) override {
    return answers_.traceRay(r, k, o, d, w);
  }
  pvx::float3* traceSpecular(pvx::float3* r, const pvx::float3* o, const pvx::float3* d,
                             float w) override {
    return answers_.traceSpecular(r, o, d, w);
  }
  pvx::float4* traceContinue(pvx::float4* r, const pvx::float3* p, const pvx::float3* i,
                             float w) override {
    return answers_.traceContinue(r, p, i, w);
  }
  pvx::float3* traceAnisotropic(pvx::float3* r, const pvx::float3* p, const pvx::float3* d,
                                const pvx::float3* u, const pvx::float3* v, float gu, float gv,
                                float w) override {
    return answers_.traceAnisotropic(r, p, d, u, v, gu, gv, w);
  }
  pvx::float3* traceReflection(pvx::float3* r, const pvx::float3* p, const pvx::float3* d, float g,
                               float w) override {
    return answers_.traceReflection(r, p, d, g, w);
  }
  pvx::float4* traceRefraction(pvx::float4* r, const pvx::float3* p, const pvx::float3* d, float g,
                               float w) override {
    return answers_.traceRefraction(r, p, d, g, w);
  }
  pvx::float3* occlusion(pvx::float3* r, const pvx::float3* p, const pvx::float3* n,
                         float w) override {
    return answers_.occlusion(r, p, n, w);
  }
  pvx::float3* indirectDiffuse(pvx::float3* r, const pvx::float3* p, const pvx::float3* n,
                               float w) override {
    return answers_.indirectDiffuse(r, p, n, w);
  }
  float random1() override { return next(); }
  pvx::float2* random2(pvx::float2* result) override {
    result->x = next();
    result->y = next();
    return result;
  }
  float noise4(const pvx::float4* p) override { return answers_.noise4(p); }
  float noise3(const pvx::float3* p) override { return answers_.noise3(p); }
  float noise2(const pvx::float2* p) override { return answers_.noise2(p); }
  float cellRandom(float id) override { return answers_.cellRandom(id); }
  float lookup49(const pvx::float3* p) override { return answers_.lookup49(p); }
  pvx::float3* cellVector(pvx::float3* r, const pvx::float3* p) override {
    return answers_.cellVector(r, p);
  }

 private:
  // 24 random bits: uniform in [0, 1), never 1 after rounding to float.
  float next() { return static_cast<float>(engine_() >> 8) * (1.0f / 16777216.0f); }

  tarvo::host::ConstantHost answers_;
  std::mt19937 engine_;
};

const pvx::MaterialShader& pathTracingMaterial(const Shader& shader, int32_t capability,
                                               const char* entry) {
  const BoundShader& bound = *shader.bound;
  if (bound.kind() != pvx::kKindMaterial) {
    raise(PyExc_TypeError, "'" + bound.className() + "' is a " +
                               tarvo::host::kindName(bound.kind()) + "; " + entry +
                               " needs a material");
  }
  const int32_t mask = bound.table().capabilityMask();
  if (!(mask & capability)) {
    raise(PyExc_ValueError, "'" + bound.className() + "' has no " + entry +
                                " entry (capability mask " + std::to_string(mask) + ": " +
                                tarvo::host::joinNames(capabilityNames(mask), ", ") + ")");
  }
  return *bound.material();
}

pvx::float3 incidentDirection(py::handle incident) {
  const auto v = py::array_t<double, py::array::c_style | py::array::forcecast>::ensure(incident);
  if (!v || v.size() != 3) {
    PyErr_Clear();
    raise(PyExc_ValueError, "the incident direction must be 3 numbers (x, y, z)");
  }
  const double* d = v.data();
  const double length = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
  if (!(length > 0.0) || !std::isfinite(length)) {
    raise(PyExc_ValueError, "the incident direction must be a finite non-zero vector");
  }
  return pvx::float3(static_cast<float>(d[0] / length), static_cast<float>(d[1] / length),
                     static_cast<float>(d[2] / length));
}

template <class T>
void writeVarying(pvx::ShadingState* state, int32_t offset, int32_t size, const T& value) {
  if (offset >= 0 && offset + size <= pvx::kVaryingBlockSize && size == sizeof(T)) {
    std::memcpy(state->varying + offset, &value, sizeof(T));
  }
}

// A hit at the origin of the plane z = 0 seen along -incident, with identity transforms and
// every scatter allowed.
pvx::ShadingState localState(const BoundShader& shader, const pvx::float3& incident,
                             int32_t rayKind) {
  pvx::ShadingState s{};
  s.rayOrigin = pvx::float3(incident.x * 5.0f, incident.y * 5.0f, incident.z * 5.0f);
  s.I = pvx::float3(-incident.x, -incident.y, -incident.z);
  s.P = pvx::float3(0.0f);
  s.N = pvx::float3(0.0f, 0.0f, 1.0f);
  s.Ng = s.N;
  s.Po = s.P;
  s.No = s.N;
  s.rasterInfo = {0.5f, 0.5f, 1, 1};
  s.outsideIor = 1.0f;
  s.mediumIor = 1.0f;
  s.worldToObject = pvx::identity4;
  s.objectToWorld = pvx::identity4;
  s.rayKind = rayKind;
  s.frontFacing = incident.z >= 0.0f ? 1 : 0;
  s.Ci = pvx::float4(0.0f, 0.0f, 0.0f, 1.0f);
  for (uint8_t& allowed : s.allowScatter)
    allowed = 1;
  for (const tarvo::host::VaryingRecord& v : shader.table().varyings()) {
    if (v.typeCode == pvx::kVaryingFloat2) {
      writeVarying(&s, v.offset, 8, pvx::float2(0.5f, 0.5f));
    } else if (v.typeCode == pvx::kVaryingFloat3) {
      writeVarying(
          &s, v.offset, 12,
          v.name == "bitangent" ? pvx::float3(0.0f, 1.0f, 0.0f) : pvx::float3(1.0f, 0.0f, 0.0f));
    } else if (v.typeCode == pvx::kVaryingColor4) {
      writeVarying(&s, v.offset, 16, pvx::float4(1.0f, 1.0f, 1.0f, 1.0f));
    }
  }
  return s;
}

py::object namespaceOf(py::dict fields) {
  static const py::handle simpleNamespace =
      py::object(py::module_::import("types").attr("SimpleNamespace")).release();
  return simpleNamespace(**fields);
}

using FloatArray = py::array_t<float, py::array::c_style>;

py::object evaluate(const Shader& shader, py::handle incident, py::handle directions,
                    int32_t rayKind) {
  const pvx::MaterialShader& material = pathTracingMaterial(shader, pvx::kCapEvaluate, "evaluate");
  const pvx::float3 i = incidentDirection(incident);
  const auto dirs =
      py::array_t<float, py::array::c_style | py::array::forcecast>::ensure(directions);
  if (!dirs || dirs.ndim() != 2 || dirs.shape(1) != 3) {
    PyErr_Clear();
    raise(PyExc_ValueError, "directions must be an array of shape (n, 3)");
  }
  const py::ssize_t n = dirs.shape(0);
  FloatArray weight({n, py::ssize_t(3)});
  FloatArray cosine(n);
  py::array_t<bool> ignored(n);
  {
    const float* in = dirs.data();
    float* w = weight.mutable_data();
    float* c = cosine.mutable_data();
    bool* g = ignored.mutable_data();
    pvx::ShadingState state = localState(*shader.bound, i, rayKind);
    py::gil_scoped_release release;
    SamplingHost host(0);
    // evaluate reads the inputs and writes only the outputs reset here.
    for (py::ssize_t k = 0; k < n; ++k) {
      state.scatterDir = pvx::float3(in[3 * k], in[3 * k + 1], in[3 * k + 2]);
      state.scatterWeight = pvx::float3(0.0f);
      state.scatterCos = 0.0f;
      state.ignoreHit = 0;
      material.evaluate(&host, &state);
      w[3 * k] = state.scatterWeight.x;
      w[3 * k + 1] = state.scatterWeight.y;
      w[3 * k + 2] = state.scatterWeight.z;
      c[k] = state.scatterCos;
      g[k] = state.ignoreHit != 0;
    }
  }
  py::dict fields;
  fields["weight"] = weight;
  fields["cos"] = cosine;
  fields["ignored"] = ignored;
  return namespaceOf(fields);
}

py::object scatter(const Shader& shader, py::handle incident, py::ssize_t n, uint64_t seed,
                   int32_t rayKind) {
  const pvx::MaterialShader& material = pathTracingMaterial(shader, pvx::kCapScatter, "scatter");
  const pvx::float3 i = incidentDirection(incident);
  if (n < 0) raise(PyExc_ValueError, "the number of draws must not be negative");
  FloatArray direction({n, py::ssize_t(3)});
  FloatArray weight({n, py::ssize_t(3)});
  FloatArray cosine(n), invPdf(n), pdf(n);
  py::array_t<int32_t> kind(n);
  py::array_t<bool> ignored(n);
  {
    float *d = direction.mutable_data(), *w = weight.mutable_data(), *c = cosine.mutable_data();
    float *v = invPdf.mutable_data(), *p = pdf.mutable_data();
    int32_t* k = kind.mutable_data();
    bool* g = ignored.mutable_data();
    const pvx::ShadingState start = localState(*shader.bound, i, rayKind);
    py::gil_scoped_release release;
    SamplingHost host(seed);
    for (py::ssize_t j = 0; j < n; ++j) {
      pvx::ShadingState state = start;
      material.scatter(&host, &state);
      const bool drawn = state.scatterKind != pvx::kRayNone && !state.ignoreHit;
      d[3 * j] = drawn ? state.scatterDir.x : 0.0f;
      d[3 * j + 1] = drawn ? state.scatterDir.y : 0.0f;
      d[3 * j + 2] = drawn ? state.scatterDir.z : 0.0f;
      w[3 * j] = drawn ? state.scatterWeight.x : 0.0f;
      w[3 * j + 1] = drawn ? state.scatterWeight.y : 0.0f;
      w[3 * j + 2] = drawn ? state.scatterWeight.z : 0.0f;
      c[j] = drawn ? state.scatterCos : 0.0f;
      v[j] = drawn ? state.scatterInvPdf : 0.0f;
      p[j] = drawn && state.scatterInvPdf > 0.0f ? 1.0f / state.scatterInvPdf : 0.0f;
      k[j] = drawn ? state.scatterKind : pvx::kRayNone;
      g[j] = state.ignoreHit != 0;
    }
  }
  py::dict fields;
  fields["direction"] = direction;
  fields["weight"] = weight;
  fields["cos"] = cosine;
  fields["inv_pdf"] = invPdf;
  fields["pdf"] = pdf;
  fields["kind"] = kind;
  fields["ignored"] = ignored;
  return namespaceOf(fields);
}

// ---------------------------------------------------------------------------------------------
// The library and its shaders.

Shader createShader(const Library& library, const std::string& className, py::kwargs params) {
  Shader shader;
  shader.plugin = library.plugin;
  try {
    shader.bound = std::make_unique<BoundShader>(library.plugin->create(className), className);
  } catch (const tarvo::host::PluginError& error) {
    raise(pluginError, error.what());
  }
  // Matrices a class leaves zero are bound to identity, as the scene loader binds an unset
  // transform.
  for (const ParameterRecord& p : shader.bound->table().parameters()) {
    if (p.type != ParamType::Mat3 && p.type != ParamType::Mat4) continue;
    const int n = tarvo::host::floatCount(p.type);
    float values[16];
    std::memcpy(values, shader.bound->address(p.name), sizeof(float) * static_cast<size_t>(n));
    bool zero = true;
    for (int k = 0; k < n; ++k)
      zero = zero && values[k] == 0.0f;
    if (!zero) continue;
    if (p.type == ParamType::Mat3) {
      shader.bound->set(p.name, pvx::identity3);
    } else {
      shader.bound->set(p.name, pvx::identity4);
    }
  }
  for (const auto& [name, value] : params) {
    writeValue(*shader.bound, std::string(py::str(name)), value);
  }
  return shader;
}

py::list classList(const Library& library) {
  py::list out;
  for (const pvx::CatalogueEntry& entry : pvx::kCatalogue) {
    BoundShader shader(library.plugin->create(entry.className), entry.className);
    py::dict c;
    c["class"] = entry.className;
    c["kind"] = tarvo::host::kindName(shader.kind());
    c["capabilityMask"] = shader.table().capabilityMask();
    c["entries"] = capabilityNames(shader.table().capabilityMask());
    c["parameters"] = shader.table().parameters().size();
    c["varyings"] = shader.table().varyings().size();
    out.append(c);
  }
  return out;
}

// A fresh instance of the same class: what its defaults are.
BoundShader defaultsOf(const Shader& shader) {
  return BoundShader(shader.plugin->create(shader.bound->className()), shader.bound->className());
}

py::list parameterList(const Shader& shader) {
  const BoundShader defaults = defaultsOf(shader);
  py::list out;
  for (const ParameterRecord& p : shader.bound->table().parameters()) {
    py::dict d;
    d["name"] = p.name;
    d["type"] = tarvo::host::typeName(p.type);
    d["default"] = readValue(defaults, p);
    d["value"] = readValue(*shader.bound, p);
    out.append(d);
  }
  return out;
}

// The listing tarvo-inspect prints for the class, with the defaults of a fresh instance and the
// parameters' notes.
std::string describe(const Shader& shader) {
  const tarvo::host::BoundShader& fresh = defaultsOf(shader);
  return tarvo::host::classListing(
      fresh, [&](const std::string& name) { return pvx::noteLine(fresh.className(), name); },
      pvx::classSummary(fresh.className()));
}

// ---------------------------------------------------------------------------------------------
// Rendering.

// The library module-level calls use, loaded on first use and kept to the end of the process.
const Library& defaultLibrary() {
  static const Library* library = [] {
    auto* loaded = new Library;
    try {
      loaded->plugin = std::make_shared<PluginLibrary>(defaultLibraryPath());
    } catch (...) {
      delete loaded;
      throw;
    }
    return loaded;
  }();
  return *library;
}

#if defined(TARVO_PYTHON_RENDER)
py::array render(const Library& library, py::handle sceneSource, std::optional<int64_t> width,
                 std::optional<int64_t> height, std::optional<int64_t> samples,
                 std::optional<std::string> mode, std::optional<uint64_t> seed,
                 std::optional<int64_t> threads, std::optional<py::dict> limitValues) {
  if (mode && *mode != "shade" && *mode != "path") {
    raise(PyExc_ValueError, "mode must be 'shade' or 'path', not '" + mode->substr(0, 100) + "'");
  }
  for (const auto& [name, value] :
       {std::pair{"width", width}, std::pair{"height", height}, std::pair{"samples", samples}}) {
    if (value && *value <= 0) {
      raise(PyExc_ValueError,
            std::string(name) + " must be positive, not " + std::to_string(*value));
    }
  }
  if (threads && *threads < 0) raise(PyExc_ValueError, "threads must not be negative");
  // The ceilings of tarvo-render, moved by name as its --limit moves them.
  tarvo::render::Limits limits;
  if (limitValues) {
    for (const auto& [name, value] : *limitValues) {
      try {
        limits.set(py::str(name).cast<std::string>() + "=" + py::str(value).cast<std::string>());
      } catch (const std::invalid_argument& e) {
        raise(PyExc_ValueError, e.what());
      }
    }
  }

  std::unique_ptr<tarvo::render::Scene> scene;
  try {
    if (py::isinstance<py::dict>(sceneSource)) {
      const std::string text =
          py::str(py::module_::import("json").attr("dumps")(sceneSource)).cast<std::string>();
      const std::string folder = py::str(py::module_::import("os").attr("getcwd")());
      scene = tarvo::render::loadSceneText(text, "<scene dict>", folder, library.plugin, limits);
    } else {
      const std::string path = py::str(py::module_::import("os").attr("fspath")(sceneSource));
      scene = tarvo::render::loadScene(path, library.plugin, limits);
    }
  } catch (const tarvo::host::PluginError& error) {
    raise(sceneError, error.what());
  } catch (const tarvo::host::ParameterError& error) {
    raise(sceneError, error.what());
  }
  if (!scene->warnings.empty()) {
    const py::object warn = py::module_::import("warnings").attr("warn");
    for (const std::string& warning : scene->warnings)
      warn(warning);
  }
  // Only what the call gives replaces the scene's settings (its mode and seed among them).
  tarvo::render::RenderRequest request;
  request.width = width.value_or(0);
  request.height = height.value_or(0);
  request.samples = samples.value_or(0);
  request.threads = threads.value_or(-1);
  request.seed = seed;
  if (mode) {
    request.mode =
        *mode == "path" ? tarvo::render::RenderMode::Path : tarvo::render::RenderMode::Shade;
  }
  try {
    tarvo::render::applyRequest(*scene, request, limits);
    tarvo::render::checkRenderMemory(*scene, limits);
  } catch (const tarvo::render::RenderRefused& e) {
    raise(PyExc_ValueError, e.what());
  }

  // The render runs on its own thread; this one waits without the GIL and takes it back now and
  // then to let Python see a pending Ctrl-C, which cancels the render.
  std::atomic<bool> cancel{false};
  tarvo::render::RenderStats stats;
  tarvo::render::Film film;
  std::vector<float> pixels;
  bool interrupted = false;
  {
    py::gil_scoped_release release;
    std::exception_ptr failure;
    std::promise<void> finished;
    std::future<void> done = finished.get_future();
    std::thread worker([&] {
      try {
        // Image files read again during the render speak through their libraries on the
        // standard error; a failed read is counted and warned of below.
        tarvo::render::QuietStandardError quiet;
        film = tarvo::render::renderScene(*scene, &stats, &cancel);
        if (!stats.interrupted) pixels = tarvo::render::linearPixels(film, *scene);
      } catch (...) {
        failure = std::current_exception();
      }
      finished.set_value();
    });
    while (done.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
      py::gil_scoped_acquire acquire;
      if (PyErr_CheckSignals() != 0) {
        cancel = true;
        interrupted = true;
        break;
      }
    }
    worker.join();
    if (failure && !interrupted) std::rethrow_exception(failure);
  }
  if (interrupted) throw py::error_already_set();  // the KeyboardInterrupt Python raised
  for (const std::string& path : scene->textures().unreadable()) {
    py::module_::import("warnings")
        .attr("warn")("the image '" + path +
                      "' could not be read again during the render (it changed on disk since it "
                      "was loaded); its lookups gave black");
  }
  py::array_t<float> image({py::ssize_t(film.height), py::ssize_t(film.width), py::ssize_t(4)});
  std::memcpy(image.mutable_data(), pixels.data(), pixels.size() * sizeof(float));
  return std::move(image);
}
#endif

}  // namespace

PYBIND11_MODULE(tarvo, m) {
  m.doc() =
      "The tarvoShaders library from Python: list classes, create shaders and set their "
      "parameters by name, evaluate and sample materials over NumPy arrays of directions in the "
      "local frame (normal +z, tangent +x), and render scenes into arrays.";

  pluginError =
      py::register_exception<tarvo::host::PluginError>(m, "PluginError", PyExc_RuntimeError).ptr();
  parameterError =
      py::register_exception<tarvo::host::ParameterError>(m, "ParameterError", PyExc_LookupError)
          .ptr();
#if defined(TARVO_PYTHON_RENDER)
  sceneError =
      py::register_exception<tarvo::render::SceneError>(m, "SceneError", PyExc_ValueError).ptr();
#endif
  m.attr("API_VERSION") = pvx::kApiVersion;

  py::class_<Shader>(m, "Shader",
                     "A shader instance; parameters are read and set by their declared names: "
                     "shader['u_roughValue'] = 0.2")
      .def_property_readonly("class_name", [](const Shader& s) { return s.bound->className(); })
      .def_property_readonly("kind",
                             [](const Shader& s) { return tarvo::host::kindName(s.bound->kind()); })
      .def_property_readonly("capability_mask",
                             [](const Shader& s) { return s.bound->table().capabilityMask(); })
      .def_property_readonly(
          "entries",
          [](const Shader& s) { return capabilityNames(s.bound->table().capabilityMask()); })
      .def("__getitem__",
           [](const Shader& s, const std::string& name) {
             return readValue(*s.bound, findParameter(*s.bound, name));
           })
      .def("__setitem__", [](Shader& s, const std::string& name,
                             py::handle value) { writeValue(*s.bound, name, value); })
      .def("__contains__",
           [](const Shader& s, const std::string& name) {
             return s.bound->table().find(name) != nullptr;
           })
      .def(
          "set",
          [](Shader& s, py::kwargs params) {
            for (const auto& [name, value] : params)
              writeValue(*s.bound, std::string(py::str(name)), value);
          },
          "Sets parameters by keyword: shader.set(u_roughValue=0.2)")
      .def("names", [](const Shader& s) { return s.bound->table().names(); })
      .def("parameters", &parameterList,
           "Parameters in declaration order: name, type, default and current value")
      .def("varyings",
           [](const Shader& s) {
             py::list out;
             for (const auto& v : s.bound->table().varyings()) {
               py::dict d;
               d["name"] = v.name;
               d["type"] = varyingTypeName(v.typeCode);
               d["offset"] = v.offset;
               d["afterParameter"] = v.position;
               out.append(d);
             }
             return out;
           })
      .def("describe", &describe, "The class's parameters and defaults as tarvo-inspect lists them")
      .def("__repr__", [](const Shader& s) {
        return "<tarvo.Shader " + s.bound->className() + " (" +
               tarvo::host::kindName(s.bound->kind()) + ")>";
      });

  py::class_<Library>(m, "Library", "The loaded shader library")
      .def(py::init([](std::optional<std::string> path) {
             Library library;
             try {
               library.plugin =
                   std::make_shared<PluginLibrary>(path ? *path : defaultLibraryPath());
             } catch (const tarvo::host::PluginError& error) {
               raise(pluginError, error.what());
             }
             return library;
           }),
           py::arg("path") = py::none(),
           "Loads the library: the given file, else $TARVO_SHADERS_LIBRARY, else the one beside "
           "this module or the installed one")
      .def_property_readonly("path", [](const Library& l) { return l.plugin->path(); })
      .def("classes", &classList,
           "Every catalogue class with its kind, capability mask, entry points and numbers of "
           "parameters and varyings")
      .def("create", &createShader, py::arg("name"),
           "A new instance of a class with its defaults; keyword arguments set parameters")
#if defined(TARVO_PYTHON_RENDER)
      .def("render", &render, py::arg("scene"), py::arg("width") = py::none(),
           py::arg("height") = py::none(), py::arg("samples") = py::none(),
           py::arg("mode") = py::none(), py::arg("seed") = py::none(),
           py::arg("threads") = py::none(), py::arg("limits") = py::none(),
           "Renders a scene file (path) or a dict in the scene-file format into a float32 "
           "H x W x 4 array of linear RGBA, the pixels tarvo-render writes into an EXR; what is "
           "not given comes from the scene, and limits moves tarvo-render's ceilings by name "
           "({'pixels': 1000000})")
#endif
      .def("__repr__", [](const Library& l) { return "<tarvo.Library " + l.plugin->path() + ">"; });

#if defined(TARVO_PYTHON_RENDER)
  m.def(
      "render",
      [](py::handle scene, std::optional<int64_t> width, std::optional<int64_t> height,
         std::optional<int64_t> samples, std::optional<std::string> mode,
         std::optional<uint64_t> seed, std::optional<int64_t> threads,
         std::optional<py::dict> limits) {
        return render(defaultLibrary(), scene, width, height, samples, mode, seed, threads, limits);
      },
      py::arg("scene"), py::arg("width") = py::none(), py::arg("height") = py::none(),
      py::arg("samples") = py::none(), py::arg("mode") = py::none(), py::arg("seed") = py::none(),
      py::arg("threads") = py::none(), py::arg("limits") = py::none(),
      "Library().render(...) with the default library");
#endif
  m.def("evaluate", &evaluate, py::arg("shader"), py::arg("incident"), py::arg("directions"),
        py::arg("ray_kind") = int32_t(pvx::kRayCamera),
        "Evaluates a material for each row of directions (n x 3, local frame) seen from the "
        "incident direction (towards where the ray came from). Returns weight (n x 3), cos (n) "
        "and ignored (n).");
  m.def("scatter", &scatter, py::arg("shader"), py::arg("incident"), py::arg("n"),
        py::arg("seed") = 0, py::arg("ray_kind") = int32_t(pvx::kRayCamera),
        "Draws n directions with the material's scatter entry. Returns direction (n x 3; zero "
        "where no ray was drawn), weight (n x 3), cos, inv_pdf, pdf (the density per solid "
        "angle the draw reports), kind (0: no ray) and ignored.");
}

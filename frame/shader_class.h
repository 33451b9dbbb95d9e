// The machinery every shader class is built from.
//
// A class's parameter description is one list macro taking two callbacks:
//   PARAM(Type, name, default[, "meaning"[, "range"[, "unit"]]])
//                                a typed parameter. Type is the binder type (Bool, Int, Float,
//                                Float2, Color, ColorAlpha, Mat3, Mat4, Texture1D, Texture2D,
//                                TextureCube), name is both the member and the parameter name,
//                                default an expression of the member's type.
//   VARYING(Type, name, offset[, "meaning"[, "range"[, "unit"]]])
//                                a varying declaration at its place in the sequence; Type is
//                                Float2, Float3 or Color4, offset relative to the varying block.
// TARVO_PARAMETER_BLOCK(Block, LIST) turns the list into the parameter struct (members with
// their defaults, so construction sets the defaults) and the declaration table, which drives
// declareParameters; copyParameters assigns the struct. The list is the only place a parameter
// is named. Shared groups (the AO and masking block, the clipping pair) are list macros too,
// expanded inside each class's list.
//
// The trailing strings are the parameter's note (frame/parameter_note.h): what it means, its
// useful range or the values of a mode, its unit. They are optional, so a line with three
// arguments still compiles (GCC, clang and mingw accept an empty variadic part without
// -pedantic). The notes are data of the library build, not of its binary interface: the
// description also yields ParameterDescription<Block>::notes, an inline constexpr table that
// nothing in the shared library uses, so the library carries none of it and declares to the
// binder exactly the names and types it always did. The tools and tests read the notes from
// tarvoShaders_notes, a static library compiled from the same class files with
// TARVO_PARAMETER_NOTES defined: there TARVO_SHADER_FACTORY yields the class's note table
// instead of its factory, so no shading code is emitted, and notes/parameter_notes.h looks a
// class's table up by name.
//
// A class then derives from ShaderClass<Self, Interface, Block>, names itself with kClassName,
// overrides the entry points it implements, and registers with TARVO_SHADER_FACTORY. Its
// capability mask comes from the catalogue.
#ifndef TARVO_FRAME_SHADER_CLASS_H
#define TARVO_FRAME_SHADER_CLASS_H

#include <cstddef>
#include <cstdint>
#include <new>
#include <string_view>
#include <type_traits>

#include "frame/parameter_note.h"
#include "tarvo/catalogue.h"
#include "tarvo/shader.h"

namespace pvx {

enum class ParamType : uint8_t {
  End,
  Bool,
  Int,
  Float,
  Float2,
  Color,
  ColorAlpha,
  Mat3,
  Mat4,
  Texture1D,
  Texture2D,
  TextureCube,
  Varying,
};

// Member types of the binder types.
namespace param_storage {
using Bool = bool;
using Int = int32_t;
using Float = float;
using Float2 = float2;
using Color = float3;
using ColorAlpha = float4;
using Mat3 = mat3;
using Mat4 = mat4;
using Texture1D = ::pvx::Texture1D;
using Texture2D = ::pvx::Texture2D;
using TextureCube = ::pvx::TextureCube;
}  // namespace param_storage

namespace varying_code {
constexpr int32_t Float2 = kVaryingFloat2;
constexpr int32_t Float3 = kVaryingFloat3;
constexpr int32_t Color4 = kVaryingColor4;
}  // namespace varying_code

// One declaration: a parameter (offset of its member in the parameter block) or a varying
// (offset in the state's varying block and its type code). The table ends with an End entry.
struct ParameterEntry {
  ParamType type;
  const char* name;
  uint32_t offset;
  int32_t varyingType;
};

template <class Block>
struct ParameterDescription;

#define TARVO_PB_MEMBER_(Type, name, def, ...) ::pvx::param_storage::Type name = def;
#define TARVO_PB_NO_MEMBER_(Type, name, offset, ...)
#define TARVO_PB_ENTRY_(Type, name, def, ...) \
  ::pvx::ParameterEntry{::pvx::ParamType::Type, #name, uint32_t(offsetof(BlockType, name)), 0},
#define TARVO_PB_VARYING_ENTRY_(Type, name, offset, ...)                    \
  ::pvx::ParameterEntry{::pvx::ParamType::Varying, #name, uint32_t(offset), \
                        ::pvx::varying_code::Type},
#define TARVO_PB_NOTE_(Type, name, def, ...) \
  ::pvx::ParameterNote{#name, ::pvx::NoteText{__VA_ARGS__}},

#define TARVO_PARAMETER_BLOCK(Block, LIST)                                                         \
  struct Block {                                                                                   \
    LIST(TARVO_PB_MEMBER_, TARVO_PB_NO_MEMBER_)                                                    \
  };                                                                                               \
  template <>                                                                                      \
  struct ParameterDescription<Block> {                                                             \
    using BlockType = Block;                                                                       \
    static constexpr ::pvx::ParameterEntry entries[] = {                                           \
        LIST(TARVO_PB_ENTRY_, TARVO_PB_VARYING_ENTRY_)::pvx::ParameterEntry{::pvx::ParamType::End, \
                                                                            nullptr, 0, 0}};       \
    static constexpr ::pvx::ParameterNote notes[] = {                                              \
        LIST(TARVO_PB_NOTE_, TARVO_PB_NOTE_)::pvx::ParameterNote{nullptr, {}}};                    \
  };                                                                                               \
  static_assert(std::is_standard_layout_v<Block> && std::is_trivially_copyable_v<Block>,           \
                #Block " must be a plain parameter block")

// Offset of a declared varying in the varying block, or -1 when the class does not declare it.
template <class Block>
constexpr int32_t varyingOffset(std::string_view name) {
  for (const ParameterEntry* e = ParameterDescription<Block>::entries; e->type != ParamType::End;
       ++e) {
    if (e->type == ParamType::Varying && name == e->name) return static_cast<int32_t>(e->offset);
  }
  return -1;
}

// True when the class declares a parameter (not a varying) of this name: the shared steps skip
// what a class without, say, the clipping pair or the common tint does not have.
template <class Block>
constexpr bool declaresParameter(std::string_view name) {
  for (const ParameterEntry* e = ParameterDescription<Block>::entries; e->type != ParamType::End;
       ++e) {
    if (e->type != ParamType::Varying && name == e->name) return true;
  }
  return false;
}

// The same for a varying the class must declare: a missing one is a compile error where the
// offset is a constant, never a read outside the varying block.
template <class Block>
constexpr int32_t requiredVaryingOffset(std::string_view name) {
  const int32_t offset = varyingOffset<Block>(name);
  return offset < 0 ? throw "the parameter block does not declare this varying" : offset;
}

// Number of typed parameter declarations (varyings not counted).
template <class Block>
constexpr int parameterCount() {
  int n = 0;
  for (const ParameterEntry* e = ParameterDescription<Block>::entries; e->type != ParamType::End;
       ++e) {
    if (e->type != ParamType::Varying) ++n;
  }
  return n;
}

// Makes the binder calls of one class: begin, then the table in order.
void declareParameterBlock(IParameterBinder* binder, IShaderBase* shader, unsigned char* block,
                           const ParameterEntry* entries, int32_t capabilityMask);

// inline: an explicit specialisation is an ordinary variable, defined once per translation unit
// otherwise (clang emits each as a strong symbol and the link fails).
template <class Interface>
inline constexpr ShaderKind kInterfaceKind = kKindMaterial;
template <>
inline constexpr ShaderKind kInterfaceKind<LightShader> = kKindLight;
template <>
inline constexpr ShaderKind kInterfaceKind<EnvironmentShader> = kKindEnvironment;

template <class Self, class Interface, class Block>
class ShaderClass : public Interface, public Block {
 public:
  using Parameters = Block;
  using InterfaceType = Interface;

  static constexpr int32_t capabilityMask() {
    return kCatalogue[findCatalogueIndex(Self::kClassName)].capabilityMask;
  }

  // Slot 0: the explicit deleting-destroy entry.
  void* destroy(unsigned flags) override {
    Self* self = static_cast<Self*>(this);
    self->~Self();
    if (flags & 1u) ::operator delete(static_cast<void*>(self));
    return self;
  }

  void declareParameters(IParameterBinder* binder) override {
    declareParameterBlock(binder, this, reinterpret_cast<unsigned char*>(static_cast<Block*>(this)),
                          ParameterDescription<Block>::entries, capabilityMask());
  }

  void copyParameters(const IShaderBase* other) override {
    if (other == nullptr || other == this) return;
    static_cast<Block&>(*this) = static_cast<const Block&>(static_cast<const Self&>(*other));
  }

  const Block& parameters() const { return *this; }

 protected:
  ~ShaderClass() = default;
};

// Allocates with the global operator new; null, and nothing constructed, when that fails.
template <class T>
IShaderBase* newShader() noexcept {
  void* storage = nullptr;
  try {
    storage = ::operator new(sizeof(T));
  } catch (...) {
    return nullptr;
  }
  return new (storage) T();
}

// Defines the factory the catalogue's `<Class>_create` export calls, and checks the class
// against its catalogue entry. In the notes build it defines the class's note lookup instead.
#define TARVO_SHADER_CHECKS_(Class)                                                            \
  static_assert(std::string_view(Class::kClassName) == #Class, #Class ": kClassName differs"); \
  static_assert(::pvx::findCatalogueIndex(#Class) >= 0, #Class " is not catalogued");          \
  static_assert(::pvx::kCatalogue[::pvx::findCatalogueIndex(#Class)].kind ==                   \
                    ::pvx::kInterfaceKind<Class::InterfaceType>,                               \
                #Class ": kind differs from the catalogue");
#if defined(TARVO_PARAMETER_NOTES)
#define TARVO_SHADER_FACTORY(Class)                               \
  TARVO_SHADER_CHECKS_(Class)                                     \
  const ::pvx::ParameterNote* notes_##Class() noexcept {          \
    return ::pvx::ParameterDescription<Class::Parameters>::notes; \
  }
#else
#define TARVO_SHADER_FACTORY(Class)        \
  TARVO_SHADER_CHECKS_(Class)              \
  IShaderBase* create_##Class() noexcept { \
    return ::pvx::newShader<Class>();      \
  }
#endif

}  // namespace pvx

#endif  // TARVO_FRAME_SHADER_CLASS_H

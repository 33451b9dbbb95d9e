// Compiler and platform glue shared by the library and its hosts.
//
// ABI rules of this library (they hold on every compiler and target we build):
//
// * Virtual slots hold literally. A shader's slot 0 is an explicit deleting-destroy entry
//   `void* destroy(unsigned flags)`, not a C++ virtual destructor: the Itanium ABI (GCC, Clang)
//   emits two destructor slots and would move every later slot, while MSVC emits one scalar
//   deleting destructor with exactly this signature. So an MSVC-compiled host's `delete` and a
//   host that calls slot N by index both work. Hosts use pvx::destroyShader / pvx::ShaderDeleter.
// * Host-side interfaces (binder, host context, textures) declare every slot up to the highest
//   one used, unused ones as named placeholders, with no virtual destructor and no overloaded
//   virtual names (MSVC groups overloads), so a slot index equals its declaration order.
// * On 32-bit Windows member functions use MSVC's thiscall (`this` in ECX, callee pops the
//   arguments). mingw-w64's GCC does this by default for member functions; the build checks the
//   generated code. TARVO_THISCALL spells the convention for plain function pointers that call
//   a slot by index.
// * Records shared with the host (shading state, light-sample record, texture handle) have fixed
//   byte layouts that are checked by static_assert in the headers that define them.
#ifndef TARVO_ABI_H
#define TARVO_ABI_H

#include <cstdint>

#if defined(_WIN32)
#define TARVO_EXPORT __declspec(dllexport)
#else
#define TARVO_EXPORT __attribute__((visibility("default")))
#endif

#if defined(_WIN32) && (defined(__i386__) || defined(_M_IX86))
#if defined(_MSC_VER) && !defined(__clang__)
#define TARVO_THISCALL __thiscall
#else
#define TARVO_THISCALL __attribute__((thiscall))
#endif
#else
#define TARVO_THISCALL
#endif

#define TARVO_POINTER_BITS (sizeof(void*) * 8)

#endif  // TARVO_ABI_H

// Compiled to assembly for 32-bit Windows: a binder implemented here and a host-side call through
// a slot must both use MSVC's thiscall, `this` in ECX and the callee popping its stack arguments.
#include "tarvo/tarvo.h"

int probeSink;

class ProbeBinder final : public pvx::IParameterBinder {
 public:
  void begin(pvx::IShaderBase* shader, int32_t mask) override;
  void declareBool(pvx::IShaderBase*, const char*, bool*) override {}
  void declareInt(pvx::IShaderBase*, const char*, int32_t*) override {}
  void declareFloat(pvx::IShaderBase*, const char*, float*) override {}
  void declareFloat2(pvx::IShaderBase*, const char*, pvx::float2*) override {}
  void declareColor(pvx::IShaderBase*, const char*, pvx::float3*) override {}
  void declareColorAlpha(pvx::IShaderBase*, const char*, pvx::float4*) override {}
  void declareMat3(pvx::IShaderBase*, const char*, pvx::mat3*) override {}
  void declareMat4(pvx::IShaderBase*, const char*, pvx::mat4*) override {}
  void declareTexture1D(pvx::IShaderBase*, const char*, pvx::Texture1D*) override {}
  void declareTexture2D(pvx::IShaderBase*, const char*, pvx::Texture2D*) override {}
  void declareTextureCube(pvx::IShaderBase*, const char*, pvx::TextureCube*) override {}
  void declareVarying(pvx::IShaderBase*, int32_t, const char*, int32_t) override {}
  int32_t lastMask = 0;
};

// Two stack arguments after `this`: a thiscall callee ends with `ret $8`.
void ProbeBinder::begin(pvx::IShaderBase* shader, int32_t mask) {
  lastMask = mask + (shader != nullptr ? 1 : 0);
}

// A host calling slot 1 of a binder it did not compile: `this` travels in ECX.
void probeCallBegin(pvx::IParameterBinder* binder, pvx::IShaderBase* shader) {
  binder->begin(shader, 15);
}

// The binder protocol, driven by a class's declaration table.
#include "frame/shader_class.h"

namespace pvx {

void declareParameterBlock(IParameterBinder* binder, IShaderBase* shader, unsigned char* block,
                           const ParameterEntry* entries, int32_t capabilityMask) {
  binder->begin(shader, capabilityMask);
  for (const ParameterEntry* e = entries; e->type != ParamType::End; ++e) {
    void* member = block + e->offset;
    switch (e->type) {
      case ParamType::Bool:
        binder->declareBool(shader, e->name, static_cast<bool*>(member));
        break;
      case ParamType::Int:
        binder->declareInt(shader, e->name, static_cast<int32_t*>(member));
        break;
      case ParamType::Float:
        binder->declareFloat(shader, e->name, static_cast<float*>(member));
        break;
      case ParamType::Float2:
        binder->declareFloat2(shader, e->name, static_cast<float2*>(member));
        break;
      case ParamType::Color:
        binder->declareColor(shader, e->name, static_cast<float3*>(member));
        break;
      case ParamType::ColorAlpha:
        binder->declareColorAlpha(shader, e->name, static_cast<float4*>(member));
        break;
      case ParamType::Mat3:
        binder->declareMat3(shader, e->name, static_cast<mat3*>(member));
        break;
      case ParamType::Mat4:
        binder->declareMat4(shader, e->name, static_cast<mat4*>(member));
        break;
      case ParamType::Texture1D:
        binder->declareTexture1D(shader, e->name, static_cast<Texture1D*>(member));
        break;
      case ParamType::Texture2D:
        binder->declareTexture2D(shader, e->name, static_cast<Texture2D*>(member));
        break;
      case ParamType::TextureCube:
        binder->declareTextureCube(shader, e->name, static_cast<TextureCube*>(member));
        break;
      case ParamType::Varying:
        binder->declareVarying(shader, e->varyingType, e->name, static_cast<int32_t>(e->offset));
        break;
      case ParamType::End:
        break;
    }
  }
}

}  // namespace pvx

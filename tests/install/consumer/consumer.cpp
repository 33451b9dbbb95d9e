// A host built against the installed headers and package.
#include <tarvo/tarvo.h>

#include <cstdio>

extern "C" pvx::IShaderBase* qvSpotLight_create();
extern "C" uint32_t qvSpotLight_getAPIVersion();

int main() {
  pvx::ShaderPtr light(qvSpotLight_create());
  std::printf("qvSpotLight: API %u, kind %d\n", qvSpotLight_getAPIVersion(),
              static_cast<int>(light->getKind()));
  return light->getKind() == pvx::kKindLight ? 0 : 1;
}

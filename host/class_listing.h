// How the tools show a shader class: the entry names of a capability mask, a parameter's value
// as text, and the listing of one class's parameters and varyings in declaration order.
#ifndef TARVO_HOST_CLASS_LISTING_H
#define TARVO_HOST_CLASS_LISTING_H

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "host/parameter_table.h"

namespace tarvo::host {

// "shade", "shadow", "evaluate", "scatter", "light", "environment" for the bits set.
std::vector<std::string> capabilityNames(int32_t mask);

// The parts with the separator between them.
std::string joinNames(const std::vector<std::string>& parts, const char* separator);

// "float2", "float3" or "color4" for a varying type code ("unknown" for anything else).
const char* varyingTypeName(int32_t code);

// The shortest text that reads back as the same float.
std::string formatFloat(float value);

// A parameter's current value: "true", "3", "0.25", "(1, 0.5, 0)", "identity" for an identity
// matrix, "bound" or "unbound" for a texture.
std::string valueText(const BoundShader& shader, const ParameterRecord& parameter);

// The class's summary line when one is given, the class line (kind, capability mask and
// entries), the counts, then one line per parameter (number, type, name, value) with the
// varyings between them where they were declared. With `noteOf`, each declaration is followed
// by an indented line of what it gives for the name (its meaning, range and unit), when that is
// not empty.
std::string classListing(const BoundShader& shader,
                         const std::function<std::string(const std::string&)>& noteOf = {},
                         const char* summary = nullptr);

}  // namespace tarvo::host

#endif  // TARVO_HOST_CLASS_LISTING_H

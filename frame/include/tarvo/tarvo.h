// Everything a host needs to load tarvoShaders and drive its shaders.
#ifndef TARVO_TARVO_H
#define TARVO_TARVO_H

#include "tarvo/abi.h"
#include "tarvo/catalogue.h"
#include "tarvo/host_services.h"
#include "tarvo/parameter_binder.h"
#include "tarvo/shader.h"
#include "tarvo/shading_state.h"
#include "tarvo/types.h"

#endif  // TARVO_TARVO_H

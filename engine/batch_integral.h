// The integral of the batch kernel for one instruction set each: centiles[k]
// from z[k] for k < count. Each lives in a translation unit of its own,
// compiled for its instruction set; callers choose by what the processor runs.
#pragma once

#include <cstddef>

namespace wrenfield::engine::lanes {

void integratePortable(const double* z, double* centiles, std::size_t count);
#if defined(WRENFIELD_X86_64_LANES)
void integrateSse2(const double* z, double* centiles, std::size_t count);
void integrateAvx2(const double* z, double* centiles, std::size_t count);
void integrateAvx512(const double* z, double* centiles, std::size_t count);
#endif

}  // namespace wrenfield::engine::lanes

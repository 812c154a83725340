// Eight lanes: compiled with -mavx512f; run only where the processor has
// AVX-512 F.
#include <immintrin.h>

#include "engine/batch_integral.h"
#include "engine/batch_integral_lanes.h"

// The C library's vector exponential and error function for 8 lanes (the
// x86-64 vector function ABI names of exp and erf), from libmvec.
extern "C" __m512d _ZGVeN8v_exp(__m512d);
extern "C" __m512d _ZGVeN8v_erf(__m512d);

namespace wrenfield::engine::lanes {

namespace {
typedef double Lanes __attribute__((vector_size(64)));
Lanes exponential(Lanes x)
{
    return _ZGVeN8v_exp(x);
}
Lanes errorFunction(Lanes x)
{
    return _ZGVeN8v_erf(x);
}
}  // namespace

void integrateAvx512(const double* z, double* centiles, std::size_t count)
{
    integrateLanes<Lanes, exponential, errorFunction>(z, centiles, count);
}

}  // namespace wrenfield::engine::lanes

// Two lanes: every x86-64 processor.
#include <immintrin.h>

#include "engine/batch_integral.h"
#include "engine/batch_integral_lanes.h"

// The C library's vector exponential and error function for 2 lanes (the
// x86-64 vector function ABI names of exp and erf), from libmvec.
extern "C" __m128d _ZGVbN2v_exp(__m128d);
extern "C" __m128d _ZGVbN2v_erf(__m128d);

namespace wrenfield::engine::lanes {

namespace {
typedef double Lanes __attribute__((vector_size(16)));
Lanes exponential(Lanes x)
{
    return _ZGVbN2v_exp(x);
}
Lanes errorFunction(Lanes x)
{
    return _ZGVbN2v_erf(x);
}
}  // namespace

void integrateSse2(const double* z, double* centiles, std::size_t count)
{
    integrateLanes<Lanes, exponential, errorFunction>(z, centiles, count);
}

}  // namespace wrenfield::engine::lanes

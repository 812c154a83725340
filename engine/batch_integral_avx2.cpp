// Four lanes: compiled with -mavx2; run only where the processor has AVX2 and
// FMA.
#include <immintrin.h>

#include "engine/batch_integral.h"
#include "engine/batch_integral_lanes.h"

// The C library's vector exponential and error function for 4 lanes (the
// x86-64 vector function ABI names of exp and erf), from libmvec.
extern "C" __m256d _ZGVdN4v_exp(__m256d);
extern "C" __m256d _ZGVdN4v_erf(__m256d);

namespace wrenfield::engine::lanes {

namespace {
typedef double Lanes __attribute__((vector_size(32)));
Lanes exponential(Lanes x)
{
    return _ZGVdN4v_exp(x);
}
Lanes errorFunction(Lanes x)
{
    return _ZGVdN4v_erf(x);
}
}  // namespace

void integrateAvx2(const double* z, double* centiles, std::size_t count)
{
    integrateLanes<Lanes, exponential, errorFunction>(z, centiles, count);
}

}  // namespace wrenfield::engine::lanes

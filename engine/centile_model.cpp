#include "engine/centile_model.h"

#include "engine/checked_arithmetic.h"
#include "engine/model_formulas.h"

namespace wrenfield::engine {

using checked::add;
using checked::div;
using checked::mul;
using checked::sub;

double centileFromZ(double z)
{
    bool negative = z < 0;
    if (negative)
        z = -z;
    if (z > kLargestIntegratedDeviation) {
        // The full-width slices would square their widest midpoint; where that
        // overflows, the overflow is still the outcome.
        double wideH = div(z, kSliceDivisor);
        double widest = sub(mul(kIntegrationSlices, wideH), div(wideH, 2));
        mul(-widest, widest);
        z = kLargestIntegratedDeviation;
    }
    double h = div(z, kSliceDivisor);
    double i = 0;
    double s = 0;
    while (i < kIntegrationSlices) {
        i = add(i, 1);
        double x = sub(mul(i, h), div(h, 2));
        double f = div(checked::exp(div(mul(-x, x), 2)), kDensityDivisor);
        s = add(s, mul(f, h));
    }
    double p = add(s, 0.5);
    if (negative)
        p = sub(1, p);
    return mul(100, p);
}

Variant centile(const CoefficientSet& set, Variant& bwt, Variant& gest, Variant& wt, Variant& ht, Variant& sex,
                Variant& eth, Variant& par, CentileDetail* detail)
{
    // 1. Missing input: all seven are compared before the decision.
    bool missing = false;
    for (const Variant* argument : {&bwt, &gest, &wt, &ht, &sex, &eth, &par})
        missing |= argument->equalsEmptyString();
    if (missing)
        return Variant(std::string());

    // 2. Term weight, each term on its own, then summed in a fixed order.
    double w = sub(wt.number(), set.weightCentre);
    double h = 0;
    if (set.centredHeightWriteBack) {
        ht.store(sub(ht.number(), set.heightCentre));
        h = ht.number();
    }
    double weightPart = weightTerm<CheckedSteps>(set, w);
    if (!set.centredHeightWriteBack)
        h = sub(ht.number(), set.heightCentre);
    double heightPart = heightTerm<CheckedSteps>(set, h);
    double sexPart = sexTerm(set, sex);
    double ethnicPart = ethnicTerm(set, eth);
    double parityPart = parityTerm(set, par);
    double tw = termWeightSum<CheckedSteps>(set, weightPart, heightPart, sexPart, ethnicPart, parityPart);

    // 3. Clamp.
    tw = clampTermWeight(tw);

    // 4. Gestation in weeks, written back and read back.
    gest.store(div(gest.number(), 7));
    double g = gest.number();

    // 5. Gestation proportion.
    double p = gestationProportion<CheckedSteps>(g);

    // 6. Expected weight, spread, deviation.
    double e = mul(p, tw);
    double s = mul(e, set.coefficientOfVariation);
    double z = div(sub(bwt.number(), e), s);

    // 7, 8. Normal probability below z, in percent.
    double result = centileFromZ(z);
    if (detail)
        *detail = {tw, g, p, e, s, z, result};
    return Variant(result);
}

CentileDetail computeCentile(Population population, const CentileInputs& inputs)
{
    Variant bwt(inputs.bwt), gest(inputs.gestDays), wt(inputs.wt), ht(inputs.ht);
    Variant sex(inputs.sex), eth(inputs.eth), par(inputs.par);
    CentileDetail detail;
    centile(coefficients(population), bwt, gest, wt, ht, sex, eth, par, &detail);
    return detail;
}

}  // namespace wrenfield::engine

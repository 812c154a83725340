#include "engine/reading.h"

#include "engine/model_formulas.h"

namespace wrenfield::engine {

namespace {

// Fills `reading` (its flags' room reused) from the centile and its detail.
void classify(Population population, const CentileInputs& inputs, const CentileDetail& detail,
              const BandThresholds& thresholds, Reading& reading)
{
    reading.population = population;
    reading.inputs = inputs;
    reading.detail = detail;
    reading.band = bandOf(detail.centile, thresholds);
    reading.flags.clear();
    addInputFlags(population, inputs, reading.flags);
    addCentileFlags(detail.centile, reading.flags);
}

Reading classified(Population population, const CentileInputs& inputs, const CentileDetail& detail,
                   const BandThresholds& thresholds)
{
    Reading reading;
    classify(population, inputs, detail, thresholds, reading);
    return reading;
}

// The intermediate values without the integral, for a centile already known.
// The same steps as the method, without the run-time checks: the kernel has
// already computed this record without a fault.
CentileDetail detailAround(const BatchRecord& record, double centile)
{
    const CoefficientSet& set = coefficients(record.population);
    const CentileInputs& in = record.inputs;
    double tw = clampTermWeight(termWeightSum<PlainSteps>(
        set, weightTerm<PlainSteps>(set, in.wt - set.weightCentre),
        heightTerm<PlainSteps>(set, in.ht - set.heightCentre), sexTerm(set, in.sex), ethnicTerm(set, in.eth),
        parityTerm(set, in.par)));
    double g = in.gestDays / 7;
    double p = gestationProportion<PlainSteps>(g);
    double e = p * tw;
    double s = e * set.coefficientOfVariation;
    return {tw, g, p, e, s, (in.bwt - e) / s, centile};
}

}  // namespace

Reading readBirth(Population population, const CentileInputs& inputs, const BandThresholds& thresholds)
{
    return classified(population, inputs, computeCentile(population, inputs), thresholds);
}

Reading readBatchBirth(const BatchRecord& record, double kernelCentile, const BandThresholds& thresholds,
                       bool withDetail)
{
    Reading reading;
    readBatchBirth(record, kernelCentile, thresholds, withDetail, reading);
    return reading;
}

void readBatchBirth(const BatchRecord& record, double kernelCentile, const BandThresholds& thresholds,
                    bool withDetail, Reading& reading)
{
    if (nearBandThreshold(kernelCentile, thresholds)) {
        classify(record.population, record.inputs, computeCentile(record.population, record.inputs), thresholds,
                 reading);
        return;
    }
    CentileDetail detail;
    detail.centile = kernelCentile;
    classify(record.population, record.inputs, withDetail ? detailAround(record, kernelCentile) : detail, thresholds,
             reading);
}

}  // namespace wrenfield::engine

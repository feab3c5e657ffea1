// Classifiers' scores of samples, read straight from the weights and the
// data as they are held: no copy of either.
#ifndef PELLUMAR_SCORING_H
#define PELLUMAR_SCORING_H

#include <cstdint>

#include "engine/batch.h"

namespace pellumar {

// Writes classifier k's score of sample samples[i] (of sample i when samples
// is null) into scores[k + K*i], for k < K and i < count. weights[k] holds
// data.M weights, and one more, the bias's, when data.bias. A score is one
// running sum from 0.0 over the sample's features in row order,
//     s = s + w[j]*x[j]      (the product rounded, then the sum)
// over every feature of a dense sample and over the stored values of a
// sparse one, then s = s + w[M] with the bias; so it is the same bits on
// every build and processor, in the IEEE default modes whatever the
// caller's (which are given back). Float data are read as the doubles they
// convert to.
void scoreSamples(const DataMatrix& data, const double* const* weights, int32_t K,
                  const int32_t* samples, int32_t count, double* scores);

}  // namespace pellumar

#endif

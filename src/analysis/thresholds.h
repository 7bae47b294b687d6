// AnalysisThresholds: the limits the cable analysis judges against, with their defaults.
#pragma once

// Every limit of the analysis in one plain value. The defaults are the usual figures of DC
// leakage-current practice; an installation changes them in system.ini (analysissettings.h).
struct AnalysisThresholds {
    // Phase balance: an unbalance ratio (max - min) / mean × 100 at or above this many percent
    // is a sign of a failing phase.
    double unbalanceLimitPercent = 200.0;

    // Spikes: a point whose current exceeds spikeFactor × the local median of the curve (the
    // median of the surrounding spikeWindowSeconds) and lies at least spikeMinDelta μA above
    // that median is a kick, even below the trigger setting. Neighbouring spike points make one
    // kick.
    double spikeFactor = 2.0;
    double spikeWindowSeconds = 10.0;
    double spikeMinDelta = 0.05; // μA; keeps the noise of a near-zero current from counting

    // Gradual rise: the slope of a robust straight-line fit over the last riseWindowMinutes of
    // the measurement, in percent of the window's median current per minute; at or above
    // riseSlopePercentPerMinute (and rising by at least spikeMinDelta μA over the window) the
    // current rises instead of decaying.
    double riseWindowMinutes = 5.0;
    double riseSlopePercentPerMinute = 1.0;

    // Step test: a step whose final current exceeds kneeFactor × the current the line through
    // the lower steps predicts is the knee.
    double kneeFactor = 1.5;

    // Points at or before this many seconds are the charging transient: no spike is looked for
    // there (the trigger events skip the same points). Taken from TriggValidSec.
    int triggValidSec = 10;

    bool operator==(const AnalysisThresholds&) const = default;
};

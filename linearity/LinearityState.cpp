#include "linearity/LinearityState.h"

namespace t720::linearity {

std::string Evaluate(LinearityState& state, bool withShunts) {
    const EvalResult r =
        Evaluate(state.Reading2, state.ShuntFactor, state.ShuntRoot, state.RowShunt, withShunts);
    if (withShunts) {
        for (int i = 1; i <= 20; ++i) {
            state.Reading1[i] = r.Reading1[i];
            state.RowFactor[i] = r.RowFactor[i];
        }
    }
    state.StepValue = r.StepValue;
    state.SumFirst = r.SumFirst;
    state.SumSecond = r.SumSecond;
    state.HalfDevFirst = r.HalfDevFirst;
    state.HalfDevSecond = r.HalfDevSecond;
    state.RowDevPpm = r.RowDevPpm;
    state.PairDevPpm = r.PairDevPpm;
    state.LinDevPpm = r.LinDevPpm;
    state.Score = r.Score;
    if (!withShunts) state.RefLinDevPpm = r.LinDevPpm;
    return NotEvaluable(r);
}

}  // namespace t720::linearity

#include "linearity/ShuntSearch.h"

#include "linearity/ShowResults.h"
#include "linearity/ShuntScorer.h"
#include "link/NumberText.h"

#include <algorithm>

namespace t720::linearity {

namespace {

// The last `width` characters (UTF-8 code points, so a multi-byte decimal
// separator is never cut in half).
std::string LastCharacters(const std::string& text, int width) {
    size_t start = text.size();
    int kept = 0;
    while (start > 0 && kept < width) {
        --start;
        if ((static_cast<unsigned char>(text[start]) & 0xC0u) != 0x80u) ++kept;
    }
    return text.substr(start);
}

class Search {
  public:
    Search(LinearityState& state, SharedState& shared, WindowHost& host, int n)
        : s_(state), shared_(shared), host_(host), n_(n) {}

    void Run() {
        const RowShunts saved = s_.RowShunt;
        s_.EvalCount = 0;
        GridModel& grid = s_.controls.Results;
        grid.redraw = false;

        scorer_.Refresh(s_);
        if (n_ == 0 ? Leaf(0, 0) : Descend(1, 0, 0, 0)) TryBatch();
        if (!stateHoldsSet_) EvaluateIntoState();

        for (int row = 1; row <= 20; ++row) s_.RowShunt[row] = saved[row];
        s_.controls.OptiL1[n_] =
            improved_ ? SummaryLine(n_, storedScore_, s_.BestMax, s_.BestMin) : std::string();
        grid.redraw = true;
    }

  private:
    // Chooses k(level) and everything below it, 0 first, then 1..5; false once the
    // search is to end. `set` holds the rows above, `key` their SequenceKey; at
    // least one shunt is left.
    bool Descend(int level, int shunts, int key, ShuntSet set) {
        // Once no shunt is left the rows below take none: one set only.
        const bool last = level == 10 || shunts + 1 == n_;
        if (level == 10 ? !Leaf(set, key) : !Descend(level + 1, shunts, key, set)) return false;
        for (int choice = 1; choice < kShuntChoices; ++choice) {
            const ShuntSet next = WithChoice(set, level, choice);
            const int nextKey = SequenceKey(key, choice);
            if (last ? !Leaf(next, nextKey) : !Descend(level + 1, shunts + 1, nextKey, next))
                return false;
        }
        return true;
    }

    bool Leaf(ShuntSet set, int key) { return !scorer_.Add(set, key) || TryBatch(); }

    // The sets gathered so far, in the order met, each as if evaluated on its own.
    bool TryBatch() {
        const int size = scorer_.size();
        scorer_.ScoreFrom(0, bestScore_);
        for (int i = 0; i < size; ++i) {
            // Sets that neither improve nor reach a yield are only counted.
            const int quietEnd = std::min(size, i + kEvaluationsPerYield - block_);
            int j = i;
            while (j < quietEnd && !(scorer_.score(j) < bestScore_)) ++j;
            if (j > i) {
                s_.EvalCount += j - i;
                block_ += j - i;
                set_ = scorer_.set(j - 1);
                stateHoldsSet_ = false;
                if (j == size) break;
            }
            i = j;
            set_ = scorer_.set(i);
            if (!Try(scorer_.score(i))) return false;
            // The window had its say: a choice the operator made for rows 11..20
            // enters the sets that follow.
            if (scorer_.Refresh(s_)) scorer_.ScoreFrom(i + 1, bestScore_);
        }
        scorer_.Clear();
        return true;
    }

    // Only the score is computed per set; the state gets the whole evaluation of a
    // set when the window may look at it: on an improvement, at a yield and at the
    // end, so that it always shows what evaluating every set would have left.
    bool Try(double score) {
        ++s_.EvalCount;
        stateHoldsSet_ = false;
        if (score < bestScore_) {
            EvaluateIntoState();
            bestScore_ = s_.Score;
            s_.controls.OptiL3 = FormatLocal(s_.Score, "#0.0");
            ShowResults(s_, host_, true);
            GridModel& grid = s_.controls.Results;
            grid.redraw = true;
            host_.RepaintGrid();
            grid.redraw = false;
            s_.controls.OptiLcnt = SignPos(s_.EvalCount);
            if (shared_.StopRequest) return false;  // shown, but not kept
            Keep();
        }

        if (block_ >= kEvaluationsPerYield) {
            if (!stateHoldsSet_) EvaluateIntoState();
            host_.Yield();
            s_.controls.OptiLcnt = SignPos(s_.EvalCount);
            if (shared_.StopRequest) return false;
            block_ = 0;
        }
        ++block_;
        return true;
    }

    void EvaluateIntoState() {
        for (int j = 1; j <= 10; ++j) s_.RowShunt[j] = static_cast<int16_t>(ChoiceOf(set_, j));
        Evaluate(s_, true);
        stateHoldsSet_ = true;
    }

    void Keep() {
        for (int j = 1; j <= 10; ++j) s_.BestShunt[n_][j] = static_cast<int16_t>(ChoiceOf(set_, j));
        s_.BestMin = 1E+30;
        s_.BestMax = -1E+30;
        for (float v : s_.LinDevPpm) {
            if (v < s_.BestMin) s_.BestMin = v;
            if (v > s_.BestMax) s_.BestMax = v;
        }
        storedScore_ = s_.Score;
        improved_ = true;
    }

    LinearityState& s_;
    SharedState& shared_;
    WindowHost& host_;
    const int n_;
    ShuntScorer scorer_;
    ShuntSet set_ = 0;  // the set being tried
    double bestScore_ = 1E+30;
    double storedScore_ = 0.0;  // score of the set in BestShunt(n)
    int block_ = 0;
    bool improved_ = false;
    bool stateHoldsSet_ = false;  // the evaluation results in s_ are those of set_
};

}  // namespace

std::string PadFormat(double value, std::string_view pattern, int width) {
    return LastCharacters(std::string(13, ' ') + FormatLocal(value, pattern), width);
}

std::string SummaryLine(int n, double score, double bestMax, double bestMin) {
    return FormatLocal(n, "0") + " Rs:" + "  Bew=" + PadFormat(score, "0.0", 8) +
           "  Hub=" + PadFormat(bestMax - bestMin, "0.0", 6) +
           "  Max=" + PadFormat(bestMax, "0.0", 6) + "  Min=" + PadFormat(bestMin, "0.0", 6);
}

void SearchShunts(LinearityState& state, SharedState& shared, WindowHost& host, int n) {
    if (n < 0 || n >= static_cast<int>(state.controls.OptiL1.size())) return;
    Search(state, shared, host, n).Run();
}

void OptimiseShunts(LinearityState& state, SharedState& shared, WindowHost& host) {
    ResultsControls& c = state.controls;
    c.CmdOpt.visible = false;
    c.Opti.caption = "Suche..";
    c.Opti.enabled = true;
    for (int row = 1; row <= 20; ++row) state.RowShunt[row] = 0;

    for (int k = 0; k <= 4; ++k) {
        c.OptiL1[k] = "Optimum für" + SignPos(k) + " Rs";
        host.Repaint();
        SearchShunts(state, shared, host, k);
        host.Repaint();
        if (shared.StopRequest) break;
    }

    shared.StopRequest = false;
    c.CmdOpt.visible = true;
}

}  // namespace t720::linearity

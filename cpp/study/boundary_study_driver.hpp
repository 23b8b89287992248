// The boundary study around the search: its settings, the header it prints,
// the plan replayed against the runs of an earlier run of the same study
// (resume), every run's record with the checkpoint appended as each finishes,
// and the closing report.
//
// Running a batch of runs (here or on worker processes), printing and the
// progress bar are the caller's, handed in as StudyHooks.
#pragma once
#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "study/boundary_files.hpp"
#include "study/boundary_search.hpp"
#include "study/checkpoint.hpp"
#include "study/grid_study.hpp"
#include "study/resume_plan.hpp"
#include "study/study_checkpoint.hpp"

namespace velmora::study::boundary {

// The search settings of a study or of a search over a plain function, from
// the caller's options; ValueError naming the option that is out of range.
struct SearchOptions {
    long long dimension = 2, budget = 25, batch_size = 1, seed = 0;
    double threshold = 2.0, tolerance = 0.0;
    std::optional<std::size_t> start_runs, resolution;
};
SearchSettings search_settings(const SearchOptions& options);

// The settings of any study with the search's own (budget, batch size,
// threshold, tolerance, seed) added as "boundary_search": they fix its runs.
JsonValue with_search_settings(JsonValue study_settings, const SearchSettings& search);

// Checks that each axis range is two finite numbers, the lower one first.
void check_axes(const std::vector<StudyAxis>& axes);

// "  Varying parameters: ...", "  Constant parameters: [...]", "  Budget: ...";
// threshold_text is the threshold as the caller wrote it.
std::vector<std::string> header_lines(const std::vector<StudyAxis>& axes, const std::vector<std::string>& constant_keys,
                                      const SearchSettings& settings, const std::string& threshold_text);

// The runs of a resume source by simulation_id (a later record of the same
// run replaces an earlier one). ValueError naming the place of a record
// without this study's columns or not written by a finished run.
struct RecordedStudyRuns {
    std::map<long long, FlatRecord> by_id;
    std::map<long long, std::string> place;
    std::vector<FlatRecord> all() const;
};
RecordedStudyRuns index_recorded_runs(const std::vector<FlatRecord>& records, const std::vector<RecordPlace>& places,
                                      const std::vector<std::string>& columns);

using study::StudyRun;  // a run with its values in study units and its line

using FinishedRun = std::function<void(std::size_t, const FlatRecord&)>;
struct StudyHooks {
    // Runs all of `runs` and calls finished(k, record) for runs[k] as each
    // one completes, in any order.
    std::function<void(const std::vector<StudyRun>&, const FinishedRun& finished)> run;
    // A recorded run taken over instead of run.
    std::function<void(const StudyRun&, const FlatRecord&)> reuse;
    std::function<void(const std::string&)> show;  // a printed line
    std::function<void()> advance;                  // one more simulation done
};

// The search's evaluator for a study: each planned run is taken from the
// recorded runs when it is there (its map and values must be those of the
// plan), else run through the hooks; every record is appended to the
// checkpoint as it finishes.
class StudyRunsEvaluator final : public Evaluator {
public:
    struct Plan {
        std::vector<StudyAxis> axes;
        std::vector<std::string> units;
        std::string map_requested;
        std::size_t budget = 0;
    };
    StudyRunsEvaluator(Plan plan, RecordedStudyRuns recorded, StudyCheckpoint& checkpoint, StudyHooks hooks);
    std::vector<std::optional<double>> evaluate(const std::vector<PlannedRun>& runs) override;

    // Every record of this study, by simulation_id.
    const std::map<long long, FlatRecord>& records() const { return records_; }
    std::size_t reused() const { return reused_; }

private:
    StudyRun study_run(const PlannedRun& run) const;
    void keep(const FlatRecord& record);

    Plan plan_;
    RecordedStudyRuns recorded_;
    StudyCheckpoint& checkpoint_;
    StudyHooks hooks_;
    std::map<long long, FlatRecord> records_;
    std::size_t reused_ = 0;
};

// The closing report of a study without its file names and save results.
BoundaryReport study_report(const SearchOutcome& outcome, const SearchSettings& settings,
                            const std::map<long long, FlatRecord>& records, const std::vector<CurveRow>& rows,
                            std::vector<std::string> axis_keys);

}  // namespace velmora::study::boundary

// SPDX-License-Identifier: GPL-2.0-or-later
// Rendering a plan's songs in several processes at once. The engine is one
// per process, so each process renders a stretch of the list in order, as a
// single process would. A song starts from what the song before it left in
// the SID model's output stages; so each process first renders the songs
// just before its stretch into nothing, and when all are done, the state it
// started from is compared with the state the stretch before it ended in.
// Where they differ, that stretch is rendered again here from the right
// state, so every file has the bytes a single process gives it.
#pragma once

#include <vector>

#include "ui/cli/render_job.h"
#include "ui/cli/render_plan.h"
#include "ui/cli/render_progress.h"

namespace chipbox::cli {

// Renders every job with up to `processes` processes; returns the worst
// status of any song.
int RenderInProcesses(const std::vector<RenderJob>& jobs, JobRunner& runner,
                      RenderProgress& progress, int processes);

// The number of processors online, at least 1.
int ProcessorCount();

}  // namespace chipbox::cli

// SPDX-License-Identifier: GPL-2.0-or-later
// Reads the tunes a playlist is given (files, folders with their subfolders,
// M3U playlists) on a thread of its own and hands them to the window in
// batches, in order, so that a folder of a thousand tunes never holds the
// window's thread, which refills the sound buffers, for longer than it takes
// to show one batch.
//
// Threads: Read, Cancel and the signal run on the window's thread; the
// worker thread only reads files and posts. The queue between them is
// guarded by a mutex that neither side holds while reading or showing.
#pragma once

#include <QObject>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ui/common/tune_summary.h"

namespace chipbox::window {

class TuneHeaderReader final : public QObject {
    Q_OBJECT
public:
    explicit TuneHeaderReader(QObject* parent = nullptr);
    ~TuneHeaderReader() override;  // stops and waits for the worker

    // Reads `inputs` after what was asked before.
    void Read(std::vector<std::string> inputs);
    // Drops everything asked for and not yet handed over.
    void Cancel();
    // Nothing is waiting or being read.
    bool idle() const;

    // The most tunes handed over at once.
    static constexpr std::size_t BATCH = 32;

signals:
    // The next tunes, in the order of the inputs; `last` when nothing more
    // is waiting.
    void tunesRead(const std::vector<chipbox::TuneSummary>& tunes, bool last);

private:
    void Work();
    // The inputs as tune paths: folders listed, playlists read.
    static std::vector<std::string> Expand(const std::string& input);
    void Hand(std::vector<TuneSummary>& batch, std::uint64_t generation, bool last);

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::string> waiting_;
    std::uint64_t generation_ = 0;  // counts the cancels; older batches are dropped
    bool busy_ = false;
    bool stopping_ = false;
    std::thread worker_;
};

}  // namespace chipbox::window

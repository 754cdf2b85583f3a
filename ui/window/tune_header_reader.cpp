// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/window/tune_header_reader.h"

#include <filesystem>
#include <system_error>

#include "ui/common/collect_tunes.h"
#include "ui/common/m3u_file.h"

namespace chipbox::window {

namespace {

bool IsPlaylistName(const std::string& path) {
    std::string extension = std::filesystem::path(path).extension().string();
    for (char& c : extension) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return extension == ".m3u" || extension == ".m3u8";
}

}  // namespace

TuneHeaderReader::TuneHeaderReader(QObject* parent) : QObject(parent) {
    worker_ = std::thread([this] { Work(); });
}

TuneHeaderReader::~TuneHeaderReader() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
        waiting_.clear();
    }
    wake_.notify_all();
    worker_.join();
}

void TuneHeaderReader::Read(std::vector<std::string> inputs) {
    {
        const std::lock_guard lock(mutex_);
        for (std::string& input : inputs) waiting_.push_back(std::move(input));
    }
    wake_.notify_all();
}

void TuneHeaderReader::Cancel() {
    const std::lock_guard lock(mutex_);
    waiting_.clear();
    ++generation_;
}

bool TuneHeaderReader::idle() const {
    const std::lock_guard lock(mutex_);
    return waiting_.empty() && !busy_;
}

std::vector<std::string> TuneHeaderReader::Expand(const std::string& input) {
    std::error_code error;
    if (std::filesystem::is_directory(input, error)) {
        std::vector<std::string> notRegular;  // not offered: they could hang a reader
        return CollectTunes({input}, true, notRegular);
    }
    if (IsPlaylistName(input)) {
        std::vector<std::string> tunes;
        for (const std::string& path : ReadM3u(input).paths) {
            if (std::filesystem::is_directory(path, error)) continue;  // no folders inside lists
            tunes.push_back(path);
        }
        return tunes;
    }
    return {input};
}

void TuneHeaderReader::Hand(std::vector<TuneSummary>& batch, std::uint64_t generation, bool last) {
    QMetaObject::invokeMethod(
        this,
        [this, tunes = std::move(batch), generation, last] {
            {
                const std::lock_guard lock(mutex_);
                if (generation != generation_) return;
            }
            emit tunesRead(tunes, last);
        },
        Qt::QueuedConnection);
    batch.clear();
}

void TuneHeaderReader::Work() {
    std::unique_lock lock(mutex_);
    while (true) {
        wake_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
        if (stopping_) return;
        const std::string input = std::move(waiting_.front());
        waiting_.pop_front();
        const std::uint64_t generation = generation_;
        busy_ = true;
        lock.unlock();
        std::vector<TuneSummary> batch;
        for (const std::string& path : Expand(input)) {
            batch.push_back(ReadTuneSummary(path));
            if (batch.size() == BATCH) Hand(batch, generation, false);
            const std::lock_guard check(mutex_);
            if (stopping_ || generation != generation_) break;
        }
        lock.lock();
        busy_ = false;
        const bool last = waiting_.empty();
        if (!batch.empty() || last) {
            lock.unlock();
            Hand(batch, generation, last);
            lock.lock();
        }
    }
}

}  // namespace chipbox::window

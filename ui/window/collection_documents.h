// SPDX-License-Identifier: GPL-2.0-or-later
// The collection's song lengths and tune information list for the tunes the
// window plays: found as chipbox-cli finds them (a file chosen in the
// playlist, else below $HVSC_BASE, else by walking up from the tune), each
// file read once, on a thread of its own so that the sound never waits for
// a few megabytes of text.
//
// Threads: everything here is called on the window's thread; the readers
// hand their results back to it as queued calls.
#pragma once

#include <QObject>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "ui/common/song_lengths.h"
#include "ui/common/stil.h"

namespace chipbox::window {

class CollectionDocuments final : public QObject {
    Q_OBJECT
public:
    explicit CollectionDocuments(QObject* parent = nullptr);
    ~CollectionDocuments() override;  // waits for the readers

    // Finds the documents for `tunePath` and starts reading those not read
    // yet; documentsChanged follows when they are in.
    void UseFor(const std::string& tunePath);
    // Forgets what was read, so that the next UseFor reads again (the files
    // chosen changed).
    void Forget();

    // Song `song` (0-based) of the tune with `md5`, in milliseconds.
    std::optional<std::uint32_t> SongLength(const std::string& md5, int song) const;
    bool songLengthsKnown() const { return lengths_ != nullptr; }
    const std::string& songLengthsPath() const { return lengthsPath_; }
    // The tune's entry for song `song` (0-based): the whole tune's fields,
    // then the song's own.
    std::vector<StilField> StilFor(const std::string& tunePath, int song) const;
    const std::string& stilPath() const { return stilPath_; }
    // Blocks until every reader has finished (for tests).
    void WaitForReaders();

signals:
    void documentsChanged();

private:
    void ReadSongLengths(const std::string& path);
    void ReadStil(const std::string& path);
    void TakeSongLengths(const std::string& path, std::shared_ptr<const SongLengths> lengths);
    void TakeStil(const std::string& path, std::shared_ptr<const StilIndex> stil);

    std::string lengthsPath_;  // asked for, read or not
    std::shared_ptr<const SongLengths> lengths_;
    std::string stilPath_;
    std::string stilRoot_;  // the collection's root, which STIL names tunes from
    std::shared_ptr<const StilIndex> stil_;
    std::vector<std::thread> readers_;
};

}  // namespace chipbox::window

// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/window/collection_documents.h"

#include <filesystem>

#include "ui/common/collection.h"
#include "ui/common/collector_settings.h"

namespace chipbox::window {

namespace {

constexpr const char* STIL_DOCUMENT = "STIL.txt";

std::optional<std::string> Chosen(const std::string& path) {
    return path.empty() ? std::nullopt : std::optional<std::string>(path);
}

}  // namespace

CollectionDocuments::CollectionDocuments(QObject* parent) : QObject(parent) {}

CollectionDocuments::~CollectionDocuments() { WaitForReaders(); }

void CollectionDocuments::WaitForReaders() {
    for (std::thread& reader : readers_)
        if (reader.joinable()) reader.join();
    readers_.clear();
}

void CollectionDocuments::Forget() {
    lengthsPath_.clear();
    lengths_.reset();
    stilPath_.clear();
    stilRoot_.clear();
    stil_.reset();
}

void CollectionDocuments::UseFor(const std::string& tunePath) {
    const std::optional<std::string> lengths =
        FindSongLengthsFile(Chosen(collectorSettings.songLengthsFile), tunePath);
    if (lengths && *lengths != lengthsPath_) ReadSongLengths(*lengths);
    const std::optional<std::string> stil =
        FindCollectionDocument(Chosen(collectorSettings.stilFile), tunePath, STIL_DOCUMENT);
    if (stil && *stil != stilPath_) ReadStil(*stil);
}

void CollectionDocuments::ReadSongLengths(const std::string& path) {
    lengthsPath_ = path;
    readers_.emplace_back([this, path] {
        auto lengths = std::make_shared<SongLengths>();
        std::shared_ptr<const SongLengths> read;
        if (lengths->Load(path)) read = std::move(lengths);
        QMetaObject::invokeMethod(
            this, [this, path, read] { TakeSongLengths(path, read); }, Qt::QueuedConnection);
    });
}

void CollectionDocuments::ReadStil(const std::string& path) {
    stilPath_ = path;
    // DOCUMENTS/STIL.txt lies one folder below the root.
    stilRoot_ = std::filesystem::path(path).parent_path().parent_path().string();
    readers_.emplace_back([this, path] {
        auto stil = std::make_shared<StilIndex>();
        std::shared_ptr<const StilIndex> read;
        if (stil->Load(path)) read = std::move(stil);
        QMetaObject::invokeMethod(
            this, [this, path, read] { TakeStil(path, read); }, Qt::QueuedConnection);
    });
}

// A result for a file no longer asked for is dropped.
void CollectionDocuments::TakeSongLengths(const std::string& path,
                                          std::shared_ptr<const SongLengths> lengths) {
    if (path != lengthsPath_) return;
    lengths_ = std::move(lengths);
    emit documentsChanged();
}

void CollectionDocuments::TakeStil(const std::string& path, std::shared_ptr<const StilIndex> stil) {
    if (path != stilPath_) return;
    stil_ = std::move(stil);
    emit documentsChanged();
}

std::optional<std::uint32_t> CollectionDocuments::SongLength(const std::string& md5,
                                                             int song) const {
    if (!lengths_ || song < 0) return std::nullopt;
    const std::vector<std::uint32_t>* songs = lengths_->Find(md5);
    if (!songs || static_cast<std::size_t>(song) >= songs->size()) return std::nullopt;
    return (*songs)[static_cast<std::size_t>(song)];
}

std::vector<StilField> CollectionDocuments::StilFor(const std::string& tunePath, int song) const {
    if (!stil_) return {};
    const std::optional<std::string> name = CollectionPath(stilRoot_, tunePath);
    if (!name) return {};
    return stil_->FieldsFor(*name, song + 1);
}

}  // namespace chipbox::window

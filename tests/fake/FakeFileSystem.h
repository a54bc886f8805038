// Files and folders, simulated: folders with item counts, last-write times and
// change watches, files with contents and attributes, and the program's folder.
// A change made through changeFolder fires the folder's watches (waking the
// top-level loop, as a signalled handle does) and moves its last-write time.
#pragma once

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "Failures.h"
#include "FakeWatch.h"
#include "core/Error.h"
#include "platform/FileSystem.h"

namespace glance::fake {

class FakeFileSystem : public FileSystem {
public:
    explicit FakeFileSystem(Failures& failures) : watches(failures, "rearmWatch"), failures_(failures) {
        watches.stillThere = [this](const std::wstring& path) { return folders.count(path) != 0; };
    }

    struct Folder {
        std::int64_t files = 0;
        std::int64_t subfolders = 0;
        std::int64_t lastWrite = 1;
        // False for a folder whose changes the system does not signal (a
        // network share without notifications): a watch cannot be set up.
        bool watchable = true;
        std::map<std::wstring, bool> named = {};  // entries that came by changeNamed: subfolder?
    };
    struct File {
        std::string contents;
        bool plain = true;  // false: hidden, system or a folder
    };
    // Folder paths are given as the counter receives them (with the trailing backslash).
    std::map<std::wstring, Folder> folders;
    std::map<std::wstring, File> fileMap;
    std::wstring folder = L"C:\\Program Files\\Quillhaven";
    // Volume roots that are there; a path on any other drive is not there.
    std::set<std::wstring> volumes = {L"C:\\", L"D:\\"};
    // Paths the system cannot tell about (a refusal, a drive not ready).
    std::set<std::wstring> unknownPaths;
    // Paths whose state never comes when asked off the calling thread (a
    // server that is down); every other question is answered at once.
    std::set<std::wstring> unansweredPaths;
    int listingsAlive = 0;
    std::map<std::wstring, int> listings;  // listings read per folder path, failed ones included
    int lastModifiedReads = 0;
    int watchRequests = 0;  // watchFolder calls, whether they succeed or not
    FakeWatches watches;    // on folder paths
    // Runs once, inside the next listing, after the folder's entries were
    // read: a change made while a folder is being counted.
    std::function<void()> duringListing;
    // Runs inside every listing while set: a listing that is no snapshot. It
    // may change what the listing returns, and the folder meanwhile.
    std::function<void(const std::wstring& path, FolderEntryCounts& seen)> tornListing;
    // A listing reads this many named entries at a time (0: all at once).
    std::size_t namedPerPart = 0;

    // Entries created, deleted, renamed or moved in or out of a folder (which
    // is created if need be). Its watches fire; its last-write time moves,
    // unless the file system keeps times too coarse to show this change.
    void changeFolder(const std::wstring& path, std::int64_t fileCount, std::int64_t subfolderCount,
                      bool lastWriteMoves = true) {
        // A new folder is a new name in its parent.
        if (!folders.count(path)) fireWatches(parentOf(path));
        Folder& f = folders[path];
        f.named.clear();  // names unknown from here on
        f.files = fileCount;
        f.subfolders = subfolderCount;
        if (lastWriteMoves) ++f.lastWrite;
        fireWatches(path);
    }
    // A rename in a folder: the counts stay, the watches fire, the time moves.
    void renameIn(const std::wstring& path) {
        const Folder& f = folders.at(path);
        changeFolder(path, f.files, f.subfolders);
    }
    // Names come into or leave a folder, as its watches name them (or as
    // `reported`, where the watch says otherwise); its counts follow (a name
    // that comes over one that is there replaces it), its time moves.
    void changeNamed(const std::wstring& path, const std::vector<NameChange>& changes,
                     std::optional<std::vector<NameChange>> reported = std::nullopt) {
        Folder& f = folders.at(path);
        for (const NameChange& c : changes) {
            if (auto there = f.named.find(c.name); there != f.named.end()) {
                --(there->second ? f.subfolders : f.files);
                f.named.erase(there);
            }
            if (c.added) ++(c.subfolder ? f.subfolders : f.files);
            if (c.added) f.named[c.name] = c.subfolder;
        }
        ++f.lastWrite;
        watches.fireNamed(path, reported.value_or(changes));
    }
    // The folder is removed altogether; its watches and its parent's fire.
    void removeFolder(const std::wstring& path) {
        folders.erase(path);
        fireWatches(path);
        fireWatches(parentOf(path));
    }
    int totalListings() const {
        int n = 0;
        for (const auto& [path, count] : listings) n += count;
        return n;
    }

    std::unique_ptr<FolderListing> startListing(const std::wstring& path) override {
        return std::make_unique<Listing>(*this, path);
    }
    std::optional<std::int64_t> lastModified(const std::wstring& path) override {
        ++lastModifiedReads;
        if (failures_.fails("lastModified")) return std::nullopt;
        if (auto it = folders.find(path); it != folders.end()) return it->second.lastWrite;
        if (fileMap.count(path)) return 1;
        return std::nullopt;
    }
    std::unique_ptr<ChangeWatch> watchFolder(const std::wstring& path) override {
        ++watchRequests;
        auto it = folders.find(path);
        if (failures_.fails("watchFolder") || it == folders.end() || !it->second.watchable) return nullptr;
        return watches.watch(path);
    }
    FileState fileState(const std::wstring& path) override {
        if (unknownPaths.count(path)) return FileState::Unknown;
        const bool there = fileMap.count(path) || folders.count(path) || volumes.count(path);
        return there ? FileState::Present : FileState::Absent;
    }
    void askFileStates(std::vector<std::wstring> paths, double,
                       std::unique_ptr<FileStatesAnswer> answer) override {
        failures_.check("askFileStates");
        std::vector<FileState> states;
        for (const std::wstring& path : paths) {
            if (unansweredPaths.count(path)) return;
            states.push_back(fileState(path));
        }
        answer->answer(states);
    }
    bool plainFileExists(const std::wstring& path) override {
        failures_.check("plainFileExists");
        auto it = fileMap.find(path);
        return it != fileMap.end() && it->second.plain;
    }
    std::optional<std::string> readFile(const std::wstring& path, std::size_t maxBytes) override {
        failures_.check("readFile");
        auto it = fileMap.find(path);
        if (it == fileMap.end()) throw PlatformError(errtext::kFileNotFound);
        if (it->second.contents.size() > maxBytes) return std::nullopt;
        return it->second.contents;
    }
    std::wstring programFolder() override { return folder; }

private:
    // Reads the named entries in name order, namedPerPart at a time, as a
    // directory search does (a name that comes behind the point reached is
    // read, one before it is not); then all the others at once.
    class Listing : public FolderListing {
    public:
        Listing(FakeFileSystem& fs, std::wstring path) : fs_(fs), path_(std::move(path)) {
            ++fs_.listingsAlive;
        }
        ~Listing() override { --fs_.listingsAlive; }
        bool readOn(double) override {
            if (!started_) {
                started_ = true;
                ++fs_.listings[path_];
                fs_.failures_.check("countEntries");
            }
            auto it = fs_.folders.find(path_);
            if (it == fs_.folders.end()) throw PlatformError(errtext::kPathNotFound);
            const Folder& f = it->second;
            auto next = reached_ ? f.named.upper_bound(*reached_) : f.named.begin();
            for (std::size_t n = 0; next != f.named.end(); ++next, ++n) {
                if (fs_.namedPerPart != 0 && n == fs_.namedPerPart) {
                    if (fs_.watches.onFired) fs_.watches.onFired();
                    return false;
                }
                ++(next->second ? counts.subfolders : counts.files);
                names.push_back(nameEntry(next->first, next->second));
                reached_ = next->first;
            }
            std::sort(names.begin(), names.end());
            for (const auto& [name, subfolder] : f.named) --(subfolder ? counts.subfolders : counts.files);
            counts.files += f.files;
            counts.subfolders += f.subfolders;
            if (fs_.duringListing) std::exchange(fs_.duringListing, nullptr)();
            if (fs_.tornListing) fs_.tornListing(path_, counts);
            return true;
        }

    private:
        FakeFileSystem& fs_;
        std::wstring path_;
        bool started_ = false;
        std::optional<std::wstring> reached_;
    };

    static std::wstring parentOf(std::wstring path) {
        path.pop_back();
        return path.substr(0, path.rfind(L'\\') + 1);
    }
    void fireWatches(const std::wstring& path) { watches.fire(path); }

    Failures& failures_;
};

}  // namespace glance::fake

// The names in one folder, each by its key (a nameEntry without its kind
// bit), so that an addition of a name already there, or a removal of one
// that is not, changes nothing.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace glance {

class NameSet {
public:
    // A listing's entries, in ascending order; two names that share a key count once.
    void assign(std::vector<std::uint64_t> sorted) {
        sorted.erase(
            std::unique(sorted.begin(), sorted.end(), [](auto a, auto b) { return a >> 1 == b >> 1; }),
            sorted.end());
        listed_ = std::move(sorted);
        changed_.clear();
        size_ = listed_.size();
    }
    void clear() { assign({}); }
    std::size_t size() const { return size_; }

    // Adds a name by its entry; false when its key was there already.
    bool add(std::uint64_t entry) {
        if (find(entry >> 1)) return false;
        mark(entry, true);
        ++size_;
        return true;
    }
    // Removes a name by its key; whether it was a subfolder, or none when it was not there.
    std::optional<bool> remove(std::uint64_t entry) {
        const std::optional<std::uint64_t> there = find(entry >> 1);
        if (!there) return std::nullopt;
        mark(*there, false);
        --size_;
        return (*there & 1) != 0;
    }

private:
    struct Change {
        std::uint64_t entry;
        bool there;
    };
    // Changes are kept apart, sorted, until there are this many: each costs a
    // move of at most that many, and a merge a pass over the listing.
    static constexpr std::size_t kMergeAt = 1024;

    std::vector<Change>::iterator changeOf(std::uint64_t key) {
        return std::lower_bound(changed_.begin(), changed_.end(), key,
                                [](const Change& c, std::uint64_t k) { return c.entry >> 1 < k; });
    }
    std::optional<std::uint64_t> find(std::uint64_t key) {
        const auto change = changeOf(key);
        if (change != changed_.end() && change->entry >> 1 == key)
            return change->there ? std::optional(change->entry) : std::nullopt;
        const auto listed = std::lower_bound(listed_.begin(), listed_.end(), key << 1);
        if (listed != listed_.end() && *listed >> 1 == key) return *listed;
        return std::nullopt;
    }
    void mark(std::uint64_t entry, bool there) {
        const auto change = changeOf(entry >> 1);
        if (change != changed_.end() && change->entry >> 1 == entry >> 1) {
            *change = {entry, there};
        } else {
            changed_.insert(change, {entry, there});
        }
        if (changed_.size() >= kMergeAt) merge();
    }
    // One sorted listing again, no larger than its names.
    void merge() {
        std::vector<std::uint64_t> merged;
        merged.reserve(size_);
        auto change = changed_.begin();
        for (const std::uint64_t entry : listed_) {
            bool changed = false;  // the change of the same key decides
            for (; change != changed_.end() && change->entry >> 1 <= entry >> 1; ++change) {
                changed = change->entry >> 1 == entry >> 1;
                if (change->there) merged.push_back(change->entry);
            }
            if (!changed) merged.push_back(entry);
        }
        for (; change != changed_.end(); ++change)
            if (change->there) merged.push_back(change->entry);
        listed_ = std::move(merged);
        changed_.clear();
    }

    std::vector<std::uint64_t> listed_;  // ascending
    std::vector<Change> changed_;        // by key
    std::size_t size_ = 0;
};

}  // namespace glance

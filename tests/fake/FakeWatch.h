// Change watches, simulated, for every fake that hands one out (a folder's
// names, the shell folders' locations): a signal set by a change and cleared
// only by rearm, which wakes the loop when it is set, as a signalled handle
// does.
#pragma once

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "Failures.h"
#include "core/Error.h"
#include "platform/ChangeWatch.h"

namespace glance::fake {

// The live watches of one fake, each on a subject named by a text.
class FakeWatches {
public:
    explicit FakeWatches(Failures& failures, std::string rearmOperation)
        : failures_(failures), rearmOperation_(std::move(rearmOperation)) {}

    // Called when a watch fires; the fake platform wakes its loop with it.
    std::function<void()> onFired;
    // Whether a subject can still be watched when a watch on it is armed again.
    std::function<bool(const std::wstring& subject)> stillThere = [](const std::wstring&) { return true; };

    std::unique_ptr<ChangeWatch> watch(std::wstring subject) {
        return std::make_unique<Watch>(*this, std::move(subject));
    }
    // A change the watches cannot name (as an overflowed buffer): only a
    // listing tells what it was.
    void fire(const std::wstring& subject) {
        for (Watch* w : std::vector<Watch*>(alive_))
            if (w->subject == subject) w->fire(nullptr);
    }
    // Changes the watches name, one by one.
    void fireNamed(const std::wstring& subject, const std::vector<NameChange>& changes) {
        for (Watch* w : std::vector<Watch*>(alive_))
            if (w->subject == subject) w->fire(&changes);
    }
    int alive() const { return static_cast<int>(alive_.size()); }

private:
    class Watch : public ChangeWatch {
    public:
        Watch(FakeWatches& set, std::wstring on) : subject(std::move(on)), set_(set) {
            set_.alive_.push_back(this);
        }
        ~Watch() override { std::erase(set_.alive_, this); }
        bool fired() override { return fired_; }
        bool rearm() override {
            if (set_.failures_.fails(set_.rearmOperation_) || !set_.stillThere(subject)) return false;
            fired_ = false;
            taken_ = {true, false, {}};
            return true;
        }
        NameChanges takeChanges() override {
            NameChanges taken = std::move(taken_);
            if (!rearm()) return {false, true, {}};
            return taken;
        }
        void fire(const std::vector<NameChange>* named) {
            if (named) {
                taken_.changes.insert(taken_.changes.end(), named->begin(), named->end());
            } else {
                taken_.exact = false;
            }
            // A handle already signalled wakes nobody a second time.
            if (fired_) return;
            fired_ = true;
            if (set_.onFired) set_.onFired();
        }
        const std::wstring subject;

    private:
        FakeWatches& set_;
        bool fired_ = false;
        NameChanges taken_{true, false, {}};
    };

    Failures& failures_;
    std::string rearmOperation_;
    std::vector<Watch*> alive_;
};

}  // namespace glance::fake
